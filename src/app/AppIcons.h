#pragma once

#include <QIcon>

// The program's built-in pictures: its icon (the installed SVG), and the top bar's, drawn in `ink`
// (the skin's accent colour).
QIcon QuilloryIcon();
QIcon NewsIcon(const QColor& ink);
QIcon UpdateIcon(const QColor& ink);
QIcon HelpIcon(const QColor& ink);

#pragma once

#include <QIcon>

// The program's built-in pictures, drawn in the skin's accent colour.
QIcon QuilloryIcon();
QIcon NewsIcon();
QIcon UpdateIcon();
QIcon HelpIcon();

#pragma once

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

// Sets the control's name, by which tests and accessibility tools find it.
template <typename Widget> Widget* Named(Widget* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

// The frame of a fixed dialog: a caption and nothing else, no icon and no title-bar button, and a
// border that does not resize (the dialog's size is fixed as well).
inline constexpr Qt::WindowFlags FixedDialogFrame =
    Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint;

// Centres a top-level window on the screen it is on (the primary screen when it has none yet). A
// window larger than the screen keeps its top-left corner on it, where its title bar can be reached.
inline void CentreOnScreen(QWidget& window)
{
    const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    const QRect frame = window.frameGeometry();
    const QPoint centred = available.center() - frame.center() + frame.topLeft();
    const QPoint frameTopLeft(std::max(centred.x(), available.left()),
                              std::max(centred.y(), available.top()));
    window.move(frameTopLeft);
}

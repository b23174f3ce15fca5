#pragma once

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

// Sets the control's name, by which tests and accessibility tools find it.
template <typename Widget> Widget* Named(Widget* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

// Centres a top-level window on the screen it is on (the primary screen when it has none yet).
inline void CentreOnScreen(QWidget& window)
{
    const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (screen)
        window.move(screen->availableGeometry().center() - window.frameGeometry().center() + window.pos());
}

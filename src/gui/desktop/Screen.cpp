// SPDX-License-Identifier: MIT
#include "desktop/Screen.h"

#include <QGuiApplication>
#include <QScreen>

namespace brandle {

ScreenTwips ScreenTwips::primary()
{
    ScreenTwips s;
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return s;
    s.dpiX = screen->logicalDotsPerInchX();
    s.dpiY = screen->logicalDotsPerInchY();
    // The free area: panels and docks are not covered.
    const QRect geometry = screen->availableGeometry();
    s.origin = geometry.topLeft();
    s.width = Twips::fromPixels(geometry.width(), s.dpiX);
    s.height = Twips::fromPixels(geometry.height(), s.dpiY);
    return s;
}

} // namespace brandle

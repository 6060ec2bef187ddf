// SPDX-License-Identifier: MIT
#pragma once

#include "platform/Twips.h"

#include <QPoint>

namespace brandle {

// The free area of the primary screen (without the panels and docks of the desktop) in twips, and
// the conversion of twips to its pixels.
struct ScreenTwips {
    double width = 0;
    double height = 0;
    double dpiX = 96;
    double dpiY = 96;
    // Where the free area begins on the virtual desktop, in pixels.
    QPoint origin;

    static ScreenTwips primary();

    int toPixelsX(double twips) const { return Twips::toPixels(twips, dpiX); }
    int toPixelsY(double twips) const { return Twips::toPixels(twips, dpiY); }
};

} // namespace brandle

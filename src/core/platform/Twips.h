// SPDX-License-Identifier: MIT
#pragma once

#include "platform/mConstants.h"

#include <cmath>

namespace brandle {

// Window geometry is given in twips (1/1440 inch); at 96 dots per inch a pixel is 15 twips.
namespace Twips {

inline double perPixel(double dotsPerInch)
{
    return dotsPerInch > 0 ? mConstants::TwipsPerInch / dotsPerInch : 15.0;
}

inline int toPixels(double twips, double dotsPerInch)
{
    return int(std::lround(twips / perPixel(dotsPerInch)));
}

inline double fromPixels(int pixels, double dotsPerInch)
{
    return pixels * perPixel(dotsPerInch);
}

} // namespace Twips

} // namespace brandle

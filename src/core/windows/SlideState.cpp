// SPDX-License-Identifier: MIT
#include "windows/SlideState.h"

namespace brandle {

void SlideState::show(double screenWidth)
{
    m_screenWidth = screenWidth;
    m_left = screenWidth + lWinWidth + EdgeGap;
    lSlideState = 1;
}

void SlideState::tick()
{
    m_interval = lWinSpeed;
    switch (lSlideState) {
    case 1:
        // The window rests once its right edge is EdgeGap twips or more inside the screen.
        if (m_screenWidth - (lWinWidth + EdgeGap) >= m_left) {
            m_interval = lWinDuration;
            if (!bHold && !bJustLoaded) {
                lSlideState = 2;
                m_interval = 1;
            }
            bHold = false;
            bJustLoaded = false;
        } else {
            m_left -= lWinSlide;
        }
        break;
    case 2:
        m_left += lWinSlide;
        if (m_screenWidth <= m_left) {
            lSlideState = 1;
            m_interval = lWinSpeed;
            m_timerEnabled = false;
            m_unloadRequested = true;
        }
        break;
    default:
        break;
    }
}

} // namespace brandle

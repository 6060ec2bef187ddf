// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

namespace brandle {

// The message window's own fields and its slide arithmetic, in twips and milliseconds.
//
// A fresh object is a freshly loaded window: state 0, bJustLoaded set, the slide timer running
// at its design interval of 5 ms. show() places the window beyond the right edge of the screen
// and starts the slide-in; every timer tick then calls tick(), after which the window reads
// left(), interval(), timerRunning() and unloadRequested().
class SlideState {
public:
    // The window parameters and flags, named as the window knows them.
    qint32 lSlideState = 0; // 0 not shown yet, 1 sliding in or holding, 2 sliding out
    qint32 lWinWidth = 0;
    qint32 lWinHeight = 0;
    qint32 lWinDuration = 0; // hold period, ms
    qint32 lWinSpeed = 0;    // interval between slide steps, ms
    qint32 lWinSlide = 0;    // length of one step, twips
    qint32 lWebWidth = 0;
    qint32 lWebHeight = 0;
    bool bHold = false;      // activity seen since the last hold check
    bool bJustLoaded = true; // gives the first showing one hold period
    qint32 lPicHeight = 0;

    static constexpr int DesignInterval = 5;
    // Gap between the window and the screen's right edge, twips.
    static constexpr int EdgeGap = 200;

    // Places the window wholly beyond the right edge of a screen screenWidth twips wide and
    // starts the slide-in (state 1). The timer is left as it is.
    void show(double screenWidth);

    // One tick of the slide timer.
    void tick();

    // Records user activity: the window holds for one more period.
    void noteActivity() { bHold = true; }

    double left() const { return m_left; }
    double screenWidth() const { return m_screenWidth; }
    // The timer's interval; 0 means it does not fire.
    int interval() const { return m_interval; }
    // Whether the timer fires at all: enabled and with a positive interval.
    bool timerRunning() const { return m_timerEnabled && m_interval > 0; }
    // Set when the slide-out has ended: the window should unload.
    bool unloadRequested() const { return m_unloadRequested; }

private:
    double m_left = 0;
    double m_screenWidth = 0;
    int m_interval = DesignInterval;
    bool m_timerEnabled = true;
    bool m_unloadRequested = false;
};

} // namespace brandle

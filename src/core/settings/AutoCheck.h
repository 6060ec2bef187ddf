// SPDX-License-Identifier: MIT
#pragma once

#include "settings/clsProps.h"

#include <QDateTime>

namespace brandle {

// The decision of one tick of the automatic check. The timer ticks once at start, then once a
// second until a site is known (it costs nothing while nobody has counted yet), then every 50
// seconds, so that no minute passes without a tick; a check runs when the minute of the hour is
// a whole multiple of SleepTime and automatic checks are on.
class AutoCheck {
public:
    static constexpr int FirstInterval = 0;
    static constexpr int WaitingInterval = 1000;
    static constexpr int ArmedInterval = 50000;

    struct Tick {
        bool check = false; // run CheckURL with the Primary URL box's text
        int interval = 0;   // the timer's next interval; 0 leaves it as it is
    };

    // One tick at the given local time. Sets props.SleepTime to "30" when it is not a number.
    // At most one check runs per checking minute, and none while a lookup is running.
    Tick tick(clsProps& props, const QDateTime& now, bool lookupRunning);

private:
    QDateTime m_lastCheckMinute;
};

} // namespace brandle

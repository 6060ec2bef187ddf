// SPDX-License-Identifier: MIT
#pragma once

#include <QDateTime>

namespace brandle {

// The local clock. Code that depends on "now" asks Clock::instance(), so tests can stand at any
// moment (just before midnight, at 12:59:40 ...).
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;

    static const Clock& instance();
    // Replaces the clock; nullptr restores the system clock. Not thread-safe: set it before any
    // worker runs.
    static void setInstance(const Clock* clock);
};

} // namespace brandle

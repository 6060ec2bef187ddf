// SPDX-License-Identifier: MIT
#include "platform/Clock.h"

namespace brandle {

namespace {

class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

const SystemClock systemClock;
const Clock* current = &systemClock;

} // namespace

const Clock& Clock::instance()
{
    return *current;
}

void Clock::setInstance(const Clock* clock)
{
    current = clock ? clock : &systemClock;
}

} // namespace brandle

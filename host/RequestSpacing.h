// SPDX-License-Identifier: MIT
#pragma once

// Keeps the requests to an upstream at least an interval apart: each request takes the next
// free turn, and one whose turn would come too late takes none.

#include <chrono>
#include <mutex>
#include <optional>

namespace brandle::host {

class RequestSpacing {
public:
    using Clock = std::chrono::steady_clock;

    explicit RequestSpacing(std::chrono::milliseconds interval)
        : interval_(interval)
    {
    }

    // When a request asked for at now may start, if that is no later than latest; nothing
    // when its turn would come after latest.
    std::optional<Clock::time_point> reserve(Clock::time_point now, Clock::time_point latest)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const Clock::time_point turn = last_ && *last_ + interval_ > now ? *last_ + interval_ : now;
        if (turn > latest) {
            return std::nullopt;
        }
        last_ = turn;
        return turn;
    }

private:
    const std::chrono::milliseconds interval_;
    std::mutex mutex_;
    std::optional<Clock::time_point> last_;
};

} // namespace brandle::host

// SPDX-License-Identifier: MIT
#pragma once

// The background thread of a source that refreshes its data now and then. Its naps end at
// once on stop(), and cancelFlag() is what the source's downloads watch, so a stopping host
// never waits for a refresh to run its course.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace brandle::host {

class RefreshWorker {
public:
    RefreshWorker() = default;
    RefreshWorker(const RefreshWorker&) = delete;
    RefreshWorker& operator=(const RefreshWorker&) = delete;
    ~RefreshWorker() { stop(); }

    // Runs body on the thread; a second start while it runs does nothing.
    void start(std::function<void()> body)
    {
        if (!thread_.joinable()) {
            thread_ = std::thread(std::move(body));
        }
    }

    void stop()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        if (thread_.joinable()) {
            thread_.join();
        }
    }

    bool stopping() const { return stopping_; }
    const std::atomic<bool>* cancelFlag() const { return &stopping_; }

    // Sleeps for d, at most ten minutes at a time so that a clock that jumped (a suspended
    // machine) is seen soon; returns early on stop().
    void nap(std::chrono::steady_clock::duration d)
    {
        constexpr std::chrono::steady_clock::duration kLongest = std::chrono::minutes(10);
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait_for(lock, std::min(d, kLongest), [this] { return stopping_.load(); });
    }

private:
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::atomic<bool> stopping_{false};
};

} // namespace brandle::host

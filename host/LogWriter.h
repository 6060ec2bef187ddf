// SPDX-License-Identifier: MIT
#pragma once

// The host log on standard output, written by a thread of its own: a request never waits
// for the log. When the output is not read (a parent that keeps the pipe but never reads it
// fills it up), lines beyond a bounded backlog are dropped and counted instead of stopping
// the host.

#include <condition_variable>
#include <cstddef>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

namespace brandle::host {

class LogWriter {
public:
    explicit LogWriter(std::FILE* out, std::size_t maxBacklog = 10000);
    ~LogWriter(); // writes what is queued, then ends the thread
    LogWriter(const LogWriter&) = delete;
    LogWriter& operator=(const LogWriter&) = delete;

    // Queues one line (without its line end).
    void line(std::string text);

private:
    void run();

    std::FILE* out_;
    std::size_t maxBacklog_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::string> queue_;
    std::size_t dropped_ = 0;
    bool ending_ = false;
    std::thread thread_;
};

} // namespace brandle::host

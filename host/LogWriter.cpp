// SPDX-License-Identifier: MIT
#include "LogWriter.h"

#include <utility>

namespace brandle::host {

LogWriter::LogWriter(std::FILE* out, std::size_t maxBacklog)
    : out_(out)
    , maxBacklog_(maxBacklog)
    , thread_([this] { run(); })
{
}

LogWriter::~LogWriter()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ending_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void LogWriter::line(std::string text)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (queue_.size() >= maxBacklog_) {
            ++dropped_;
            return;
        }
        queue_.push_back(std::move(text));
    }
    wake_.notify_one();
}

void LogWriter::run()
{
    std::unique_lock<std::mutex> lock(mutex_);
    while (true) {
        wake_.wait(lock, [this] { return ending_ || !queue_.empty(); });
        if (queue_.empty() && ending_) {
            return;
        }
        std::deque<std::string> batch;
        batch.swap(queue_);
        const std::size_t dropped = std::exchange(dropped_, 0);
        lock.unlock();
        if (dropped > 0) {
            std::fprintf(out_, "brandle-host: %zu log lines dropped (the log was not read)\n",
                         dropped);
        }
        for (const std::string& text : batch) {
            std::fputs(text.c_str(), out_);
            std::fputc('\n', out_);
        }
        std::fflush(out_);
        lock.lock();
    }
}

} // namespace brandle::host

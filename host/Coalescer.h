// SPDX-License-Identifier: MIT
#pragma once

// Runs a piece of work once for all callers that ask for the same key at the same time: the
// first caller does the work, the others wait for its result.

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace brandle::host {

template <typename Value> class Coalescer {
public:
    // The result of work(), run by this caller or by one that asked for the key earlier and
    // has not finished yet. An exception of the work reaches every waiting caller.
    Value run(const std::string& key, const std::function<Value()>& work)
    {
        std::shared_ptr<Flight> flight;
        bool leader = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            auto& slot = flights_[key];
            if (!slot) {
                slot = std::make_shared<Flight>();
                leader = true;
            } else {
                ++slot->waiters;
            }
            flight = slot;
        }
        if (leader) {
            std::optional<Value> value;
            std::exception_ptr error;
            try {
                value.emplace(work());
            } catch (...) {
                error = std::current_exception();
            }
            {
                std::lock_guard<std::mutex> lock(mutex_);
                flights_.erase(key);
                flight->value = value;
                flight->error = error;
                flight->done = true;
            }
            flight->cond.notify_all();
            if (error) {
                std::rethrow_exception(error);
            }
            return *value;
        }
        std::unique_lock<std::mutex> lock(mutex_);
        flight->cond.wait(lock, [&] { return flight->done; });
        if (flight->error) {
            std::rethrow_exception(flight->error);
        }
        return *flight->value;
    }

    // How many callers wait for the work of the key now in progress.
    std::size_t waiting(const std::string& key) const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto it = flights_.find(key);
        return it == flights_.end() ? 0 : it->second->waiters;
    }

private:
    struct Flight {
        std::condition_variable cond;
        bool done = false;
        std::size_t waiters = 0;
        std::optional<Value> value;
        std::exception_ptr error;
    };

    mutable std::mutex mutex_;
    std::map<std::string, std::shared_ptr<Flight>> flights_;
};

} // namespace brandle::host

// SPDX-License-Identifier: MIT
#pragma once

// One host per cache folder: a host holds an exclusive lock (flock) on "brandle-host.lock" in
// the folder for as long as it runs, with its process id written in the file.

#include <filesystem>
#include <memory>
#include <string>

namespace brandle::host {

class CacheLock {
public:
    // The lock, or nothing and an error text (naming the process that holds the folder when
    // another one does).
    static std::unique_ptr<CacheLock> acquire(const std::filesystem::path& folder,
                                              std::string& error);
    ~CacheLock();
    CacheLock(const CacheLock&) = delete;
    CacheLock& operator=(const CacheLock&) = delete;

private:
    explicit CacheLock(int fd)
        : fd_(fd)
    {
    }
    int fd_;
};

} // namespace brandle::host

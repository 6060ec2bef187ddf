// SPDX-License-Identifier: MIT
#include "CacheLock.h"

#include "Text.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace brandle::host {

std::unique_ptr<CacheLock> CacheLock::acquire(const std::filesystem::path& folder,
                                              std::string& error)
{
    const std::filesystem::path file = folder / "brandle-host.lock";
    const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = "cannot open " + file.string() + ": " + std::strerror(errno);
        return nullptr;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int lockError = errno;
        char holder[32] = {};
        const ssize_t n = ::pread(fd, holder, sizeof holder - 1, 0);
        ::close(fd);
        if (lockError != EWOULDBLOCK) {
            error = "cannot lock " + file.string() + ": " + std::strerror(lockError);
            return nullptr;
        }
        const std::string pid(trimBlanks(std::string_view(holder, n > 0 ? std::size_t(n) : 0)));
        error = "the cache folder " + folder.string() + " is in use by another brandle-host (" +
                (pid.empty() ? std::string("a process that is starting")
                             : "process " + printable(pid)) +
                "); one host per cache folder";
        return nullptr;
    }
    // The lock holds even when the process id cannot be written: a second host then names no
    // process.
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd, 0) == 0) {
        [[maybe_unused]] const ssize_t written = ::pwrite(fd, pid.data(), pid.size(), 0);
    }
    return std::unique_ptr<CacheLock>(new CacheLock(fd));
}

CacheLock::~CacheLock()
{
    ::close(fd_);
}

} // namespace brandle::host

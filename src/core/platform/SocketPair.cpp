// SPDX-License-Identifier: MIT
#include "platform/SocketPair.h"

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace brandle {

std::optional<SocketPair> makeSocketPair()
{
#ifdef Q_OS_UNIX
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0)
        return std::nullopt;
    return SocketPair{fds[0], fds[1]};
#else
    return std::nullopt;
#endif
}

void keepAcrossExec(qintptr socket)
{
#ifdef Q_OS_UNIX
    const int flags = ::fcntl(int(socket), F_GETFD);
    if (flags >= 0)
        ::fcntl(int(socket), F_SETFD, flags & ~FD_CLOEXEC);
#else
    Q_UNUSED(socket);
#endif
}

void closeSocket(qintptr socket)
{
#ifdef Q_OS_UNIX
    if (socket >= 0)
        ::close(int(socket));
#else
    Q_UNUSED(socket);
#endif
}

} // namespace brandle

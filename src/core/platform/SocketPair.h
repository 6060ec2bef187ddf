// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

#include <optional>

namespace brandle {

// The two ends of a connected pair of local stream sockets: a private line between this process
// and a child it starts. Nothing in the file system names it, so no other process can reach it.
// Both ends close when a program is executed, so the child gets only the end it is handed.
struct SocketPair {
    qintptr ours = -1;
    qintptr theirs = -1;
};

// A new pair; nothing where the platform has no such sockets.
std::optional<SocketPair> makeSocketPair();

// In the child between fork and exec: keeps the end open in the program it executes.
void keepAcrossExec(qintptr socket);

void closeSocket(qintptr socket);

} // namespace brandle

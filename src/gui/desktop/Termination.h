// SPDX-License-Identifier: MIT
#pragma once

#include <functional>

namespace brandle {

// Runs end on the event loop when SIGTERM or SIGINT arrives, so that the program can end as its
// Exit does: its windows close and every object is destroyed in order (the single-instance
// socket is removed, the tray icon goes). Call once, after the application object exists; end
// must end the event loop.
void endOnTerminationSignals(std::function<void()> end);

} // namespace brandle

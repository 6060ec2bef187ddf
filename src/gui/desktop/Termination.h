// SPDX-License-Identifier: MIT
#pragma once

namespace brandle {

// Makes SIGTERM and SIGINT end the event loop as an ordinary exit does, so that every object is
// destroyed in order (the single-instance socket is removed, the tray icon goes). Call once,
// after the application object exists.
void quitOnTerminationSignals();

} // namespace brandle

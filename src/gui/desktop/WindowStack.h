// SPDX-License-Identifier: MIT
#pragma once

class QWidget;

namespace brandle::WindowStack {

// For a window that the window manager does not manage (it bypasses it to be placed exactly):
// stacks it directly above the topmost ordinary window that the manager keeps, that is below
// panels, windows kept above others and full-screen windows. A window the manager raises later
// then covers it, as it covers any ordinary window; with no managed window yet it goes to the
// bottom. Does nothing without a window manager that lists its windows
// (_NET_CLIENT_LIST_STACKING), or off X11.
void placeAmongOrdinaryWindows(QWidget* window);

} // namespace brandle::WindowStack

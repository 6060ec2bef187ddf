// SPDX-License-Identifier: MIT
#pragma once

namespace brandle {

// Settings that must be made before the application object exists: Qt WebEngine's sandbox
// cannot run as root, and on Wayland a program cannot place its own windows, so Brandle uses
// XWayland there unless the user chose a platform. (The OpenGL context that Qt WebEngine shares
// is made when the web windows are first loaded, so an idle Brandle loads no graphics driver.)
void prepareGuiEnvironment();

} // namespace brandle

// SPDX-License-Identifier: MIT
#pragma once

class QCommandLineParser;

namespace brandle {

// Settings that must be made before the application object exists: Qt WebEngine's sandbox
// cannot run as root, its own log lines stay off the terminal unless BRANDLE_WEB_VERBOSE asks
// for them, and on Wayland a program cannot place its own windows, so Brandle uses
// XWayland there unless the user chose a platform. (The OpenGL context that Qt WebEngine shares
// is made when the web windows are first loaded, so an idle Brandle loads no graphics driver.)
void prepareGuiEnvironment();

// BRANDLE_WEB_VERBOSE is set (and not "0"): the browser engine's own log lines are wanted.
bool webEngineVerbose();

// Makes the parser accept, without listing them, the options that the application object takes
// for itself ("-platform offscreen", "-style Fusion", "-reverse" ...), so a command line can be
// checked before that object exists. Options are then words after one dash as after two.
void acceptToolkitOptions(QCommandLineParser& parser);

} // namespace brandle

// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace brandle::Paths {

// The program's folder, which holds the page file and the "LinkLogs" folder, the same for every
// program: the folder named by BRANDLE_HOME when set; otherwise the executable's folder when it
// is a portable copy that says so (it holds the file "brandle-portable", as the build tree does)
// and is writable; otherwise "brandle" in the per-user data folder ($XDG_DATA_HOME/brandle,
// ~/.local/share/brandle). Created when missing.
QString programFolder();

// The same for an executable in executableFolder ("" when there is none).
QString programFolderBeside(const QString& executableFolder);

// A path inside the program's folder.
QString inProgramFolder(const QString& name);

// The service host as "host:port": BRANDLE_SERVICE_HOST from the environment, else the default
// compiled in.
QString serviceHost();

// The service host that BRANDLE_SERVICE_HOST names; "" when it names none.
QString chosenServiceHost();

// The service host compiled in ("127.0.0.1:8750" unless the build chose another).
QString defaultServiceHost();

// "http://" + the service host + path.
QString serviceUrl(const QString& path);

// A folder that only this user can enter, for the single-instance socket: $XDG_RUNTIME_DIR when
// it is a folder of the user's own that nobody else may enter; otherwise "brandle-" + the user id
// in the temporary folder, else in the user's cache folder ($XDG_CACHE_HOME, ~/.cache), each made
// with access for the user alone when missing and used only when it is a real folder (not a
// link) of the user's own that nobody else may enter. Empty when none of them can be had.
QString privateRuntimeFolder();

} // namespace brandle::Paths

// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace brandle::Paths {

// The program's folder, which holds the page file and the "LinkLogs" folder: the folder named
// by BRANDLE_HOME when set; otherwise the executable's folder when it is writable (a portable
// install); otherwise the per-user data folder. Created when missing.
QString programFolder();

// A path inside the program's folder.
QString inProgramFolder(const QString& name);

// The service host as "host:port": BRANDLE_SERVICE_HOST from the environment, else the default
// compiled in.
QString serviceHost();

// "http://" + the service host + path.
QString serviceUrl(const QString& path);

} // namespace brandle::Paths

// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace brandle {

// The sound file of an alert code: "1" LinkCount, "2" Increase, "3" Decrease, "4" Welcome,
// "5" Exit ("LinkCount.wav" ...); "" for any other code.
QString alertFileName(const QString& code);

// The full path of the alert's file: "Alerts/" in the program's folder, else beside the
// executable, else in the installed share folder (share/brandle beside the executable's bin/, or
// where the build meant to install it); "" when the code is unknown or no file exists.
QString alertPath(const QString& code);

} // namespace brandle

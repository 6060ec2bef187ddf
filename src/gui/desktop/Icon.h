// SPDX-License-Identifier: MIT
#pragma once

#include <QIcon>

namespace brandle {

// The program's icon: "brandle" of the icon theme (an installed copy puts it into hicolor), else
// the same picture drawn at the sizes a tray and a window ask for.
QIcon brandleIcon();

} // namespace brandle

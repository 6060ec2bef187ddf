// SPDX-License-Identifier: MIT
#pragma once

#include <QIcon>

namespace brandle {

// The program's icon, drawn at the sizes a tray and a window ask for.
QIcon brandleIcon();

} // namespace brandle

// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// Plays the alert of the code ("1" to "5") without waiting for it; a new alert cuts off the
// one playing. An unknown code or a missing file plays nothing. User-interface thread only.
void PlayAlert(const QString& code);

namespace brandle {

// True while an alert is loading or playing.
bool isAlertPlaying();

} // namespace brandle

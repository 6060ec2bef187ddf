// SPDX-License-Identifier: MIT
#pragma once

#include <QLocale>
#include <QStringList>

namespace brandle {

// Loads Brandle's translation for the user's language, and Qt's own for the standard buttons,
// and installs them in the application. Brandle's is looked for beside the program (the build
// tree: "translations/brandle_<language>.qm"), in the installed share folder, and where the
// build installs it. Without a translation for the language the texts stay English. Returns the
// files loaded.
QStringList installTranslations(const QLocale& locale = QLocale());

// Removes what installTranslations installed (tests switch languages).
void removeTranslations();

} // namespace brandle

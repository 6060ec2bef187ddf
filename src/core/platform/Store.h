// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <Qt>

// The per-user settings store of application "Quenta App Loader": text values by section and
// key. Each call opens the store afresh, so both functions may be used from any thread.

// The stored value, or "" when the key is missing or the store cannot be read.
QString GetAppSetting(const QString& section, const QString& key);

// Writes the value and flushes it to disk at once.
void SaveAppSetting(const QString& section, const QString& key, const QString& value);

// How the store compares keys: as they are spelled on Linux and macOS, in any letter case in
// the Windows registry.
Qt::CaseSensitivity StoreKeyCase();

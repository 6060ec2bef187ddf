// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QString>
#include <Qt>

#include <memory>

namespace brandle {

struct StoreFile;

// One visit to the per-user settings store of application "Quenta App Loader": text values by
// section and key, kept in an INI file in the user's configuration folder. The file is read
// once, at the first read; the session's own writes read back at once and reach the file with
// save(). A session is used by one thread at a time; sessions of other threads and programs may
// save meanwhile.
class StoreSession {
public:
    StoreSession();
    ~StoreSession();
    StoreSession(const StoreSession&) = delete;
    StoreSession& operator=(const StoreSession&) = delete;

    // The value, or "" when the key is missing or the store cannot be read.
    QString value(const QString& section, const QString& key) const;
    void setValue(const QString& section, const QString& key, const QString& value);
    // True while values set in this session wait for save().
    bool hasChanges() const { return !m_changes.isEmpty(); }

    // Writes the values set since the last save into the file as it is now (values other
    // sessions saved meanwhile are kept) and flushes it to the disk once; nothing is written when
    // nothing changed. The file is replaced only by a complete copy that read back as written:
    // when anything fails the old file stays byte for byte, the values stay waiting, and a
    // BrandleError (ErrorCode::StoreWrite) says why.
    void save();

    // The store's file.
    static QString filePath();

private:
    struct Change {
        QString section;
        QString key;
        QString value;
    };
    const StoreFile& file() const;

    mutable std::unique_ptr<StoreFile> m_file;
    QList<Change> m_changes;
};

} // namespace brandle

// The stored value, or "" when the key is missing or the store cannot be read.
QString GetAppSetting(const QString& section, const QString& key);

// Writes the value and flushes it to disk at once, as a session of its own. False when it could
// not be saved; the store is then left as it was.
bool SaveAppSetting(const QString& section, const QString& key, const QString& value);

// How the store compares sections and keys: as they are spelled on Linux and macOS, in any
// letter case on Windows.
Qt::CaseSensitivity StoreKeyCase();

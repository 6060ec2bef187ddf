// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QString>
#include <Qt>

#include <memory>

namespace brandle {

struct StoreFile;
class StoreLock;

// One visit to the per-user settings store of application "Quenta App Loader": text values by
// section and key, kept in an INI file in the user's configuration folder. The file is read
// once, at the first read; the session's own writes read back at once and reach the file with
// save(). A session is used by one thread at a time; sessions of other threads and programs may
// save meanwhile, unless the session holds the store's lock (lock()).
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

    // Takes the store's lock and reads the file anew, so that what the session reads from now
    // on and writes with save() is one unit: no other save comes between. save() lets go of the
    // lock, whether it wrote or not, and so does the end of the session. Waits for another
    // program's save as save() does; throws BrandleError (ErrorCode::StoreWrite) when the lock
    // cannot be had. Hold it briefly: every other save of the store waits for it.
    void lock();

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
    std::unique_ptr<StoreLock> takeLock() const;

    mutable std::unique_ptr<StoreFile> m_file;
    QList<Change> m_changes;
    std::unique_ptr<StoreLock> m_lock;
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

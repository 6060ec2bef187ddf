// SPDX-License-Identifier: MIT
#include "platform/Store.h"

#include "platform/Errors.h"
#include "platform/SafeFile.h"
#include "platform/mConstants.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>

#include <optional>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <QLockFile>
#endif

using namespace Qt::StringLiterals;

// The file is an INI file in the syntax QSettings reads and writes, so that a store written by
// either stays readable by both: sections "[name]", entries "key=value", comments from ";".
// Names keep letters, digits, "_", "-" and "." and write "/" as "\" and every other character as
// %XX (%UXXXX beyond Latin-1): a key is written as QSettings writes "section/key" ("Eng-A/B" as
// "Eng-A\B"); one with an empty part ("A//B", "A/") is a key that QSettings cannot reach. Values
// are UTF-8 with C-style backslash escapes, in double quotes when they hold ";", "," or "=" or
// begin or end with a blank. An unquoted "," separates the items of a list, and a leading "@"
// marks a typed value ("@@" stands for "@").
//
// QSettings itself is not used to write: in Qt 6.4 its save can report success after a failed
// buffered write and put an empty or cut-off file in place of the old one.

namespace brandle {

namespace {

struct StoreText {
    Q_DECLARE_TR_FUNCTIONS(Store)
};

// How long a save waits for another program's save of the store to end.
constexpr int LockWaitMs = 10000;

// Earlier builds wrote "%", "/" and "\" of a key as "%25", "%2F" and "%5C" before the file's own
// escaping, so "Eng-A/B" became "Eng-A%252FB" in the file, a key of its own for QSettings. Such a
// key is read while the key itself is missing and goes when the key is written.
QString earlierKey(const QString& key)
{
    QString escaped;
    escaped.reserve(key.size());
    for (const QChar c : key) {
        if (c == u'%')
            escaped += "%25"_L1;
        else if (c == u'/')
            escaped += "%2F"_L1;
        else if (c == u'\\')
            escaped += "%5C"_L1;
        else
            escaped += c;
    }
    return escaped;
}

bool isHexDigit(char16_t c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

uint hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return uint(c - '0');
    return uint((c | 0x20) - 'a' + 10);
}

QByteArray hex(uint value, int width)
{
    return QByteArray::number(value, 16).toUpper().rightJustified(width, '0');
}

QByteArray escapeName(const QString& name)
{
    QByteArray out;
    for (const QChar qc : name) {
        const char16_t c = qc.unicode();
        if (c == u'/')
            out += '\\';
        else if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
                 c == u'_' || c == u'-' || c == u'.')
            out += char(c);
        else if (c <= 0xFF)
            out += '%' + hex(c, 2);
        else
            out += "%U" + hex(c, 4);
    }
    return out;
}

// A name as QSettings reads it: its bytes are UTF-8, "\" stands for "/", and %XX and %UXXXX for
// that character; a "%" that starts no such escape stays as it is.
QString unescapeName(QByteArrayView raw)
{
    const QString text = QString::fromUtf8(raw);
    QString out;
    for (qsizetype i = 0; i < text.size();) {
        const QChar c = text.at(i);
        if (c == u'\\') {
            out += u'/';
            ++i;
            continue;
        }
        if (c == u'%') {
            const bool wide = i + 1 < text.size() && text.at(i + 1) == u'U';
            const qsizetype first = i + (wide ? 2 : 1);
            const qsizetype end = first + (wide ? 4 : 2);
            bool ok = end <= text.size();
            uint code = 0;
            for (qsizetype k = first; ok && k < end; ++k) {
                ok = isHexDigit(text.at(k).unicode());
                code = code * 16 + (ok ? hexValue(char(text.at(k).unicode())) : 0);
            }
            if (ok) {
                out += QChar(char16_t(code));
                i = end;
                continue;
            }
        }
        out += c;
        ++i;
    }
    return out;
}

QByteArray escapeValue(const QString& value)
{
    const QString text = value.startsWith(u'@') ? u'@' + value : value;
    QByteArray out;
    QString plain; // characters written as they are, in UTF-8
    // After a "\x" escape the reader takes every hex digit that follows: such a digit is
    // escaped as well.
    bool afterHex = false;
    const auto flush = [&] {
        out += plain.toUtf8();
        plain.clear();
    };
    for (const QChar qc : text) {
        const char16_t c = qc.unicode();
        const char* named = nullptr;
        switch (c) {
        case u'\a':
            named = "\\a";
            break;
        case u'\b':
            named = "\\b";
            break;
        case u'\f':
            named = "\\f";
            break;
        case u'\n':
            named = "\\n";
            break;
        case u'\r':
            named = "\\r";
            break;
        case u'\t':
            named = "\\t";
            break;
        case u'\v':
            named = "\\v";
            break;
        case u'"':
            named = "\\\"";
            break;
        case u'\\':
            named = "\\\\";
            break;
        default:
            break;
        }
        if (named) {
            flush();
            out += named;
            afterHex = false;
        } else if (c < 0x20 || c == 0x7F || (afterHex && isHexDigit(c))) {
            flush();
            out += "\\x" + QByteArray::number(uint(c), 16);
            afterHex = true;
        } else {
            plain += qc;
            afterHex = false;
        }
    }
    flush();
    const bool quoted = text.contains(u';') || text.contains(u',') || text.contains(u'=') ||
                        out.startsWith(' ') || out.endsWith(' ');
    return quoted ? '"' + out + '"' : out;
}

// The text of a value as the file holds it. A list of more than one item reads as "", and so do
// typed values other than text, as they do through QSettings.
QString unescapeValue(QByteArrayView raw)
{
    QString item;
    QByteArray plain;
    bool inQuotes = false;
    bool quoted = false; // the current item had quotes: its trailing blanks are kept
    bool isList = false;
    qsizetype i = 0;
    const auto flush = [&] {
        item += QString::fromUtf8(plain);
        plain.clear();
    };
    const auto skipBlanks = [&] {
        while (i < raw.size() && (raw[i] == ' ' || raw[i] == '\t'))
            ++i;
    };
    const auto chopBlanks = [&] {
        if (!quoted) {
            while (item.endsWith(u' ') || item.endsWith(u'\t'))
                item.chop(1);
        }
    };
    const auto number = [&](int base) {
        uint code = 0;
        while (i < raw.size() &&
               (base == 16 ? isHexDigit(char16_t(raw[i])) : (raw[i] >= '0' && raw[i] <= '7')))
            code = code * uint(base) + hexValue(raw[i++]);
        return QChar(char16_t(code & 0xFFFF));
    };

    skipBlanks();
    while (i < raw.size()) {
        const char c = raw[i++];
        if (c == '\\') {
            if (i >= raw.size())
                break;
            const char e = raw[i++];
            flush();
            switch (e) {
            case 'a':
                item += u'\a';
                break;
            case 'b':
                item += u'\b';
                break;
            case 'f':
                item += u'\f';
                break;
            case 'n':
                item += u'\n';
                break;
            case 'r':
                item += u'\r';
                break;
            case 't':
                item += u'\t';
                break;
            case 'v':
                item += u'\v';
                break;
            case '"':
            case '?':
            case '\'':
            case '\\':
                item += QLatin1Char(e);
                break;
            case 'x':
                if (i < raw.size() && isHexDigit(char16_t(raw[i])))
                    item += number(16);
                break;
            case '\n':
            case '\r':
                // A continued line.
                if (i < raw.size() && (raw[i] == '\n' || raw[i] == '\r') && raw[i] != e)
                    ++i;
                break;
            default:
                if (e >= '0' && e <= '7') {
                    --i;
                    item += number(8);
                }
                // Any other escaped character is dropped.
                break;
            }
        } else if (c == '"') {
            flush();
            quoted = true;
            inQuotes = !inQuotes;
            if (!inQuotes)
                skipBlanks();
        } else if (c == ',' && !inQuotes) {
            isList = true;
            flush();
            chopBlanks();
            item.clear();
            quoted = false;
            skipBlanks();
        } else {
            plain += c;
        }
    }
    flush();
    chopBlanks();

    if (isList)
        return {};
    if (item.startsWith("@@"_L1))
        return item.mid(1);
    if (item.startsWith("@ByteArray("_L1) && item.endsWith(u')'))
        return QString::fromUtf8(item.mid(11, item.size() - 12).toLatin1());
    if (item.startsWith(u'@') && item.endsWith(u')'))
        return {};
    return item;
}

// Why the store could not be saved, naming its file.
BrandleError storeError(const QString& path, const QString& why)
{
    return BrandleError(ErrorCode::StoreWrite,
                        QDir::toNativeSeparators(path) + " ("_L1 + why + u')');
}

// Sections and keys compare as the platform's store does.
bool sameName(const QString& a, const QString& b)
{
    return a.compare(b, StoreKeyCase()) == 0;
}

} // namespace

#ifdef Q_OS_UNIX
// The right to save (or to read and then save as one unit), one holder at a time across
// programs and threads: a lock (flock) on an empty file beside the store. The system lets go of
// it when its holder ends, so a crash leaves nothing stale; the holder removes the file before
// letting go, and a waiter that finds it holds a removed file tries again. Taking it writes and
// flushes nothing.
class StoreLock {
public:
    explicit StoreLock(const QString& storePath)
        : m_path(QFile::encodeName(storePath + ".lock"_L1))
    {
    }
    ~StoreLock()
    {
        if (m_fd >= 0) {
            ::unlink(m_path.constData());
            ::close(m_fd);
        }
    }
    StoreLock(const StoreLock&) = delete;
    StoreLock& operator=(const StoreLock&) = delete;

    // Waits at most waitMs; on failure, why.
    std::optional<QString> take(int waitMs)
    {
        QDeadlineTimer deadline(waitMs);
        for (;;) {
            const int fd = ::open(m_path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
            if (fd < 0)
                return qt_error_string(errno);
            if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
                struct stat held {};
                struct stat named {};
                if (::fstat(fd, &held) == 0 && ::stat(m_path.constData(), &named) == 0 &&
                    held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
                    m_fd = fd;
                    return std::nullopt;
                }
            }
            ::close(fd);
            if (deadline.hasExpired())
                return StoreText::tr("another program keeps it locked");
            QThread::msleep(5);
        }
    }

private:
    QByteArray m_path;
    int m_fd = -1;
};
#else
class StoreLock {
public:
    explicit StoreLock(const QString& storePath)
        : m_lock(storePath + ".lock"_L1)
    {
    }
    std::optional<QString> take(int waitMs)
    {
        if (m_lock.tryLock(waitMs))
            return std::nullopt;
        return m_lock.error() == QLockFile::LockFailedError
                   ? StoreText::tr("another program keeps it locked")
                   : StoreText::tr("its lock file cannot be written");
    }

private:
    QLockFile m_lock;
};
#endif

// The store's file, as read: its sections in order, each with its entries in order. An entry
// keeps its line as the file had it (or as set), so a save writes back what it did not change
// exactly as it was.
struct StoreFile {
    struct Entry {
        QString key;
        QByteArray line;
        qsizetype valueAt; // where the value starts in line
    };
    struct Section {
        QString name;
        QList<Entry> entries;
    };
    QList<Section> sections;

    static StoreFile parse(QByteArrayView data);
    static StoreFile read(const QString& path, QString* error = nullptr);
    QByteArray bytes() const;

    std::optional<QString> value(const QString& section, const QString& key) const;
    void set(const QString& section, const QString& key, const QString& value);

private:
    Section& section(const QString& name);
    void add(const QString& section, QByteArrayView line, qsizetype equals);
};

StoreFile StoreFile::parse(QByteArrayView data)
{
    StoreFile file;
    if (data.startsWith("\xEF\xBB\xBF"))
        data = data.sliced(3);
    QString current;
    const qsizetype n = data.size();
    const auto isBlank = [](char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n';
    };
    qsizetype i = 0;
    while (i < n) {
        while (i < n && isBlank(data[i]))
            ++i;
        if (i >= n)
            break;
        if (data[i] == ';') { // a comment, to the end of the line
            while (i < n && data[i] != '\n' && data[i] != '\r')
                ++i;
            continue;
        }
        // One line: a line break in quotes or after a backslash continues it, and a ";" outside
        // quotes ends it (the rest is a comment, skipped by the next round).
        const qsizetype start = i;
        qsizetype equals = -1;
        bool inQuotes = false;
        for (; i < n; ++i) {
            const char c = data[i];
            if (c == '\\') {
                if (i + 1 < n) {
                    ++i;
                    if (i + 1 < n && ((data[i] == '\n' && data[i + 1] == '\r') ||
                                      (data[i] == '\r' && data[i + 1] == '\n')))
                        ++i;
                }
            } else if (c == '"') {
                inQuotes = !inQuotes;
            } else if (c == '=' && !inQuotes && equals < 0) {
                equals = i - start;
            } else if ((c == '\n' || c == '\r' || c == ';') && !inQuotes) {
                break;
            }
        }
        const QByteArrayView line = data.sliced(start, i - start);
        if (line.startsWith('[')) {
            qsizetype close = line.indexOf(']');
            if (close < 0)
                close = line.size();
            const QByteArrayView name = line.sliced(1, close - 1).trimmed();
            if (name.compare("general", Qt::CaseInsensitive) == 0)
                current.clear();
            else if (name.compare("%general", Qt::CaseInsensitive) == 0)
                current = QString::fromLatin1(name.sliced(1));
            else
                current = unescapeName(name);
            file.section(current);
        } else if (equals >= 0) {
            file.add(current, line, equals);
        }
    }
    return file;
}

StoreFile StoreFile::read(const QString& path, QString* error)
{
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly)) {
        if (error && in.exists())
            *error = in.errorString();
        return {};
    }
    const QByteArray data = in.readAll();
    if (error && in.error() != QFileDevice::NoError)
        *error = in.errorString();
    return parse(data);
}

StoreFile::Section& StoreFile::section(const QString& name)
{
    for (Section& s : sections) {
        if (sameName(s.name, name))
            return s;
    }
    sections.append({name, {}});
    return sections.last();
}

void StoreFile::add(const QString& sectionName, QByteArrayView line, qsizetype equals)
{
    const QByteArrayView rawKey = line.first(equals).trimmed();
    QByteArray text = rawKey.toByteArray() + '=';
    const qsizetype valueAt = text.size();
    text += line.sliced(equals + 1);
    section(sectionName).entries.append({unescapeName(rawKey), text, valueAt});
}

QByteArray StoreFile::bytes() const
{
    QByteArray out;
    for (const Section& s : sections) {
        if (!out.isEmpty())
            out += '\n';
        if (s.name.isEmpty())
            out += "[General]";
        else if (s.name.compare("general"_L1, Qt::CaseInsensitive) == 0)
            out += "[%General]";
        else
            out += '[' + escapeName(s.name) + ']';
        out += '\n';
        for (const Entry& e : s.entries)
            out += e.line + '\n';
    }
    return out;
}

std::optional<QString> StoreFile::value(const QString& sectionName, const QString& key) const
{
    for (const Section& s : sections) {
        if (!sameName(s.name, sectionName))
            continue;
        // A key written twice reads as its last line.
        for (auto e = s.entries.crbegin(); e != s.entries.crend(); ++e) {
            if (sameName(e->key, key))
                return unescapeValue(QByteArrayView(e->line).sliced(e->valueAt));
        }
    }
    return std::nullopt;
}

void StoreFile::set(const QString& sectionName, const QString& key, const QString& value)
{
    QByteArray line = escapeName(key) + '=';
    const qsizetype valueAt = line.size();
    line += escapeValue(value);
    QList<Entry>& entries = section(sectionName).entries;
    qsizetype at = -1;
    for (qsizetype k = entries.size() - 1; k >= 0; --k) {
        if (!sameName(entries.at(k).key, key))
            continue;
        if (at >= 0)
            entries.removeAt(at);
        at = k;
    }
    if (at >= 0)
        entries[at] = {key, line, valueAt};
    else
        entries.append({key, line, valueAt});
    if (const QString old = earlierKey(key); old != key)
        entries.removeIf([&old](const Entry& e) { return sameName(e.key, old); });
}

StoreSession::StoreSession() = default;
StoreSession::~StoreSession() = default;

QString StoreSession::filePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u'/' +
           mConstants::StoreApplication + ".conf"_L1;
}

const StoreFile& StoreSession::file() const
{
    if (!m_file)
        m_file = std::make_unique<StoreFile>(StoreFile::read(filePath()));
    return *m_file;
}

QString StoreSession::value(const QString& section, const QString& key) const
{
    for (auto c = m_changes.crbegin(); c != m_changes.crend(); ++c) {
        if (sameName(c->key, key) && sameName(c->section, section))
            return c->value;
    }
    std::optional<QString> stored = file().value(section, key);
    if (const QString old = earlierKey(key); !stored && old != key)
        stored = file().value(section, old);
    return stored.value_or(QString());
}

void StoreSession::setValue(const QString& section, const QString& key, const QString& value)
{
    m_changes.append({section, key, value});
}

std::unique_ptr<StoreLock> StoreSession::takeLock() const
{
    const QString path = filePath();
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        throw storeError(path, StoreText::tr("its folder cannot be made"));
    auto lock = std::make_unique<StoreLock>(path);
    if (const std::optional<QString> why = lock->take(LockWaitMs))
        throw storeError(path, *why);
    return lock;
}

void StoreSession::lock()
{
    if (m_lock)
        return;
    m_lock = takeLock();
    m_file = std::make_unique<StoreFile>(StoreFile::read(filePath()));
}

void StoreSession::save()
{
    // Whatever happens, the lock that lock() took is let go of at the end.
    const std::unique_ptr<StoreLock> held = std::move(m_lock);
    if (m_changes.isEmpty())
        return;
    const QString path = filePath();

    // One save at a time, across programs: each writes the file as it is now plus its changes.
    const std::unique_ptr<StoreLock> lock = held ? nullptr : takeLock();
    QString readError;
    StoreFile merged = StoreFile::read(path, &readError);
    // What cannot be read is not overwritten: its other values would be lost.
    if (!readError.isEmpty())
        throw storeError(path, readError);
    for (const Change& c : std::as_const(m_changes))
        merged.set(c.section, c.key, c.value);
    // The folder is not flushed: with the page file and its folder, a lookup then flushes three
    // times at most, and a power cut can only bring back the previous complete file.
    try {
        writeFileSafely(path, merged.bytes(), FolderFlush::Skip);
    } catch (const BrandleError& e) {
        throw BrandleError(ErrorCode::StoreWrite, e.detail());
    }

    m_file = std::make_unique<StoreFile>(std::move(merged));
    m_changes.clear();
}

} // namespace brandle

QString GetAppSetting(const QString& section, const QString& key)
{
    return brandle::StoreSession().value(section, key);
}

bool SaveAppSetting(const QString& section, const QString& key, const QString& value)
{
    brandle::StoreSession store;
    store.setValue(section, key, value);
    try {
        store.save();
        return true;
    } catch (const brandle::BrandleError&) {
        return false;
    }
}

Qt::CaseSensitivity StoreKeyCase()
{
#ifdef Q_OS_WIN
    return Qt::CaseInsensitive;
#else
    return Qt::CaseSensitive;
#endif
}

// SPDX-License-Identifier: MIT
#include "platform/SafeFile.h"

#include "platform/Errors.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <QSaveFile>
#endif

using namespace Qt::StringLiterals;

namespace brandle {

namespace {

[[noreturn]] void fail(const QString& path, const char* step, int error)
{
    throw BrandleError(ErrorCode::FileAccess,
                       u"%1 (%2: %3)"_s.arg(path, QLatin1StringView(step),
                                            QString::fromLocal8Bit(std::strerror(error))));
}

#ifdef Q_OS_UNIX

// Closes the descriptor and removes the temporary file unless the rename took it.
class TemporaryFile {
public:
    explicit TemporaryFile(const QString& target)
    {
        const QByteArray base = QFile::encodeName(target);
        for (int attempt = 0; attempt < 16 && m_fd < 0; ++attempt) {
            m_name = base + '.' + QByteArray::number(QRandomGenerator::global()->generate64(), 36) +
                     ".tmp";
            m_fd = ::open(m_name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (m_fd < 0 && errno != EEXIST)
                break;
        }
        if (m_fd < 0)
            fail(target, "create", errno);
    }
    ~TemporaryFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (!m_renamed)
            ::unlink(m_name.constData());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    int fd() const { return m_fd; }
    const QByteArray& name() const { return m_name; }
    // Closes the descriptor; a failed close can mean a failed delayed write.
    int close()
    {
        const int result = ::close(m_fd);
        m_fd = -1;
        return result;
    }
    void renamed() { m_renamed = true; }

private:
    QByteArray m_name;
    int m_fd = -1;
    bool m_renamed = false;
};

#endif

} // namespace

#ifdef Q_OS_UNIX

void writeFileSafely(const QString& path, const QByteArray& bytes, FolderFlush folder)
{
    TemporaryFile file(path);
    // Keep the permissions of the file being replaced.
    struct stat old {};
    const QByteArray target = QFile::encodeName(path);
    if (::stat(target.constData(), &old) == 0 && S_ISREG(old.st_mode))
        ::fchmod(file.fd(), old.st_mode & 07777);

    for (qsizetype written = 0; written < bytes.size();) {
        const ssize_t n =
            ::write(file.fd(), bytes.constData() + written, size_t(bytes.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            fail(path, "write", n < 0 ? errno : ENOSPC);
        written += n;
    }
    if (::fsync(file.fd()) != 0)
        fail(path, "flush", errno);
    struct stat written {};
    if (::fstat(file.fd(), &written) != 0)
        fail(path, "size", errno);
    if (written.st_size != bytes.size())
        fail(path, "size", EIO);
    if (file.close() != 0)
        fail(path, "close", errno);
    if (::rename(file.name().constData(), target.constData()) != 0)
        fail(path, "rename", errno);
    file.renamed();

    // The rename itself reaches the disk with the folder.
    if (folder == FolderFlush::Skip)
        return;
    const QByteArray folderName = QFile::encodeName(QFileInfo(path).absolutePath());
    const int dir = ::open(folderName.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

#else

// Elsewhere QSaveFile does the same steps; its buffer is flushed and checked before the commit,
// since a commit alone can report success after a failed buffered write.
void writeFileSafely(const QString& path, const QByteArray& bytes, FolderFlush)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        fail(path, "create", EACCES);
    if (file.write(bytes) != bytes.size() || !file.flush())
        fail(path, "write", ENOSPC);
    if (!file.commit())
        fail(path, "rename", EIO);
}

#endif

} // namespace brandle

// SPDX-License-Identifier: MIT
#include "platform/Paths.h"

#include "platform/mConstants.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

#ifndef BRANDLE_DEFAULT_SERVICE_HOST
#define BRANDLE_DEFAULT_SERVICE_HOST "127.0.0.1:8750"
#endif

namespace brandle::Paths {

QString programFolder()
{
    return programFolderBeside(QCoreApplication::instance() ? QCoreApplication::applicationDirPath()
                                                            : QString());
}

QString programFolderBeside(const QString& executableFolder)
{
    QString folder = qEnvironmentVariable("BRANDLE_HOME");
    if (folder.isEmpty() && !executableFolder.isEmpty() &&
        QFileInfo(executableFolder + u'/' + mConstants::PortableMarker).isFile() &&
        QFileInfo(executableFolder).isWritable())
        folder = executableFolder;
    if (folder.isEmpty()) {
        const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        if (!data.isEmpty())
            folder = data + u'/' + mConstants::DataFolderName;
    }
    if (folder.isEmpty())
        folder = QDir::currentPath();
    QDir().mkpath(folder);
    return QDir::cleanPath(folder);
}

QString inProgramFolder(const QString& name)
{
    return programFolder() + u'/' + name;
}

QString serviceHost()
{
    const QString host = chosenServiceHost();
    return host.isEmpty() ? defaultServiceHost() : host;
}

QString chosenServiceHost()
{
    return qEnvironmentVariable("BRANDLE_SERVICE_HOST").trimmed();
}

QString defaultServiceHost()
{
    return QString::fromUtf8(BRANDLE_DEFAULT_SERVICE_HOST);
}

QString serviceUrl(const QString& path)
{
    return "http://"_L1 + serviceHost() + path;
}

#ifdef Q_OS_UNIX
namespace {

// A real folder (a link is not followed) that belongs to this user and that nobody else may
// enter, read or write.
bool isPrivateFolder(const QString& path, bool followLink)
{
    struct stat info {};
    const QByteArray name = QFile::encodeName(path);
    if ((followLink ? ::stat(name.constData(), &info) : ::lstat(name.constData(), &info)) != 0)
        return false;
    return S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() && (info.st_mode & 077) == 0;
}

} // namespace
#endif

QString privateRuntimeFolder()
{
#ifdef Q_OS_UNIX
    // The desktop's own folder for the session may itself be reached through a link.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) && isPrivateFolder(runtime, true))
        return QDir::cleanPath(runtime);

    // Made with the user's access alone; an existing one is checked as found.
    const QString name = "/brandle-"_L1 + QString::number(::geteuid());
    const auto own = [&name](const QString& parent) {
        const QString folder = QDir::cleanPath(parent) + name;
        ::mkdir(QFile::encodeName(folder).constData(), 0700);
        return isPrivateFolder(folder, false) ? folder : QString();
    };
    if (const QString folder = own(QDir::tempPath()); !folder.isEmpty())
        return folder;
    // Another user may have made that one first; nobody else can make one in the user's own
    // cache folder.
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (QDir::isAbsolutePath(cache) && QDir().mkpath(cache))
        return own(cache);
    return {};
#else
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
#endif
}

} // namespace brandle::Paths

// SPDX-License-Identifier: MIT
#include "platform/Paths.h"

#include "platform/mConstants.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

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

} // namespace brandle::Paths

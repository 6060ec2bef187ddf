// SPDX-License-Identifier: MIT
#include "platform/Paths.h"

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
    QString folder = qEnvironmentVariable("BRANDLE_HOME");
    if (folder.isEmpty() && QCoreApplication::instance()) {
        const QString exeFolder = QCoreApplication::applicationDirPath();
        if (QFileInfo(exeFolder).isWritable())
            folder = exeFolder;
    }
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
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
    const QString host = qEnvironmentVariable("BRANDLE_SERVICE_HOST").trimmed();
    return host.isEmpty() ? QString::fromUtf8(BRANDLE_DEFAULT_SERVICE_HOST) : host;
}

QString serviceUrl(const QString& path)
{
    return "http://"_L1 + serviceHost() + path;
}

} // namespace brandle::Paths

// SPDX-License-Identifier: MIT
#include "desktop/GuiEnvironment.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

void prepareGuiEnvironment()
{
#ifdef Q_OS_UNIX
    if (::geteuid() == 0) {
        QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
        if (!flags.contains("--no-sandbox"))
            qputenv("QTWEBENGINE_CHROMIUM_FLAGS", (flags + " --no-sandbox").trimmed());
    }
#endif
#ifdef Q_OS_LINUX
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM") && qgetenv("XDG_SESSION_TYPE") == "wayland" &&
        qEnvironmentVariableIsSet("DISPLAY") &&
        QFileInfo::exists(QLibraryInfo::path(QLibraryInfo::PluginsPath) +
                          QLatin1String("/platforms/libqxcb.so")))
        qputenv("QT_QPA_PLATFORM", "xcb");
#endif
}

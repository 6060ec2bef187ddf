// SPDX-License-Identifier: MIT
#include "desktop/GuiEnvironment.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace brandle {

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
                          "/platforms/libqxcb.so"_L1))
        qputenv("QT_QPA_PLATFORM", "xcb");
#endif
}

} // namespace brandle

// SPDX-License-Identifier: MIT
#include "desktop/GuiEnvironment.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace brandle {

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

void acceptToolkitOptions(QCommandLineParser& parser)
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const auto hidden = [&parser](const QString& name, bool takesValue) {
        QCommandLineOption option(name);
        if (takesValue)
            option.setValueName(u"VALUE"_s);
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    };
    for (const char* name :
         {"platform", "platformpluginpath", "platformtheme", "plugin", "qmljsdebugger",
          "qwindowgeometry", "qwindowicon", "qwindowtitle", "session", "display", "geometry",
          "style", "stylesheet", "dialogs", "fontengine"})
        hidden(QString::fromLatin1(name), true);
    for (const char* name : {"reverse", "widgetcount", "nograb", "dograb", "sync"})
        hidden(QString::fromLatin1(name), false);
}

} // namespace brandle

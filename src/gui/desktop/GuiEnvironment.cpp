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

bool webEngineVerbose()
{
    const QByteArray value = qgetenv("BRANDLE_WEB_VERBOSE");
    return !value.isEmpty() && value != "0";
}

void prepareGuiEnvironment()
{
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
#ifdef Q_OS_UNIX
    if (::geteuid() == 0 && !flags.contains("--no-sandbox"))
        flags += " --no-sandbox";
#endif
    // The browser engine's own log lines (warnings about the graphics driver, say) stay off the
    // terminal: only fatal ones pass, unless asked for or a log level is chosen already.
    if (!webEngineVerbose() && !flags.contains("--log-level") &&
        !flags.contains("--enable-logging"))
        flags += " --log-level=3";
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.trimmed());
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

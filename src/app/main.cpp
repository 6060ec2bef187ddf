// SPDX-License-Identifier: MIT
#include "app/BrandleApp.h"
#include "app/SingleInstance.h"
#include "desktop/GuiEnvironment.h"
#include "desktop/Icon.h"
#include "desktop/Termination.h"
#include "desktop/Translations.h"
#include "platform/CommandLine.h"
#include "platform/HostStarter.h"
#include "platform/mConstants.h"

#include <QApplication>
#include <QCommandLineParser>

using namespace Qt::StringLiterals;
using namespace brandle;

int main(int argc, char* argv[])
{
    // The command line is checked before the application object looks for a display, so
    // --help, --version and a refusal work on a console alone.
    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Brandle counts the pages that link to a web site, from the system tray."_s);
    CommandLine commandLine(u"brandle"_s, parser);
    const QCommandLineOption demoOption(
        u"demo"_s, u"Count SITE at start when no primary site is set."_s, u"SITE"_s);
    parser.addOption(demoOption);
    acceptToolkitOptions(parser);
    if (const std::optional<int> status = commandLine.parse(CommandLine::arguments(argc, argv)))
        return *status;
    if (!parser.positionalArguments().isEmpty())
        return commandLine.refuse(
            u"unexpected argument '%1'"_s.arg(parser.positionalArguments().constFirst()));

    prepareGuiEnvironment();
    BrandleApp* resident = nullptr;
    QApplication app(argc, argv);
    // SIGTERM and SIGINT end the program as Exit does (without the exit sound), also when they
    // come while it starts: the socket below is removed.
    endOnTerminationSignals([&resident] {
        if (resident)
            resident->ExitApp(BrandleApp::ExitSound::Off);
        else
            QCoreApplication::exit(0);
    });
    installTranslations();
    QApplication::setApplicationName(QString(mConstants::AppTitle));
    QApplication::setApplicationVersion(QString::fromUtf8(BRANDLE_VERSION));
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(brandleIcon());

    // A second copy asks the running one to show its settings window, and ends.
    SingleInstance instance;
    if (instance.otherIsRunning())
        return 0;

    // With the default local service host and nothing there, the installed one is started; it
    // ends with Brandle.
    HostStarter serviceHost;
    serviceHost.startIfNeeded(u"brandle"_s);

    BrandleApp brandle;
    resident = &brandle;
    QObject::connect(&instance, &SingleInstance::showRequested, brandle.settings(),
                     [&brandle] { brandle.settings()->showOnTab(0); });
    brandle.OpenParlo(0, parser.value(demoOption));
    return app.exec();
}

// SPDX-License-Identifier: MIT
#include "app/BrandleApp.h"
#include "app/SingleInstance.h"
#include "desktop/GuiEnvironment.h"
#include "platform/mConstants.h"
#include "tray/TrayIcon.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QLoggingCategory>

int main(int argc, char* argv[])
{
    prepareGuiEnvironment();
    QApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false"));
    QApplication::setApplicationName(QString(mConstants::AppTitle));
    QApplication::setApplicationVersion(QStringLiteral(BRANDLE_VERSION));
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(brandleIcon());

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Brandle counts the pages that link to a web site, from the system tray."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption demoOption(
        QStringLiteral("demo"), QStringLiteral("Count SITE at start when no primary site is set."),
        QStringLiteral("SITE"));
    parser.addOption(demoOption);
    parser.process(app);

    // A second copy asks the running one to show its settings window, and ends.
    SingleInstance instance;
    if (instance.otherIsRunning())
        return 0;

    BrandleApp brandle;
    QObject::connect(&instance, &SingleInstance::showRequested, brandle.settings(),
                     [&brandle] { brandle.settings()->showOnTab(0); });
    brandle.OpenParlo(0, parser.value(demoOption));
    return app.exec();
}

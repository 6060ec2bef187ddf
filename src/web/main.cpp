// SPDX-License-Identifier: MIT
// brandle-web: the helper process that holds Brandle's web windows. The program starts it with
// one end of a private socket pair and tells it what to show; it ends when told to, or when the
// program is gone.
#include "HelperSession.h"
#include "desktop/GuiEnvironment.h"
#include "desktop/Icon.h"
#include "desktop/Translations.h"
#include "platform/mConstants.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QLoggingCategory>

#include <cstdio>

using namespace Qt::StringLiterals;
using namespace brandle;

int main(int argc, char* argv[])
{
    prepareGuiEnvironment();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts); // Qt WebEngine needs it
    QApplication app(argc, argv);
    // The scripts of a page write to their console, not to the terminal, unless asked for.
    QLoggingCategory::setFilterRules(webEngineVerbose()
                                         ? u"qt.webenginecontext.info=false"_s
                                         : u"qt.webenginecontext.info=false\njs=false"_s);
    installTranslations();
    QApplication::setApplicationName(QString(mConstants::AppTitle));
    QApplication::setApplicationVersion(QString::fromUtf8(BRANDLE_VERSION));
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(brandleIcon());

    QCommandLineParser parser;
    parser.setApplicationDescription(u"Shows Brandle's result windows; started by brandle."_s);
    parser.addHelpOption();
    const QCommandLineOption channelOption(u"channel"_s, u"The program's socket."_s, u"FD"_s);
    const QCommandLineOption protocolOption(u"protocol"_s, u"The program's protocol."_s, u"N"_s);
    parser.addOption(channelOption);
    parser.addOption(protocolOption);
    parser.process(app);

    bool ok = false;
    const qintptr socket = parser.value(channelOption).toLongLong(&ok);
    if (!ok || parser.value(protocolOption).toInt() != WebChannel::ProtocolVersion) {
        std::fprintf(stderr, "brandle-web: to be started by brandle %s\n", BRANDLE_VERSION);
        return 2;
    }

    HelperSession session(new WebChannel(socket));
    QObject::connect(&session, &HelperSession::finished, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    return app.exec();
}

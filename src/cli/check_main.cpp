// SPDX-License-Identifier: MIT
// brandle-check: counts the links to sites from the command line, as the tray program does,
// with the stored settings and without windows or sound.
#include "engine/LookupRun.h"
#include "engine/Site.h"
#include "platform/Store.h"
#include "platform/StoreKeys.h"
#include "platform/Xml.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

namespace {

enum ExitStatus { Done = 0, Failed = 1, NotActive = 2, Unreachable = 3 };

void print(FILE* stream, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fputc('\n', stream);
}

QString changeWord(const QString& code)
{
    if (code == QLatin1String("1"))
        return QStringLiteral("up");
    if (code == QLatin1String("2"))
        return QStringLiteral("down");
    return QStringLiteral("=");
}

// Prints the notice of the service host instead of showing it.
class ConsoleUi final : public LookupUi {
public:
    void showNotice(const ServiceNotice& notice) override
    {
        print(stderr, notice.title + QLatin1String(": ") + notice.text);
    }
};

// The engine rows and the total of the result document inside the merged document.
void printTable(const QString& site, const QString& merged, const QString& pagePath)
{
    const XmlDocument doc = XmlDocument::parse(merged);
    const XmlNode results = doc.firstElement(QStringLiteral("Results"));
    QList<QStringList> rows;
    for (const XmlNode& engine : results.childNodes()) {
        if (!engine.isElement())
            continue;
        rows.append({engine.firstElement(QStringLiteral("Name")).text(),
                     engine.firstElement(QStringLiteral("Count")).text(),
                     changeWord(engine.firstElement(QStringLiteral("Fluctuation")).text())});
    }
    rows.append({QStringLiteral("Total"), results.attribute(QStringLiteral("Total")),
                 changeWord(results.attribute(QStringLiteral("Fluctuation")))});

    qsizetype nameWidth = 6;
    qsizetype countWidth = 5;
    for (const QStringList& row : rows) {
        nameWidth = qMax(nameWidth, row.at(0).size());
        countWidth = qMax(countWidth, row.at(1).size());
    }
    print(stdout, site);
    print(stdout, QStringLiteral("  %1  %2  %3")
                      .arg(QStringLiteral("Engine"), -int(nameWidth))
                      .arg(QStringLiteral("Count"), int(countWidth))
                      .arg(QStringLiteral("Change")));
    for (const QStringList& row : rows)
        print(stdout, QStringLiteral("  %1  %2  %3")
                          .arg(row.at(0), -int(nameWidth))
                          .arg(row.at(1), int(countWidth))
                          .arg(row.at(2)));
    print(stdout, QStringLiteral("  Page: ") + pagePath);
}

int checkSite(const QString& typed)
{
    const QString site = siteForLookup(typed);
    clsProps props;
    props.setLogging(GetAppSetting(StoreKeys::SectionApp, StoreKeys::Logging));
    ConsoleUi ui;
    const LookupOutcome outcome = RunLookup(site, props, ui);
    switch (outcome.kind) {
    case LookupOutcome::Kind::PageWritten:
        printTable(site, props.XMLSchema(), outcome.pagePath);
        return Done;
    case LookupOutcome::Kind::Error:
        print(stderr, site + QLatin1String(": ") + outcome.error->userText());
        return Failed;
    case LookupOutcome::Kind::ServiceRefused:
        print(stderr, site + QLatin1String(": the service is not active now"));
        return NotActive;
    case LookupOutcome::Kind::ServiceUnreachable:
        print(stderr, site + QLatin1String(": the service host could not be reached"));
        return Unreachable;
    case LookupOutcome::Kind::DownloadFailure:
        print(stderr, site + QLatin1String(": the engine \"") + outcome.query.failedEngine +
                          QLatin1String("\" could not be reached"));
        return Unreachable;
    }
    return Failed;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("brandle-check"));
    QCoreApplication::setApplicationVersion(QStringLiteral(BRANDLE_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Counts the pages that link to each SITE, as Brandle does, and prints "
                       "the counts.\nExit status: 0 done, 1 error, 2 service not active, "
                       "3 an engine or the service host could not be reached."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption hostOption(QStringLiteral("host"),
                                        QStringLiteral("The service host to ask."),
                                        QStringLiteral("HOST:PORT"));
    parser.addOption(hostOption);
    parser.addPositionalArgument(QStringLiteral("SITE"),
                                 QStringLiteral("A site, e.g. example.com."),
                                 QStringLiteral("SITE..."));
    parser.process(app);

    if (parser.isSet(hostOption))
        qputenv("BRANDLE_SERVICE_HOST", parser.value(hostOption).toUtf8());
    const QStringList sites = parser.positionalArguments();
    if (sites.isEmpty()) {
        print(stderr, QStringLiteral("brandle-check: give at least one SITE (see --help)"));
        return Failed;
    }
    int status = Done;
    for (const QString& site : sites)
        status = qMax(status, checkSite(site));
    return status;
}

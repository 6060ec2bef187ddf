// SPDX-License-Identifier: MIT
// brandle-check: counts the links to sites from the command line, as the tray program does,
// with the stored settings and without windows or sound.
#include "engine/LookupRun.h"
#include "platform/Address.h"
#include "platform/CommandLine.h"
#include "platform/HostStarter.h"
#include "platform/Xml.h"
#include "settings/Config.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

using namespace Qt::StringLiterals;
using namespace brandle;

namespace {

enum ExitStatus { Done = 0, Failed = 1, NotActive = 2, Unreachable = 3, NoCount = 5 };

// The status of several sites: the worst failure; else 5 when some engine gave no count.
int combined(int a, int b)
{
    const auto failure = [](int s) {
        return s != Done && s != NoCount;
    };
    if (failure(a) || failure(b))
        return qMax(failure(a) ? a : Done, failure(b) ? b : Done);
    return qMax(a, b);
}

void print(FILE* stream, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fputc('\n', stream);
}

QString changeWord(const QString& code)
{
    if (code == "1"_L1)
        return u"up"_s;
    if (code == "2"_L1)
        return u"down"_s;
    return u"="_s;
}

bool isOne(const QString& value)
{
    return value == "1"_L1;
}

// Prints the notice of the service host instead of showing it.
class ConsoleUi final : public LookupUi {
public:
    void showNotice(const ServiceNotice& notice) override
    {
        print(stderr, notice.title + ": "_L1 + notice.text);
    }
};

// The engine rows and the total of the lookup's own result document. An engine without a count
// says why in its Change column; a count or total that was not compared says so.
void printTable(const QString& site, const QString& resultDocument, const QString& pagePath)
{
    const XmlDocument doc = XmlDocument::parse(resultDocument);
    const XmlNode results = doc.root();
    QList<QStringList> rows;
    bool engineCompared = false;
    for (const XmlNode& engine : results.childNodes()) {
        if (!engine.isElement())
            continue;
        const QString name = engine.firstElement(u"Name"_s).text();
        if (isOne(engine.attribute(u"NoCount"_s))) {
            rows.append({name, u"no count"_s, engine.attribute(u"Reason"_s)});
            continue;
        }
        const bool compared = engine.attribute(u"Compared"_s) != "0"_L1;
        engineCompared = engineCompared || compared;
        rows.append({name, engine.firstElement(u"Count"_s).text(),
                     compared ? changeWord(engine.firstElement(u"Fluctuation"_s).text())
                              : u"first count"_s});
    }
    if (isOne(results.attribute(u"NoCount"_s)))
        rows.append({u"Total"_s, u"no count"_s, QString()});
    else if (results.attribute(u"Compared"_s) == "0"_L1)
        rows.append({u"Total"_s, results.attribute(u"Total"_s),
                     engineCompared ? u"not compared"_s : u"first count"_s});
    else
        rows.append({u"Total"_s, results.attribute(u"Total"_s),
                     changeWord(results.attribute(u"Fluctuation"_s))});

    qsizetype nameWidth = 6;
    qsizetype countWidth = 5;
    for (const QStringList& row : rows) {
        nameWidth = qMax(nameWidth, row.at(0).size());
        countWidth = qMax(countWidth, row.at(1).size());
    }
    const auto line = [&](const QString& name, const QString& count, const QString& change) {
        QString text =
            u"  %1  %2  %3"_s.arg(name, -int(nameWidth)).arg(count, int(countWidth)).arg(change);
        while (text.endsWith(u' '))
            text.chop(1);
        print(stdout, text);
    };
    print(stdout, site);
    line(u"Engine"_s, u"Count"_s, u"Change"_s);
    for (const QStringList& row : rows)
        line(row.at(0), row.at(1), row.at(2));
    print(stdout, u"  Page: "_s + pagePath);
}

int checkSite(const QString& typed)
{
    const QString site = siteForLookup(typed);
    clsProps props;
    props.setLogging(Config::text(Setting::Logging));
    ConsoleUi ui;
    const LookupOutcome outcome = RunLookup(site, props, ui);
    switch (outcome.kind) {
    case LookupOutcome::Kind::PageWritten:
        printTable(site, outcome.resultDocument, outcome.pagePath);
        return outcome.query.partial ? NoCount : Done;
    case LookupOutcome::Kind::Error:
        print(stderr, site + ": "_L1 + outcome.error->userText());
        return Failed;
    case LookupOutcome::Kind::ServiceRefused:
        print(stderr, site + ": the service is not active now"_L1);
        return NotActive;
    case LookupOutcome::Kind::ServiceUnreachable:
        print(stderr, site + ": the service host could not be reached"_L1);
        return Unreachable;
    case LookupOutcome::Kind::DownloadFailure:
        print(stderr, site + ": the engine \""_L1 + outcome.query.failedEngine +
                          "\" could not be reached"_L1);
        return Unreachable;
    }
    return Failed;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"brandle-check"_s);
    QCoreApplication::setApplicationVersion(QString::fromUtf8(BRANDLE_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Counts the pages that link to each SITE as Brandle does and prints the counts.\n"
        "Exit status: 0 done, every engine counted; 1 an error; 2 the service is not active, "
        "or a command line that cannot be used; 3 an engine or the service host could not be "
        "reached; 5 done, but some engine gave no count (its row says \"no count\" and why)."_s);
    CommandLine commandLine(u"brandle-check"_s, parser);
    const QCommandLineOption hostOption(u"host"_s, u"The service host to ask."_s, u"HOST:PORT"_s);
    parser.addOption(hostOption);
    parser.addPositionalArgument(u"SITE"_s, u"A site, e.g. example.com."_s, u"SITE..."_s);
    if (const std::optional<int> status = commandLine.parse(app.arguments()))
        return *status;

    const QStringList sites = parser.positionalArguments();
    if (sites.isEmpty())
        return commandLine.refuse(u"give at least one SITE"_s);
    for (const QString& site : sites) {
        if (siteForLookup(site).isEmpty())
            return commandLine.refuse(u"not a site: '%1'"_s.arg(site));
    }
    if (parser.isSet(hostOption)) {
        if (parser.value(hostOption).trimmed().isEmpty())
            return commandLine.refuse(u"--host needs HOST:PORT"_s);
        qputenv("BRANDLE_SERVICE_HOST", parser.value(hostOption).toUtf8());
    }
    // With the default local service host and nothing there, the installed one is started for
    // this run.
    HostStarter serviceHost;
    serviceHost.startIfNeeded(u"brandle-check"_s);
    int status = Done;
    for (const QString& site : sites)
        status = combined(status, checkSite(site));
    return status;
}

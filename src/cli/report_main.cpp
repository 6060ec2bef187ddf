// SPDX-License-Identifier: MIT
// brandle-report: prints a site's daily link counts over a date range as CSV, the rows that the
// Graphs tab charts, without windows.
#include "log/LinkLog.h"
#include "platform/CommandLine.h"
#include "platform/Errors.h"
#include "reports/ReportData.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>

using namespace Qt::StringLiterals;
using namespace brandle;

namespace {

enum ExitStatus { Done = 0, Failed = 1, NoData = 4 };

void print(FILE* stream, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
}

// Whether a row of the report comes from a day with a log file: a day without one is charted as
// 0 but is no data for the site.
bool hasLoggedDay(const LinkReport& report)
{
    for (const ChartRow& row : report.rows) {
        if (QFileInfo::exists(linkLogFile(row.day)))
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"brandle-report"_s);
    QCoreApplication::setApplicationVersion(QString::fromUtf8(BRANDLE_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Prints the daily link counts of SITE from FROM to TO, as the Graphs tab charts them, "
        "as CSV: a \"date,count\" header, then one YYYY-MM-DD,count line per day with a "
        "figure (0 for a day without a log file).\n"
        "Several sites (--site A --site B, or SITE as a comma list A,B) give one column per "
        "site under a \"date,A,B\" header; --engines gives the site's total and one column per "
        "engine under a \"date,total,<engine>...\" header. A cell is empty where that series "
        "has no figure that day.\n"
        "Dates are typed as in the Graphs tab, in the locale's order (month/day/year under "
        "en-US or C, e.g. 3/1/2026), or year first (2026-03-01). The log is read from the "
        "program's folder (BRANDLE_HOME when set, else $XDG_DATA_HOME/brandle).\n"
        "Exit status: 0 rows printed, 1 invalid dates or a failed report (its \"number - "
        "description\" on standard error), 2 a command line that cannot be used, 4 no day of "
        "the range has a logged line for the sites."_s);
    CommandLine commandLine(u"brandle-report"_s, parser);
    const QCommandLineOption siteOption(
        u"site"_s,
        u"A site to report; give it once per site (at most %1)."_s.arg(LinkReportBuilder::MaxSites),
        u"SITE"_s);
    const QCommandLineOption enginesOption(
        u"engines"_s, u"Print the site's total and every engine's daily average."_s);
    parser.addOption(siteOption);
    parser.addOption(enginesOption);
    parser.addPositionalArgument(u"SITE"_s, u"The site, e.g. example.com, or sites A,B."_s,
                                 u"[SITE]"_s);
    parser.addPositionalArgument(u"FROM"_s, u"The first day."_s);
    parser.addPositionalArgument(u"TO"_s, u"The last day."_s);
    if (const std::optional<int> status = commandLine.parse(app.arguments()))
        return *status;

    QStringList args = parser.positionalArguments();
    const bool sitesByOption = parser.isSet(siteOption);
    const qsizetype wanted = sitesByOption ? 2 : 3;
    if (args.size() < wanted)
        return commandLine.refuse(u"give SITE FROM TO, or --site SITE... FROM TO"_s);
    if (args.size() > wanted)
        return commandLine.refuse(u"unexpected argument '%1'"_s.arg(args.at(wanted)));
    const QString sites = sitesByOption ? parser.values(siteOption).join(u',') : args.takeFirst();
    const ReportOptions options{parser.isSet(enginesOption), false};
    const QString refusal = LinkReportBuilder::refusal(sites, options);
    if (!refusal.isEmpty())
        return commandLine.refuse(refusal);
    const ReportRequest request = ReportParams::byDate(args.at(0), args.at(1));
    if (!request.ok()) {
        print(stderr, QString(request.message).replace("\r\n"_L1, "\n"_L1) + u'\n');
        return Failed;
    }
    try {
        const std::optional<LinkReport> report =
            LinkReportBuilder::build(sites, request.fromText, request.toText, options);
        if (!report || !hasLoggedDay(*report)) {
            print(stderr, u"brandle-report: no data for %1 from %2 to %3\n"_s.arg(
                              LinkReportBuilder::chartSites(sites).join(u','), request.fromText,
                              request.toText));
            return NoData;
        }
        print(stdout, LinkReportBuilder::csv(*report));
    } catch (const std::exception& e) {
        // A day file that cannot be read, or memory that runs out: said, never a crash.
        print(stderr, u"brandle-report: "_s + errorOf(e).userText() + u'\n');
        return Failed;
    }
    return Done;
}

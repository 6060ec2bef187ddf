// SPDX-License-Identifier: MIT
#include "TestMain.h"
#include "TestSupport.h"

#include "log/LinkLog.h"
#include "platform/LocaleText.h"
#include "platform/Paths.h"
#include "platform/mConstants.h"
#include "reports/ReportData.h"

#include <QDir>
#include <QProcess>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace brandle;

// Appends one line per entry "date site total" (entries separated by ';') to the day's file.
static void writeLog(const QString& entries)
{
    for (const QString& entry : entries.split(u';', Qt::SkipEmptyParts)) {
        const QStringList e = entry.split(u' ');
        const QString line = u"<Results Site=\"%1\" Total=\"%2\"><Engine/></Results>\r\n"_s;
        QVERIFY(writeFile(linkLogFile(LocaleText::parseDate(e[0])), line.arg(e[1], e[2]).toUtf8(),
                          true));
    }
}

static QString scaleText(const AxisScale& s)
{
    return u"%1..%2/%3"_s.arg(s.minimum).arg(s.maximum).arg(s.majorDivision);
}

static const QString InvalidDates = u"The dates you entered are either blank or invalid.\r\nThe "
                                    "required date format is MM/DD/YYYY for this report type "
                                    "selection."_s;

class TestReportData : public QObject {
    Q_OBJECT
private slots:
    void init() { QDir(Paths::inProgramFolder(mConstants::LogFolderName)).removeRecursively(); }

    // "By Date" gives the texts or a message; "By Month" gives the month's first and last day.
    void requests_data()
    {
        QTest::addColumn<QString>("from"); // "month:row"
        QTest::addColumn<QString>("to");   // or today
        QTest::addColumn<QString>("result");
        // clang-format off
        QTest::newRow("across a year end") << "12/31/2003" << "1/1/2004" << "12/31/2003 - 1/1/2004";
        QTest::newRow("reversed by year") << "1/1/2004" << "12/31/2003"
                                          << "To date cannot exceed the from date.";
        QTest::newRow("blank to-date") << "1/1/2004" << "" << InvalidDates;
        QTest::newRow("February 2004") << "month:2" << "6/1/2004" << "2/1/2004 - 2/29/2004";
        QTest::newRow("February 2003") << "month:2" << "6/1/2003" << "2/1/2003 - 2/28/2003";
        QTest::newRow("a month ahead") << "month:12" << "5/15/2026" << "12/1/2026 - 12/31/2026";
        // clang-format on
    }
    void requests()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, result);
        const ReportRequest r =
            from.startsWith(u"month:"_s)
                ? ReportParams::byMonth(from.mid(6).toInt(), LocaleText::parseDate(to))
                : ReportParams::byDate(from, to);
        QCOMPARE(r.ok() ? r.fromText + u" - "_s + r.toText : r.message, result);
    }

    void report_data()
    {
        QTest::addColumn<QString>("request"); // the Graph URL, the from-date and the to-date
        QTest::addColumn<QString>("log");
        QTest::addColumn<QString>("chart"); // the rows | the Y scale; "" when nothing is charted
        // clang-format off
        QTest::newRow("one day, 10 and 13 give 12") << "a.com 3/1/2004 3/1/2004"
            << "3/1/2004 a.com 10;3/1/2004 a.com 13" << "030104:12 | 11..13/5";
        QTest::newRow("middle day holds another site") << "a.com 3/1/2004 3/5/2004"
            << "3/3/2004 b.com 50" << "030104:0 030204:0 030404:0 030504:0 | 0..1/1";
        QTest::newRow("no day has the site") << "a.com 3/1/2004 3/1/2004" << "3/1/2004 b.com 5" << "";
        QTest::newRow("zeros below the positive minimum") << "a.com 3/1/2004 3/3/2004"
            << "3/2/2004 a.com 100;3/3/2004 a.com 1,000"
            << "030104:0 030204:100 030304:1000 | 90..1100/10";
        QTest::newRow("5 alone, halves to even") << "a.com 3/1/2004 3/1/2004" << "3/1/2004 a.com 5"
            << "030104:5 | 4..6/5";
        QTest::newRow("1,000 alone, 8 divisions") << "a.com 3/1/2004 3/1/2004"
            << "3/1/2004 a.com 1,000" << "030104:1000 | 900..1100/8";
        QTest::newRow("32-bit counts, scale beyond") << "a.com 3/1/2004 3/2/2004"
            << "3/1/2004 a.com 2,000,000,000;3/2/2004 a.com 2,147,483,647"
            << "030104:2000000000 030204:2147483647 | 1800000000..2362232012/5";
        QTest::newRow("Graph URL normalised") << " HTTP://A.com  3/1/2004 3/2/2004"
            << "3/1/2004 a.com 7;3/2/2004 b.com 9" << "030104:7 | 6..8/5";
        // clang-format on
    }
    void report()
    {
        QFETCH(QString, request);
        QFETCH(QString, log);
        QFETCH(QString, chart);
        writeLog(log);
        const QString graphUrl = request.section(u' ', 0, -3);
        const std::optional<LinkReport> r = LinkReportBuilder::build(
            graphUrl, request.section(u' ', -2, -2), request.section(u' ', -1));
        QStringList got;
        for (const ChartRow& row : r ? r->rows : QList<ChartRow>())
            got << row.label + u':' + QString::number(row.count);
        if (r)
            got << u"|"_s << scaleText(r->yScale);
        QCOMPARE(got.join(u' '), chart);
        QCOMPARE(r ? r->title : graphUrl, graphUrl);
    }

    // brandle-report reads the same log: exit status, standard output and standard error.
    void command_data()
    {
        QTest::addColumn<QString>("args");
        QTest::addColumn<QString>("result");
        // clang-format off
        QTest::newRow("rows") << "Example.com 3/1/2004 3/03/2004"
                              << "0|date,count\n2004-03-01,12\n2004-03-02,0\n|";
        QTest::newRow("invalid date") << "example.com 3/1/2004 3/32/2004"
                                      << u"1||"_s + QString(InvalidDates).remove(u'\r') + u'\n';
        QTest::newRow("no data") << "example.com 3/3/2004 3/3/2004"
            << "4||brandle-report: no data for example.com from 3/3/2004 to 3/3/2004\n";
        // clang-format on
    }
    void command()
    {
        QFETCH(QString, args);
        QFETCH(QString, result);
        writeLog(u"3/1/2004 example.com 10;3/1/2004 example.com 13;3/3/2004 other.com 4"_s);
        QProcess process;
        process.start(QString::fromUtf8(BRANDLE_REPORT_BIN), args.split(u' '));
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(u"%1|%2|%3"_s.arg(QString::number(process.exitCode()),
                                   QString::fromUtf8(process.readAllStandardOutput()),
                                   QString::fromUtf8(process.readAllStandardError())),
                 result);
    }
};
BRANDLE_TEST(TestReportData)

#include "tst_reportdata.moc"

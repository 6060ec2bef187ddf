// SPDX-License-Identifier: MIT
#include "TestMain.h"

#include "platform/LocaleText.h"
#include "platform/Paths.h"
#include "platform/mConstants.h"
#include "reports/ReportData.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

// Appends one line per entry "date site total" (entries separated by ';') to the day's file.
static void writeLog(const QString& entries)
{
    const QString folder = Paths::inProgramFolder(mConstants::LogFolderName);
    QDir().mkpath(folder);
    for (const QString& entry : entries.split(u';', Qt::SkipEmptyParts)) {
        const QStringList e = entry.split(u' ');
        QFile file(folder + u'/' + LocaleText::mmddyy(LocaleText::parseDate(e[0])) +
                   mConstants::LogFileSuffix);
        QVERIFY(file.open(QIODevice::Append));
        file.write(u"<Results Site=\"%1\" Total=\"%2\"><Engine/></Results>\r\n"_s.arg(e[1], e[2])
                       .toUtf8());
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

    void valueScale_data()
    {
        QTest::addColumn<int>("lowest");
        QTest::addColumn<int>("highest");
        QTest::addColumn<QString>("scale");
        // clang-format off
        QTest::newRow("120/150") << 120 << 150 << "108..165/5";
        QTest::newRow("100/200") << 100 << 200 << "90..220/10";
        QTest::newRow("1000/1000") << 1000 << 1000 << "900..1100/8";
        QTest::newRow("5/5, halves to even") << 5 << 5 << "4..6/5";
        QTest::newRow("all zero") << 0 << 0 << "0..0/6";
        QTest::newRow("32-bit limit") << 2000000000 << 2147483647 << "1800000000..2362232012/5";
        // clang-format on
    }
    void valueScale()
    {
        QFETCH(int, lowest);
        QFETCH(int, highest);
        QFETCH(QString, scale);
        QCOMPARE(scaleText(LinkReportBuilder::valueScale(lowest, highest)), scale);
    }

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
        QTest::addColumn<QString>("graphUrl");
        QTest::addColumn<QString>("range");
        QTest::addColumn<QString>("log");
        QTest::addColumn<QString>("rows"); // "" when nothing is charted
        QTest::addColumn<QString>("scale");
        // clang-format off
        QTest::newRow("one day, 10 and 13 give 12") << "a.com" << "3/1/2004 3/1/2004"
            << "3/1/2004 a.com 10;3/1/2004 a.com 13" << "030104:12" << "11..13/5";
        QTest::newRow("middle day holds another site") << "a.com" << "3/1/2004 3/5/2004"
            << "3/3/2004 b.com 50" << "030104:0 030204:0 030404:0 030504:0" << "0..1/1";
        QTest::newRow("no day has the site") << "a.com" << "3/1/2004 3/1/2004"
            << "3/1/2004 b.com 5" << "" << "";
        QTest::newRow("zeros below the positive minimum") << "a.com" << "3/1/2004 3/3/2004"
            << "3/2/2004 a.com 100;3/3/2004 a.com 1,000" << "030104:0 030204:100 030304:1000"
            << "90..1100/10";
        QTest::newRow("Graph URL normalised") << " HTTP://A.com " << "3/1/2004 3/2/2004"
            << "3/1/2004 a.com 7;3/2/2004 b.com 9" << "030104:7" << "6..8/5";
        // clang-format on
    }
    void report()
    {
        QFETCH(QString, graphUrl);
        QFETCH(QString, range);
        QFETCH(QString, log);
        QFETCH(QString, rows);
        QFETCH(QString, scale);
        writeLog(log);
        const QStringList dates = range.split(u' ');
        const std::optional<LinkReport> r = LinkReportBuilder::build(graphUrl, dates[0], dates[1]);
        QCOMPARE(r.has_value(), !rows.isEmpty());
        if (!r)
            return;
        QStringList got;
        for (const ChartRow& row : r->rows)
            got << row.label + u':' + QString::number(row.count);
        QCOMPARE(got.join(u' '), rows);
        QCOMPARE(scaleText(r->yScale), scale);
        QCOMPARE(r->title, graphUrl);
    }

    // brandle-report reads the same log: CSV rows and its exit statuses.
    void command_data()
    {
        QTest::addColumn<QString>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err"); // the start of standard error, "" for none
        // clang-format off
        QTest::newRow("rows") << "Example.com 3/1/2004 3/03/2004" << 0
                              << "date,count\n2004-03-01,12\n2004-03-02,0\n" << "";
        QTest::newRow("invalid date") << "example.com 3/1/2004 3/32/2004" << 1 << ""
                                      << QString(InvalidDates).remove(u'\r');
        QTest::newRow("no data") << "example.com 3/3/2004 3/3/2004" << 4 << "" << "brandle-report";
        // clang-format on
    }
    void command()
    {
        QFETCH(QString, args);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);
        writeLog(u"3/1/2004 example.com 10;3/1/2004 example.com 13;3/3/2004 other.com 4"_s);
        QProcess process;
        process.start(QStringLiteral(BRANDLE_REPORT_BIN), args.split(u' '));
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitCode(), status);
        QCOMPARE(QString::fromUtf8(process.readAllStandardOutput()), out);
        const QString stderrText = QString::fromUtf8(process.readAllStandardError());
        QVERIFY2(err.isEmpty() ? stderrText.isEmpty() : stderrText.startsWith(err),
                 qPrintable(stderrText));
    }
};
BRANDLE_TEST(TestReportData)

#include "tst_reportdata.moc"

// SPDX-License-Identifier: MIT
#include "TestMain.h"
#include "TestSupport.h"

#include "log/LinkLog.h"
#include "platform/LocaleText.h"
#include "platform/Paths.h"
#include "platform/mConstants.h"
#include "reports/ReportData.h"

#include <QDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace brandle;

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
        QTest::addColumn<QString>("graphUrl");
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QDate>("to");
        QTest::addColumn<LoggedTotals>("log");
        QTest::addColumn<QStringList>("rows"); // label:count; none when nothing is charted
        QTest::addColumn<QString>("scale");    // the Y axis: minimum..maximum/major divisions
        const QDate d1(2004, 3, 1), d2(2004, 3, 2), d3(2004, 3, 3), d5(2004, 3, 5);
        const QString a = u"a.com"_s;
        // clang-format off
        QTest::newRow("one day, 10 and 13 give 12") << a << d1 << d1
            << LoggedTotals{{d1, a, u"10"_s}, {d1, a, u"13"_s}}
            << QStringList{u"030104:12"_s} << "11..13/5";
        QTest::newRow("middle day holds another site") << a << d1 << d5
            << LoggedTotals{{d3, u"b.com"_s, u"50"_s}}
            << QStringList{u"030104:0"_s, u"030204:0"_s, u"030404:0"_s, u"030504:0"_s} << "0..1/1";
        QTest::newRow("no day has the site") << a << d1 << d1
            << LoggedTotals{{d1, u"b.com"_s, u"5"_s}} << QStringList() << "";
        QTest::newRow("zeros below the positive minimum") << a << d1 << d3
            << LoggedTotals{{d2, a, u"100"_s}, {d3, a, u"1,000"_s}}
            << QStringList{u"030104:0"_s, u"030204:100"_s, u"030304:1000"_s} << "90..1100/10";
        QTest::newRow("5 alone, halves to even") << a << d1 << d1 << LoggedTotals{{d1, a, u"5"_s}}
            << QStringList{u"030104:5"_s} << "4..6/5";
        QTest::newRow("1,000 alone, 8 divisions") << a << d1 << d1
            << LoggedTotals{{d1, a, u"1,000"_s}} << QStringList{u"030104:1000"_s} << "900..1100/8";
        QTest::newRow("32-bit counts, scale beyond") << a << d1 << d2
            << LoggedTotals{{d1, a, u"2,000,000,000"_s}, {d2, a, u"2,147,483,647"_s}}
            << QStringList{u"030104:2000000000"_s, u"030204:2147483647"_s}
            << "1800000000..2362232012/5";
        QTest::newRow("Graph URL normalised") << " HTTP://A.com " << d1 << d2
            << LoggedTotals{{d1, a, u"7"_s}, {d2, u"b.com"_s, u"9"_s}}
            << QStringList{u"030104:7"_s} << "6..8/5";
        // clang-format on
    }
    void report()
    {
        QFETCH(QString, graphUrl);
        QFETCH(QDate, from);
        QFETCH(QDate, to);
        QFETCH(LoggedTotals, log);
        QFETCH(QStringList, rows);
        QFETCH(QString, scale);
        QVERIFY(writeLog(log));
        const std::optional<LinkReport> r = LinkReportBuilder::build(
            graphUrl, from.toString(u"M/d/yyyy"_s), to.toString(u"M/d/yyyy"_s));
        QStringList got;
        for (const ChartRow& row : r ? r->rows : QList<ChartRow>())
            got << row.label + u':' + QString::number(row.count());
        QCOMPARE(got, rows);
        QCOMPARE(r ? scaleText(r->yScale) : QString(), scale);
        QCOMPARE(r ? r->title : graphUrl, graphUrl);
    }

    // Several sites, or a site by engine: one column per series, an empty cell where a series
    // has no figure that day, the Y scale over every series.
    void series_data()
    {
        QTest::addColumn<QString>("graphUrl");
        QTest::addColumn<bool>("byEngine");
        QTest::addColumn<bool>("leaveOut");
        QTest::addColumn<LoggedTotals>("log");
        QTest::addColumn<QString>("csv");
        QTest::addColumn<QString>("scale");
        const QDate d1(2004, 3, 1), d2(2004, 3, 2), d3(2004, 3, 3);
        const QString a = u"a.com"_s, b = u"b.com"_s;
        const LoggedTotals twoSites{{d1, a, u"10"_s}, {d1, b, u"20"_s}, {d3, a, u"30"_s}};
        const auto engine = [](const char* name, const char* count, bool noCount = false) {
            return LoggedEngine{QLatin1StringView(name), QLatin1StringView(count), noCount};
        };
        // clang-format off
        QTest::newRow("two sites, a day without a log")
            << "a.com, HTTP://B.com,a.com" << false << false << twoSites
            << "date,a.com,b.com\n2004-03-01,10,20\n2004-03-02,0,0\n2004-03-03,30,\n"
            << "9..33/6";
        QTest::newRow("two sites, days without a log left out")
            << "a.com,b.com" << false << true << twoSites
            << "date,a.com,b.com\n2004-03-01,10,20\n2004-03-03,30,\n" << "9..33/6";
        QTest::newRow("one site keeps its header") << "a.com" << false << true << twoSites
            << "date,count\n2004-03-01,10\n2004-03-03,30\n" << "9..33/6";
        QTest::newRow("by engine")
            << "a.com" << true << false
            << LoggedTotals{{d1, a, u"300"_s, {engine("A", "100"), engine("B", "200")}},
                            {d1, a, u"110"_s, {engine("A", "110"), engine("B", "", true)}, true},
                            {d3, a, u"57"_s, {engine("A", "50"), engine("C, Inc.", "7")}}}
            << "date,total,A,B,\"C, Inc.\"\n2004-03-01,300,105,200,\n2004-03-02,0,,,\n"
               "2004-03-03,57,50,,7\n"
            << "6..330/6";
        // clang-format on
    }
    void series()
    {
        QFETCH(QString, graphUrl);
        QFETCH(bool, byEngine);
        QFETCH(bool, leaveOut);
        QFETCH(LoggedTotals, log);
        QFETCH(QString, csv);
        QFETCH(QString, scale);
        QVERIFY(writeLog(log));
        const std::optional<LinkReport> r =
            LinkReportBuilder::build(graphUrl, u"3/1/2004"_s, u"3/3/2004"_s, {byEngine, leaveOut});
        QVERIFY(r);
        QCOMPARE(LinkReportBuilder::csv(*r), csv);
        QCOMPARE(scaleText(r->yScale), scale);
        QCOMPARE(r->hasLegend(), csv.count(u',') > csv.count(u'\n'));
    }

    void refusal_data()
    {
        QTest::addColumn<QString>("graphUrl");
        QTest::addColumn<bool>("byEngine");
        QTest::addColumn<QString>("message");
        // clang-format off
        QTest::newRow("five sites") << "a,b,c,d,e" << false << "";
        QTest::newRow("six sites") << "a,b,c,d,e,f" << false
            << "Give at most 5 sites, separated by commas.";
        QTest::newRow("a repeat is one site") << "a,b,c,d,e,HTTP://A" << false << "";
        QTest::newRow("one site by engine") << "a.com," << true << "";
        QTest::newRow("two sites by engine") << "a.com,b.com" << true
            << "A chart by engine shows one site: give only one.";
        // clang-format on
    }
    void refusal()
    {
        QFETCH(QString, graphUrl);
        QFETCH(bool, byEngine);
        QFETCH(QString, message);
        QCOMPARE(LinkReportBuilder::refusal(graphUrl, {byEngine, false}), message);
    }
};
BRANDLE_TEST(TestReportData)

#include "tst_reportdata.moc"

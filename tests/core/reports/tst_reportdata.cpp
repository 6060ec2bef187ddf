// SPDX-License-Identifier: MIT
#include "TestMain.h"
#include "TestSupport.h"

#include "platform/LocaleText.h"
#include "platform/Paths.h"
#include "platform/mConstants.h"
#include "reports/ReportData.h"

#include <QDir>
#include <QTest>

using namespace brandle;

Q_DECLARE_METATYPE(brandle::ReportOptions)

class TestReportData : public QObject {
    Q_OBJECT
private slots:
    void init() { QDir(Paths::inProgramFolder(mConstants::LogFolderName)).removeRecursively(); }

    // "By Date" gives the texts or a message; "By Month" gives the month's first and last day.
    void requests_data()
    {
        QTest::addColumn<int>("month"); // a row of the month list; 0: by date
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to"); // by month: today
        QTest::addColumn<QString>("result");
        // clang-format off
        QTest::newRow("across a year end") << 0 << "12/31/2003" << "1/1/2004" << "12/31/2003 - 1/1/2004";
        QTest::newRow("reversed by year") << 0 << "1/1/2004" << "12/31/2003"
                                          << "To date cannot exceed the from date.";
        QTest::newRow("blank to-date") << 0 << "1/1/2004" << "" << "The dates you entered are "
            "either blank or invalid.\r\nThe required date format is MM/DD/YYYY for this report "
            "type selection.";
        QTest::newRow("February 2004") << 2 << "" << "6/1/2004" << "2/1/2004 - 2/29/2004";
        QTest::newRow("February 2003") << 2 << "" << "6/1/2003" << "2/1/2003 - 2/28/2003";
        QTest::newRow("a month ahead") << 12 << "" << "5/15/2026" << "12/1/2026 - 12/31/2026";
        // clang-format on
    }
    void requests()
    {
        QFETCH(int, month);
        QFETCH(QString, from);
        QFETCH(QString, to);
        const ReportRequest r = month ? ReportParams::byMonth(month, LocaleText::parseDate(to))
                                      : ReportParams::byDate(from, to);
        QTEST(r.ok() ? r.fromText + u" - "_s + r.toText : r.message, "result");
    }

    // A row per day (0: no log file; none: no figure), a column per series, the Y scale; a
    // request of too many sites is refused.
    void report_data()
    {
        QTest::addColumn<QString>("graphUrl");
        QTest::addColumn<QDate>("to"); // from 3/1/2004
        QTest::addColumn<ReportOptions>("options");
        QTest::addColumn<LoggedTotals>("log");
        QTest::addColumn<QString>("csv"); // "": no report
        QTest::addColumn<QString>("scale");
        QTest::addColumn<QString>("refusal"); // of the request, said instead of a chart
        const QDate d1(2004, 3, 1), d2(2004, 3, 2), d3(2004, 3, 3), d5(2004, 3, 5);
        const QString a = u"a.com"_s, b = u"b.com"_s;
        const LoggedTotals twoSites{{d1, a, u"10"_s}, {d1, b, u"20"_s}, {d3, a, u"30"_s}};
        const auto engine = [](const char* name, const char* count, bool noCount = false) {
            return LoggedEngine{QLatin1StringView(name), QLatin1StringView(count), noCount};
        };
        const ReportOptions plain, leaveOut{false, true};
        // clang-format off
        QTest::newRow("one day, 10 and 13 give 12") << a << d1 << plain
            << LoggedTotals{{d1, a, u"10"_s}, {d1, a, u"13"_s}} << "date,count\n2004-03-01,12\n"
            << "11..13/5" << "";
        QTest::newRow("middle day holds another site") << a << d5 << plain
            << LoggedTotals{{d3, b, u"50"_s}}
            << "date,count\n2004-03-01,0\n2004-03-02,0\n2004-03-04,0\n2004-03-05,0\n" << "0..1/1" << "";
        QTest::newRow("no day has the site") << a << d1 << plain << LoggedTotals{{d1, b, u"5"_s}}
            << "" << "" << "";
        QTest::newRow("zeros below the positive minimum") << a << d3 << plain
            << LoggedTotals{{d2, a, u"100"_s}, {d3, a, u"1,000"_s}}
            << "date,count\n2004-03-01,0\n2004-03-02,100\n2004-03-03,1000\n" << "90..1100/10" << "";
        QTest::newRow("5 alone, halves to even") << a << d1 << plain << LoggedTotals{{d1, a, u"5"_s}}
            << "date,count\n2004-03-01,5\n" << "4..6/5" << "";
        QTest::newRow("1,000 alone, 8 divisions") << a << d1 << plain
            << LoggedTotals{{d1, a, u"1,000"_s}} << "date,count\n2004-03-01,1000\n" << "900..1100/8" << "";
        QTest::newRow("32-bit counts, scale beyond") << a << d2 << plain
            << LoggedTotals{{d1, a, u"2,000,000,000"_s}, {d2, a, u"2,147,483,647"_s}}
            << "date,count\n2004-03-01,2000000000\n2004-03-02,2147483647\n"
            << "1800000000..2362232012/5" << "";
        QTest::newRow("two sites, a day without a log")
            << "a.com, HTTP://B.com,a.com" << d3 << plain << twoSites
            << "date,a.com,b.com\n2004-03-01,10,20\n2004-03-02,0,0\n2004-03-03,30,\n" << "9..33/6" << "";
        QTest::newRow("two sites, days without a log left out") << "a.com,b.com" << d3 << leaveOut
            << twoSites << "date,a.com,b.com\n2004-03-01,10,20\n2004-03-03,30,\n" << "9..33/6" << "";
        // Engines of another site, NoCount and a count that is no number add nothing.
        QTest::newRow("by engine, one site and an empty part") << "a.com," << d3 << ReportOptions{true, false}
            << LoggedTotals{{d1, a, u"300"_s, {engine("A", "100"), engine("B", "200")}},
                            {d1, a, u"110"_s, {engine("A", "110"), engine("B", "", true)}, true},
                            {d1, b, u"999"_s, {engine("A", "999"), engine("Z", "1")}},
                            {d3, a, u"57"_s, {engine("A", "50"), engine("C, Inc.", "7")}},
                            {d3, a, u"57"_s, {engine("A", "n/a"), engine("C, Inc.", "7")}}}
            << "date,total,A,B,\"C, Inc.\"\n2004-03-01,300,105,200,\n2004-03-02,0,,,\n"
               "2004-03-03,57,50,,7\n"
            << "6..330/6" << "";
        QTest::newRow("five sites") << "a,b,c,d,e" << d1 << plain << LoggedTotals()
            << "date,a,b,c,d,e\n2004-03-01,0,0,0,0,0\n" << "0..1/1" << "";
        QTest::newRow("six sites") << "a,b,c,d,e,f" << d1 << plain << LoggedTotals()
            << "date,a,b,c,d,e,f\n2004-03-01,0,0,0,0,0,0\n" << "0..1/1"
            << "Give at most 5 sites, separated by commas.";
        QTest::newRow("two sites by engine") << "a.com,b.com" << d1 << ReportOptions{true, false}
            << LoggedTotals() << "date,total\n2004-03-01,0\n" << "0..1/1"
            << "A chart by engine shows one site: give only one.";
        // clang-format on
    }
    void report()
    {
        QFETCH(QString, graphUrl);
        QFETCH(QDate, to);
        QFETCH(ReportOptions, options);
        QFETCH(LoggedTotals, log);
        QFETCH(QString, csv);
        QTEST(LinkReportBuilder::refusal(graphUrl, options), "refusal");
        QVERIFY(writeLog(log));
        const std::optional<LinkReport> r =
            LinkReportBuilder::build(graphUrl, u"3/1/2004"_s, to.toString(u"M/d/yyyy"_s), options);
        QCOMPARE(r ? LinkReportBuilder::csv(*r) : QString(), csv);
        QTEST(r ? u"%1..%2/%3"_s.arg(r->yScale.minimum)
                      .arg(r->yScale.maximum)
                      .arg(r->yScale.majorDivision)
                : QString(),
              "scale");
        QCOMPARE(r ? r->title : graphUrl, graphUrl);
        QCOMPARE(r && r->hasLegend(), csv.count(u',') > csv.count(u'\n'));
        for (const ChartRow& row : r ? r->rows : QList<ChartRow>())
            QCOMPARE(row.label, LocaleText::mmddyy(row.day));
    }
};
BRANDLE_TEST(TestReportData)

#include "tst_reportdata.moc"

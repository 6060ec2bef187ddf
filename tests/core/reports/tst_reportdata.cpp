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
            got << row.label + u':' + QString::number(row.count);
        QCOMPARE(got, rows);
        QCOMPARE(r ? scaleText(r->yScale) : QString(), scale);
        QCOMPARE(r ? r->title : graphUrl, graphUrl);
    }
};
BRANDLE_TEST(TestReportData)

#include "tst_reportdata.moc"

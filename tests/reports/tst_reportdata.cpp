// SPDX-License-Identifier: MIT
#include "TestMain.h"
#include "TestSupport.h"

#include "log/LinkLog.h"
#include "platform/Errors.h"
#include "platform/LocaleText.h"
#include "platform/Paths.h"
#include "platform/mConstants.h"
#include "reports/ReportData.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

QString logFolder()
{
    return Paths::inProgramFolder(mConstants::LogFolderName);
}

// Writes day files from a description such as "3/1/2004=a.com:10+a.com:13;3/3/2004=b.com:5"
// (nothing after "=" makes an empty file).
void writeLog(const QString& description, const QString& folder = logFolder())
{
    QDir().mkpath(folder);
    for (const QString& day : description.split(u';', Qt::SkipEmptyParts)) {
        const QStringList parts = day.split(u'=');
        QFile file(folder + u'/' + LocaleText::mmddyy(LocaleText::parseDate(parts.at(0))) +
                   mConstants::LogFileSuffix);
        QVERIFY(file.open(QIODevice::WriteOnly));
        for (const QString& entry : parts.at(1).split(u'+', Qt::SkipEmptyParts)) {
            const QStringList e = entry.split(u':');
            file.write(u"<Results Site=\"%1\" Total=\"%2\" Fluctuation=\"0\" Created=\"3/1/2004 "
                       "9:00:00 AM\"><Engine><URL><![CDATA[http://e/?q=%1&n=1]]></URL></Engine>"
                       "</Results>\r\n"_s.arg(e.at(0), e.at(1))
                           .toUtf8());
        }
    }
}

QString scaleText(const AxisScale& s)
{
    return u"%1..%2/%3"_s.arg(s.minimum).arg(s.maximum).arg(s.majorDivision);
}

const QString invalidDates = u"The dates you entered are either blank or invalid.\r\nThe required "
                             "date format is MM/DD/YYYY for this report type selection."_s;

} // namespace

class TestReportData : public QObject {
    Q_OBJECT
private slots:
    void init() { QDir(logFolder()).removeRecursively(); }

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

    void dateChecks_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("message");
        const QString reversed = u"To date cannot exceed the from date."_s;
        // clang-format off
        QTest::newRow("across a year end") << "12/31/2003" << "1/1/2004" << "";
        QTest::newRow("equal, with and without zeros") << "12/05/2003" << "12/5/2003" << "";
        QTest::newRow("reversed by year, not by text") << "1/1/2004" << "12/31/2003" << reversed;
        QTest::newRow("blank to") << "1/1/2004" << "" << invalidDates;
        QTest::newRow("no such day") << "2/30/2004" << "3/1/2004" << invalidDates;
        QTest::newRow("invalid before reversed") << "5/1/2004" << "13/1/2004" << invalidDates;
        // clang-format on
    }
    void dateChecks()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, message);
        const ReportRequest r = ReportParams::byDate(from, to);
        QCOMPARE(r.message, message);
        QCOMPARE(r.fromText, message.isEmpty() ? from : QString());
        QCOMPARE(r.toText, message.isEmpty() ? to : QString());
    }

    void monthRange_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QString>("range"); // or the message
        // clang-format off
        QTest::newRow("February 2004") << 2 << QDate(2004, 6, 1) << "2/1/2004 - 2/29/2004";
        QTest::newRow("February 2003") << 2 << QDate(2003, 6, 1) << "2/1/2003 - 2/28/2003";
        QTest::newRow("February 2100") << 2 << QDate(2100, 1, 9) << "2/1/2100 - 2/28/2100";
        QTest::newRow("March 2004") << 3 << QDate(2004, 3, 9) << "3/1/2004 - 3/31/2004";
        QTest::newRow("a month ahead") << 12 << QDate(2026, 5, 15) << "12/1/2026 - 12/31/2026";
        QTest::newRow("no month") << 0 << QDate(2026, 5, 15) << "You must select a month.";
        // clang-format on
    }
    void monthRange()
    {
        QFETCH(int, row);
        QFETCH(QDate, today);
        QFETCH(QString, range);
        const ReportRequest r = ReportParams::byMonth(row, today);
        QCOMPARE(r.ok() ? r.fromText + u" - "_s + r.toText : r.message, range);
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
            << "3/1/2004=a.com:10+a.com:13" << "030104:12" << "11..13/5";
        QTest::newRow("middle day holds another site") << "a.com" << "3/1/2004 3/5/2004"
            << "3/3/2004=b.com:50" << "030104:0 030204:0 030404:0 030504:0" << "0..1/1";
        QTest::newRow("no day has the site") << "a.com" << "3/1/2004 3/2/2004"
            << "3/1/2004=b.com:5;3/2/2004=" << "" << "";
        QTest::newRow("no files at all") << "a.com" << "12/31/2003 1/2/2004"
            << "" << "123103:0 010104:0 010204:0" << "0..1/1";
        QTest::newRow("zeros below the positive minimum") << "a.com" << "3/1/2004 3/4/2004"
            << "3/2/2004=a.com:100;3/3/2004=a.com:1,000;3/4/2004=a.com:200"
            << "030104:0 030204:100 030304:1000 030404:200" << "90..1100/10";
        QTest::newRow("lowest after higher ones") << "a.com" << "3/1/2004 3/3/2004"
            << "3/1/2004=a.com:150;3/2/2004=a.com:120;3/3/2004=a.com:130"
            << "030104:150 030204:120 030304:130" << "108..165/5";
        QTest::newRow("Graph URL normalised") << " HTTP://A.com " << "3/1/2004 3/2/2004"
            << "3/1/2004=a.com:7;3/2/2004=b.com:9" << "030104:7" << "6..8/5";
        QTest::newRow("reversed range") << "a.com" << "3/2/2004 3/1/2004" << "" << "" << "";
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
        QCOMPARE(r->xAxisTitle, dates[0] + u" - "_s + dates[1]);
        QCOMPARE(r->yAxisTitle, u"Link Count"_s);
    }

    void csvOfSmallRange()
    {
        writeLog(u"2/28/2004=a.com:1,200;3/1/2004=a.com:9"_s);
        const auto r = LinkReportBuilder::build(u"a.com"_s, u"2/28/2004"_s, u"3/1/2004"_s);
        QVERIFY(r);
        QCOMPARE(LinkReportBuilder::csv(r->rows),
                 u"date,count\n2004-02-28,1200\n2004-02-29,0\n2004-03-01,9\n"_s);
    }

    void failures_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<int>("code"); // 0: charted
        QTest::newRow("not a date") << "3/x/2004"
                                    << "3/1/2004" << int(ErrorCode::TypeMismatch);
        QTest::newRow("32767 days") << "1/1/2000"
                                    << "9/16/2089" << 0;
        QTest::newRow("32768 days") << "1/1/2000"
                                    << "9/17/2089" << int(ErrorCode::Overflow);
    }
    void failures()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(int, code);
        try {
            QCOMPARE(LinkReportBuilder::build(u"a.com"_s, from, to)->rows.size(),
                     LinkReportBuilder::MaxDays);
            QCOMPARE(code, 0);
        } catch (const BrandleError& e) {
            QCOMPARE(e.number(), code);
        }
    }

    // The day reader skips lines that cannot be about the site without parsing them; every
    // spelling that the parser reads as the site must still count.
    void dayReaderSpellings_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<bool>("counts");
        // clang-format off
        QTest::newRow("single quotes") << "<Results Site='a.com'" << true;
        QTest::newRow("tab and no-break space") << "<Results Site=\"\ta.com\u00A0\"" << true;
        QTest::newRow("character reference") << "<Results Site=\"&#97;.com\"" << true;
        QTest::newRow("internal entity")
            << "<!DOCTYPE Results [<!ENTITY s \"a.c\">]><Results Site=\"&s;om\"" << true;
        QTest::newRow("longer site") << "<Results Site=\"blog.a.com\"" << false;
        QTest::newRow("site in another attribute") << "<Results Site=\"b\" X=\"a.com\"" << false;
        // clang-format on
    }
    void dayReaderSpellings()
    {
        QFETCH(QString, start);
        QFETCH(bool, counts);
        const QDate day(2004, 3, 1);
        QDir().mkpath(logFolder());
        QFile file(linkLogFile(day));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write((start + u" Total=\"40\"><Engine/></Results>\r\n"_s).toUtf8());
        file.close();
        QCOMPARE(ReadLinkLogDay(u"a.com"_s, day),
                 counts ? u"<Element><Date>030104</Date><Count>40</Count></Element>"_s : QString());
    }

    void labelStep_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("room");
        QTest::addColumn<int>("step");
        QTest::newRow("all fit") << 31 << 31 << 1;
        QTest::newRow("a quarter") << 90 << 20 << 7;
        QTest::newRow("ten years") << 3650 << 20 << 196;
    }
    void labelStep()
    {
        QFETCH(int, rows);
        QFETCH(int, room);
        QFETCH(int, step);
        QCOMPARE(LinkReportBuilder::labelStep(rows, room), step);
        QVERIFY((rows + step - 1) / step <= room);
    }
};
BRANDLE_TEST(TestReportData)

// brandle-report run as a process over a log of its own.
class TestReportCommand : public QObject {
    Q_OBJECT
private slots:
    void exitStatus_data()
    {
        QTest::addColumn<QString>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err"); // the start of standard error, "" for none
        const QString reversed = u"To date cannot exceed the from date.\n"_s;
        // clang-format off
        QTest::newRow("rows") << "Example.com 3/1/2004 3/03/2004" << 0
                              << "date,count\n2004-03-01,12\n2004-03-02,0\n" << "";
        QTest::newRow("invalid date") << "example.com 3/1/2004 3/32/2004" << 1 << ""
                                      << QString(invalidDates).remove(u'\r');
        QTest::newRow("reversed dates") << "example.com 3/2/2004 3/1/2004" << 1 << "" << reversed;
        QTest::newRow("no data") << "example.com 3/3/2004 3/3/2004" << 4 << "" << "brandle-report";
        QTest::newRow("range too long") << "example.com 1/1/1900 1/1/2000" << 1 << ""
                                        << "brandle-report: 6 - ";
        // clang-format on
    }
    void exitStatus()
    {
        QFETCH(QString, args);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QTemporaryDir home;
        writeLog(u"3/1/2004=example.com:10+example.com:13;3/3/2004=other.com:4"_s,
                 home.filePath(mConstants::LogFolderName));
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"BRANDLE_HOME"_s, home.path());
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(BRANDLE_REPORT_BIN), args.split(u' '));
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitCode(), status);
        QCOMPARE(QString::fromUtf8(process.readAllStandardOutput()), out);
        const QString stderrText = QString::fromUtf8(process.readAllStandardError());
        QVERIFY2(err.isEmpty() ? stderrText.isEmpty() : stderrText.startsWith(err),
                 qPrintable(stderrText));
    }
};
BRANDLE_TEST(TestReportCommand)

#include "tst_reportdata.moc"

// SPDX-License-Identifier: MIT
#include "TestMain.h"
#include "TestSupport.h"

#include "log/LinkLog.h"
#include "platform/Paths.h"
#include "platform/mConstants.h"

#include <QDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace brandle;

class TestLinkLog : public QObject {
    Q_OBJECT
    // One logged lookup as the engine writes it.
    static QString line(const QString& site, const QString& total)
    {
        return u"<Results Site=\"%1\" Total=\"%2\" Fluctuation=\"0\" Created=\"12/5/2026\">"
               "<Engine><Name><![CDATA[A]]></Name><URL><![CDATA[http://e/?q=%1]]></URL>"
               "<Count><![CDATA[%2]]></Count><Fluctuation>0</Fluctuation></Engine></Results>"_s.arg(
                   site, total);
    }
    static QString logFolder() { return Paths::inProgramFolder(mConstants::LogFolderName); }
    static QString element(const QString& date, const QString& count)
    {
        return u"<Element><Date>%1</Date><Count>%2</Count></Element>"_s.arg(date, count);
    }

private slots:
    void init() { QDir(logFolder()).removeRecursively(); }

    // Appends to the clock's day file; a line cut short by a crash does not swallow the next.
    void writeAppendsAndSplitsAtMidnight()
    {
        const QDate day(2026, 12, 31);
        ManualClock clock(QDateTime(day, QTime(23, 0)));
        QVERIFY(writeFile(linkLogFile(day), line(u"a.com"_s, u"9,999"_s).left(50).toUtf8()));
        WriteLinkLog(line(u"a.com"_s, u"1,000"_s));
        clock.set(QDateTime(day, QTime(23, 59, 59)));
        WriteLinkLog(line(u"a.com"_s, u"1,003"_s));
        clock.set(QDateTime(day.addDays(1), QTime(0, 0, 1)));
        WriteLinkLog(line(u"a.com"_s, u"30"_s));
        QCOMPARE(QDir(logFolder()).entryList(QDir::Files),
                 (QStringList{u"010127.lox"_s, u"123126.lox"_s}));
        QCOMPARE(ReadLinkLogDay(u"a.com"_s, day), element(u"123126"_s, u"1002"_s));
        QCOMPARE(readText(linkLogFile(day.addDays(1))), line(u"a.com"_s, u"30"_s) + u"\r\n"_s);
    }

    void readDay_data()
    {
        QTest::addColumn<QStringList>("lines"); // the day's file; none: no file
        QTest::addColumn<QString>("site");
        QTest::addColumn<QString>("count"); // "": no element
        const auto a = [](const char* total) {
            return line(u"a.com"_s, QLatin1StringView(total));
        };
        // clang-format off
        QTest::newRow("no file for the day") << QStringList() << "a.com" << "0";
        QTest::newRow("other site between")
            << QStringList{a("10"), line(u"b.com"_s, u"5"_s), a("30")} << "a.com" << "20";
        QTest::newRow("1,000 and 1,001 to even") << QStringList{a("1,000"), a("1,001")} << "a.com"
                                                 << "1000";
        QTest::newRow("escaped, blanks around both")
            << QStringList{line(u" a&amp;b.com "_s, u"8"_s)} << "  a&b.com " << "8";
        QTest::newRow("only other sites") << QStringList{line(u"b.com"_s, u"40"_s)} << "a.com" << "";
        QTest::newRow("only zero totals") << QStringList{a("0"), a("0")} << "a.com" << "";
        QTest::newRow("malformed line skipped")
            << QStringList{a("100"), u"<Results Site=\"a.com\" Total=\"9\"><Eng"_s, a("300")}
            << "a.com" << "200";
        QTest::newRow("total not a number skipped") << QStringList{a("n/a"), a("70")} << "a.com"
                                                    << "70";
        QTest::newRow("sum beyond 32 bits") << QStringList{a("2,000,000,000"), a("2,000,000,000")}
                                            << "a.com" << "2000000000";
        // clang-format on
    }
    void readDay()
    {
        QFETCH(QStringList, lines);
        QFETCH(QString, site);
        QFETCH(QString, count);
        const QDate day(2026, 12, 5);
        for (const QString& text : lines)
            QVERIFY(writeFile(linkLogFile(day), (text + u"\r\n"_s).toUtf8(), true));
        QCOMPARE(ReadLinkLogDay(site, day),
                 count.isEmpty() ? QString() : element(u"120526"_s, count));
    }
};

BRANDLE_TEST(TestLinkLog)
#include "tst_log.moc"

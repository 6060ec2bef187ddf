// SPDX-License-Identifier: MIT
#include "TestMain.h"
#include "TestSupport.h"

#include "log/LinkLog.h"
#include "platform/Paths.h"
#include "platform/mConstants.h"

#include <QDir>
#include <QTest>

using namespace brandle;

namespace {

// One logged lookup as the engine writes it; a partial one has an engine without a count, one
// without any count says so on its root.
QString line(const QString& site, const QString& total, bool partial = false, bool none = false)
{
    return u"<Results Site=\"%1\" Total=\"%2\" Fluctuation=\"0\" Created=\"12/5/2026\"%3>"
           "<Engine%4><Name><![CDATA[A]]></Name><URL><![CDATA[http://e/?q=%1]]></URL>"
           "<Count><![CDATA[%2]]></Count><Fluctuation>0</Fluctuation></Engine></Results>"_s.arg(
               site, total,
               partial ? (none ? u" Partial=\"1\" NoCount=\"1\""_s : u" Partial=\"1\""_s)
                       : QString(),
               partial ? u" NoCount=\"1\""_s : QString());
}

} // namespace

class TestLinkLog : public QObject {
    Q_OBJECT
    const QDate m_day{2026, 12, 5};

private slots:
    void init() { QDir(Paths::inProgramFolder(mConstants::LogFolderName)).removeRecursively(); }

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
        QCOMPARE(QDir(Paths::inProgramFolder(mConstants::LogFolderName)).entryList(QDir::Files),
                 (QStringList{u"010127.lox"_s, u"123126.lox"_s}));
        QCOMPARE(ReadLinkLogDay(u"a.com"_s, day),
                 u"<Element><Date>123126</Date><Count>1002</Count></Element>"_s);
        QCOMPARE(readText(linkLogFile(day.addDays(1))), line(u"a.com"_s, u"30"_s) + u"\r\n"_s);
    }

    // The average of the site's complete lookups (halves to even), else of its partial ones.
    void readDay_data()
    {
        QTest::addColumn<QStringList>("lines"); // the day's file; none: no file
        QTest::addColumn<QString>("site");
        QTest::addColumn<QString>("count"); // "": no element
        const auto a = [](const char* total, bool partial = false) {
            return line(u"a.com"_s, QLatin1StringView(total), partial);
        };
        // clang-format off
        QTest::newRow("no file for the day") << QStringList() << "a.com" << "0";
        QTest::newRow("1,000 and 1,001 to even") << QStringList{a("1,000"), a("1,001")} << "a.com"
                                                 << "1000";
        QTest::newRow("escaped, blanks around both")
            << QStringList{line(u" a&amp;b.com "_s, u"8"_s)} << "  a&b.com " << "8";
        QTest::newRow("only other sites") << QStringList{line(u"b.com"_s, u"40"_s)} << "a.com" << "";
        QTest::newRow("only zero totals") << QStringList{a("0"), a("0")} << "a.com" << "";
        QTest::newRow("malformed line skipped")
            << QStringList{a("100"), u"<Results Site=\"a.com\" Total=\"9\"><Eng"_s, a("300")}
            << "a.com" << "200";
        QTest::newRow("empty site, a line without one") << QStringList{u"<R>"_s} << "" << "";
        QTest::newRow("total not a number skipped") << QStringList{a("n/a"), a("70")} << "a.com"
                                                    << "70";
        QTest::newRow("sum beyond 32 bits") << QStringList{a("2,000,000,000"), a("2,000,000,000")}
                                            << "a.com" << "2000000000";
        QTest::newRow("partial left out beside complete")
            << QStringList{a("100"), a("40", true), a("200")} << "a.com" << "150";
        QTest::newRow("only partial lookups") << QStringList{a("40", true), a("61", true)}
                                              << "a.com" << "50";
        QTest::newRow("partial of another site does not count as complete")
            << QStringList{a("40", true), a("n/a"), line(u"b.com"_s, u"9"_s)} << "a.com" << "40";
        QTest::newRow("nothing counted left out") << QStringList{a("40", true), line(u"a.com"_s, u"0"_s, true, true)}
                                                  << "a.com" << "40";
        QTest::newRow("complete zeros win over a partial") << QStringList{a("0"), a("50", true)}
                                                           << "a.com" << "";
        // clang-format on
    }
    void readDay()
    {
        QFETCH(QStringList, lines);
        QFETCH(QString, site);
        QFETCH(QString, count);
        for (const QString& text : lines)
            QVERIFY(writeFile(linkLogFile(m_day), (text + u"\r\n"_s).toUtf8(), true));
        QCOMPARE(ReadLinkLogDay(site, m_day),
                 count.isEmpty()
                     ? QString()
                     : u"<Element><Date>120526</Date><Count>%1</Count></Element>"_s.arg(count));
    }

    // Read in pieces: a long line, lines across pieces and a last line without its end.
    void linesAcrossPieces()
    {
        QByteArray text = QByteArray(300000, 'x') + "\r\n\r\n";
        const int lines = 3000;
        for (int i = 1; i <= lines; ++i)
            text += line(u"a.com"_s, QString::number(i)).toUtf8() + (i < lines ? "\r\n" : "");
        QVERIFY(writeFile(linkLogFile(m_day), text));
        const LogDaySite site = readLinkLogDay({u"a.com"_s}, m_day).sites.value(0);
        QCOMPARE(site.completeLookups, lines);
        QCOMPARE(site.completeSum, qint64(lines) * (lines + 1) / 2);
    }
};

BRANDLE_TEST(TestLinkLog)
#include "tst_log.moc"

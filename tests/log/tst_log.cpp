// SPDX-License-Identifier: MIT
#include "TestMain.h"
#include "TestSupport.h"

#include "log/LinkLog.h"
#include "platform/Paths.h"
#include "platform/mConstants.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

// One logged lookup as the engine writes it.
QString resultLine(const QString& site, const QString& total)
{
    return u"<Results Site=\"%1\" Total=\"%2\" Fluctuation=\"0\" Created=\"12/5/2026 10:00:00 AM\">"
           "<Engine><Name><![CDATA[A]]></Name><URL><![CDATA[http://e/?q=%1]]></URL>"
           "<Count><![CDATA[%2]]></Count><Fluctuation>0</Fluctuation></Engine></Results>"_s.arg(
               site, total);
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QString logFolder()
{
    return Paths::inProgramFolder(mConstants::LogFolderName);
}

const QDate day(2026, 12, 5);

} // namespace

class TestLinkLog : public QObject {
    Q_OBJECT
private slots:
    void init() { QDir(logFolder()).removeRecursively(); }

    void firstLineCreatesSecondAppends()
    {
        ManualClock clock(QDateTime(day, QTime(10, 0)));
        const QString path = logFolder() + u"/120526.lox"_s;
        QCOMPARE(linkLogFile(day), path);
        const QString first = resultLine(u"a.com"_s, u"1,000"_s);
        const QString second = resultLine(u"a.com"_s, u"1,003"_s);
        WriteLinkLog(first);
        QCOMPARE(readAll(path), (first + u"\r\n"_s).toUtf8());
        clock.set(QDateTime(day, QTime(11, 30)));
        WriteLinkLog(second);
        QCOMPARE(readAll(path), (first + u"\r\n"_s + second + u"\r\n"_s).toUtf8());
        QCOMPARE(ReadLinkLogDay(u"a.com"_s, day),
                 u"<Element><Date>120526</Date><Count>1002</Count></Element>"_s);
    }

    // The day a line belongs to is the clock's date when it is written.
    void midnightSplitsFiles()
    {
        ManualClock clock(QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59)));
        WriteLinkLog(resultLine(u"a.com"_s, u"10"_s));
        clock.set(QDateTime(QDate(2027, 1, 1), QTime(0, 0, 1)));
        WriteLinkLog(resultLine(u"a.com"_s, u"30"_s));
        QCOMPARE(QDir(logFolder()).entryList(QDir::Files),
                 (QStringList{u"010127.lox"_s, u"123126.lox"_s}));
        QCOMPARE(ReadLinkLogDay(u"a.com"_s, QDate(2026, 12, 31)),
                 u"<Element><Date>123126</Date><Count>10</Count></Element>"_s);
        QCOMPARE(ReadLinkLogDay(u"a.com"_s, QDate(2027, 1, 1)),
                 u"<Element><Date>010127</Date><Count>30</Count></Element>"_s);
    }

    // A line cut short by a crash must not take the next lookup of the day down with it.
    void lineAfterCutShortLineCounts()
    {
        const ManualClock clock(QDateTime(day, QTime(12, 0)));
        QVERIFY(QDir().mkpath(logFolder()));
        QFile out(linkLogFile(day));
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write((resultLine(u"a.com"_s, u"100"_s) + u"\r\n"_s).toUtf8() +
                  resultLine(u"a.com"_s, u"9,999"_s).left(50).toUtf8());
        out.close();
        WriteLinkLog(resultLine(u"a.com"_s, u"300"_s));
        QCOMPARE(ReadLinkLogDay(u"a.com"_s, day),
                 u"<Element><Date>120526</Date><Count>200</Count></Element>"_s);
    }

    void readDay_data()
    {
        QTest::addColumn<bool>("file");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("site");
        QTest::addColumn<QString>("count"); // "": no element
        const auto line = [](const char* site, const char* total) {
            return resultLine(QString::fromUtf8(site), QString::fromUtf8(total));
        };
        const QStringList twoSites{line("a.com", "100"), line("b.com", "5,000"),
                                   line("a.com", "300")};
        // clang-format off
        QTest::newRow("no file for the day") << false << QStringList() << "a.com" << "0";
        QTest::newRow("two sites, first") << true << twoSites << "a.com" << "200";
        QTest::newRow("two sites, second") << true << twoSites << "b.com" << "5000";
        QTest::newRow("1,000 and 1,003 round to even")
            << true << QStringList{line("a.com", "1,000"), line("a.com", "1,003")} << "a.com" << "1002";
        QTest::newRow("1,000 and 1,001 round to even")
            << true << QStringList{line("a.com", "1,000"), line("a.com", "1,001")} << "a.com" << "1000";
        QTest::newRow("blanks around both sites")
            << true << QStringList{line(" a.com ", "40")} << "  a.com " << "40";
        QTest::newRow("letter case must match")
            << true << QStringList{line("A.com", "40")} << "a.com" << "";
        QTest::newRow("escaped site matches")
            << true << QStringList{line("a&amp;b.com", "8")} << "a&b.com" << "8";
        QTest::newRow("only other sites")
            << true << QStringList{line("b.com", "40")} << "a.com" << "";
        QTest::newRow("only zero totals")
            << true << QStringList{line("a.com", "0"), line("a.com", "0")} << "a.com" << "";
        QTest::newRow("truncated line skipped")
            << true << QStringList{line("a.com", "100"), line("a.com", "9,999").left(40),
                                   line("a.com", "300")} << "a.com" << "200";
        QTest::newRow("total not a number skipped")
            << true << QStringList{line("a.com", "n/a"), line("a.com", "70")} << "a.com" << "70";
        QTest::newRow("sum beyond 32 bits")
            << true << QStringList{line("a.com", "2,000,000,000"), line("a.com", "2,000,000,000")}
            << "a.com" << "2000000000";
        // clang-format on
    }
    void readDay()
    {
        QFETCH(bool, file);
        QFETCH(QStringList, lines);
        QFETCH(QString, site);
        QFETCH(QString, count);
        if (file) {
            QVERIFY(QDir().mkpath(logFolder()));
            QFile out(linkLogFile(day));
            QVERIFY(out.open(QIODevice::WriteOnly));
            for (const QString& line : lines)
                out.write((line + u"\r\n"_s).toUtf8());
        }
        const QString expected =
            count.isEmpty()
                ? QString()
                : u"<Element><Date>120526</Date><Count>%1</Count></Element>"_s.arg(count);
        QCOMPARE(ReadLinkLogDay(site, day), expected);
    }
};

BRANDLE_TEST(TestLinkLog)
#include "tst_log.moc"

// SPDX-License-Identifier: MIT
#include "TestMain.h"
#include "TestSupport.h"

#include "log/LinkLog.h"
#include "platform/Paths.h"
#include "platform/mConstants.h"

#include <QDir>
#include <QProcess>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace brandle;

// brandle-report reads the program's log: exit status, standard output and standard error.
class TestReportCommand : public QObject {
    Q_OBJECT
private slots:
    void init() { QDir(Paths::inProgramFolder(mConstants::LogFolderName)).removeRecursively(); }

    void command_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        // clang-format off
        QTest::newRow("rows") << QStringList{u"Example.com"_s, u"3/1/2004"_s, u"3/03/2004"_s} << 0
            << "date,count\n2004-03-01,12\n2004-03-02,0\n" << "";
        QTest::newRow("invalid date") << QStringList{u"example.com"_s, u"3/1/2004"_s, u"3/32/2004"_s}
            << 1 << "" << "The dates you entered are either blank or invalid.\nThe required date "
                          "format is MM/DD/YYYY for this report type selection.\n";
        QTest::newRow("ISO dates") << QStringList{u"example.com"_s, u"2004-03-01"_s, u"2004-03-03"_s}
            << 0 << "date,count\n2004-03-01,12\n2004-03-02,0\n" << "";
        QTest::newRow("no data") << QStringList{u"example.com"_s, u"3/3/2004"_s, u"3/3/2004"_s} << 4
            << "" << "brandle-report: no data for example.com from 3/3/2004 to 3/3/2004\n";
        // A day without a log file is charted as 0 but is no data: a mistyped site is told so.
        QTest::newRow("mistyped site") << QStringList{u"exmaple.com"_s, u"3/1/2004"_s, u"3/3/2004"_s}
            << 4 << "" << "brandle-report: no data for exmaple.com from 3/1/2004 to 3/3/2004\n";
        QTest::newRow("no log file in the range")
            << QStringList{u"example.com"_s, u"2004-04-01"_s, u"2004-04-02"_s} << 4 << ""
            << "brandle-report: no data for example.com from 2004-04-01 to 2004-04-02\n";
        QTest::newRow("sites as options")
            << QStringList{u"--site"_s, u"example.com"_s, u"--site"_s, u"other.com"_s,
                           u"3/1/2004"_s, u"3/3/2004"_s} << 0
            << "date,example.com,other.com\n2004-03-01,12,\n2004-03-02,0,0\n2004-03-03,,4\n" << "";
        QTest::newRow("sites as a list") << QStringList{u"other.com,Example.com"_s, u"3/3/2004"_s,
                                                        u"3/3/2004"_s} << 0
            << "date,other.com,example.com\n2004-03-03,4,\n" << "";
        QTest::newRow("by engine") << QStringList{u"--engines"_s, u"example.com"_s, u"3/1/2004"_s,
                                                  u"3/2/2004"_s} << 0
            << "date,total,Alpha,Beta\n2004-03-01,12,5,\n2004-03-02,0,,\n" << "";
        QTest::newRow("by engine, two sites")
            << QStringList{u"--engines"_s, u"a.com,b.com"_s, u"3/1/2004"_s, u"3/2/2004"_s} << 2
            << "" << "brandle-report: A chart by engine shows one site: give only one.\n"
                     "Usage: brandle-report [options] [SITE] FROM TO\n"
                     "Try 'brandle-report --help' for more information.\n";
        QTest::newRow("a day file that cannot be read")
            << QStringList{u"example.com"_s, u"3/4/2004"_s, u"3/4/2004"_s} << 1 << ""
            << "brandle-report: 75 - Path/File access error: %1\n";
        // clang-format on
    }
    void command()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);
        const QDate first(2004, 3, 1);
        QVERIFY(writeLog({{first,
                           u"example.com"_s,
                           u"10"_s,
                           {{u"Alpha"_s, u"4"_s}, {u"Beta"_s, {}, true}},
                           true},
                          {first,
                           u"example.com"_s,
                           u"13"_s,
                           {{u"Alpha"_s, u"6"_s}, {u"Beta"_s, {}, true}},
                           true},
                          {first.addDays(2), u"other.com"_s, u"4"_s}}));
        // A folder where the day file should be: it exists but cannot be read.
        const QString unreadable = linkLogFile(first.addDays(3));
        QVERIFY(QDir().mkpath(unreadable));
        err.replace(u"%1"_s, unreadable);
        QProcess process;
        process.start(QString::fromUtf8(BRANDLE_REPORT_BIN), args);
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(QString::fromUtf8(process.readAllStandardError()), err);
        QCOMPARE(QString::fromUtf8(process.readAllStandardOutput()), out);
        QCOMPARE(process.exitCode(), exitCode);
    }
};

BRANDLE_TEST(TestReportCommand)
#include "tst_report.moc"

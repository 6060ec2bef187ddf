// SPDX-License-Identifier: MIT
#include "TestMain.h"
#include "TestSupport.h"

#include <QDate>
#include <QDir>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace brandle;

// The language setting of the user changes neither the counts read from engine pages nor the
// log: brandle-check logs under one locale, brandle-report reads the log under another.
class TestLocales : public QObject {
    Q_OBJECT

    static QProcessEnvironment environment(const QTemporaryDir& sandbox, const QString& locale)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"BRANDLE_HOME"_s, sandbox.filePath(u"home"_s));
        env.insert(u"XDG_CONFIG_HOME"_s, sandbox.filePath(u"config"_s));
        env.insert(u"LANG"_s, locale);
        env.insert(u"LC_ALL"_s, locale);
        return env;
    }

private slots:
    void checkThenReport_data()
    {
        QTest::addColumn<QString>("checkLocale");
        QTest::addColumn<QString>("reportLocale");
        // clang-format off
        QTest::newRow("C") << "C" << "C";
        QTest::newRow("German check, C report") << "de_DE.UTF-8" << "C";
        QTest::newRow("C check, German report") << "C" << "de_DE.UTF-8";
        QTest::newRow("French") << "fr_FR.UTF-8" << "fr_FR.UTF-8";
        QTest::newRow("Swiss German") << "de_CH.UTF-8" << "de_CH.UTF-8";
        // clang-format on
    }
    void checkThenReport()
    {
        QFETCH(QString, checkLocale);
        QFETCH(QString, reportLocale);
        FakeServiceHost service;
        service
            .engines({counted(u"Alpha"_s, u"1,234"_s), counted(u"Beta"_s, u"323.580"_s),
                      counted(u"Gamma"_s, u"7 000,5"_s)})
            .start();
        QTemporaryDir sandbox;
        QSettings(sandbox.filePath(u"config/Quenta App Loader.conf"_s), QSettings::IniFormat)
            .setValue(u"ParloApp/EnbLog"_s, u"1"_s);

        QProcess check;
        check.setProcessEnvironment(environment(sandbox, checkLocale));
        check.start(QString::fromUtf8(BRANDLE_CHECK_BIN),
                    {u"--host"_s, service.hostPort(), u"a.com"_s});
        QVERIFY(check.waitForFinished(15000));
        const QString out = QString::fromUtf8(check.readAllStandardOutput());
        QVERIFY2(check.exitCode() == 0, check.readAllStandardError().constData());
        for (const QString& count : {u"1,234"_s, u"323,580"_s, u"7,000"_s, u"331,814"_s})
            QVERIFY2(out.contains(count), qPrintable(out));

        const QDate today = QDate::currentDate();
        const QString log = QDir(sandbox.filePath(u"home/LinkLogs"_s))
                                .filePath(today.toString(u"MMddyy"_s) + u".lox"_s);
        QVERIFY2(readText(log).startsWith(u"<Results Site=\"a.com\" Total=\"331,814\""_s),
                 qPrintable(readText(log)));

        QProcess report;
        report.setProcessEnvironment(environment(sandbox, reportLocale));
        const QString day = today.toString(Qt::ISODate);
        report.start(QString::fromUtf8(BRANDLE_REPORT_BIN), {u"a.com"_s, day, day});
        QVERIFY(report.waitForFinished(10000));
        QCOMPARE(QString::fromUtf8(report.readAllStandardError()), QString());
        QCOMPARE(QString::fromUtf8(report.readAllStandardOutput()),
                 u"date,count\n%1,331814\n"_s.arg(day));
        QCOMPARE(report.exitCode(), 0);
    }
};

BRANDLE_TEST(TestLocales)
#include "tst_locales.moc"

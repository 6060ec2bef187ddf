// SPDX-License-Identifier: MIT
#include "TestMain.h"
#include "TestSupport.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace brandle;

// The headless lookup command, run as its own process against a fake service host.
class TestCheckCommand : public QObject {
    Q_OBJECT

private slots:
    void exitStatus_data()
    {
        QTest::addColumn<QByteArray>("status"); // empty: nothing listens at the service host
        QTest::addColumn<EngineAnswers>("engines");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("output"); // parts of stdout (exit 0 or 5) or stderr
        const EngineAnswers both{counted(u"Alpha"_s, u"1,234"_s), counted(u"Beta"_s, u"1,234"_s)};
        // clang-format off
        QTest::newRow("counted") << QByteArray("Active") << both << 0
            << QStringList{u"a.com"_s, u"Alpha"_s, u"Beta"_s, u"1,234"_s, u"Total"_s, u"2,468"_s,
                           u"ParloMsg.html"_s};
        QTest::newRow("an engine without a count") << QByteArray("Active")
            << EngineAnswers{counted(u"Alpha"_s, u"1,234"_s), noCount(u"Beta"_s)} << 5
            << QStringList{u"Beta    no count  ="_s, u"Total      1,234  ="_s};
        QTest::newRow("missing engine field") << QByteArray("Active")
            << EngineAnswers{counted(u"Alpha"_s, u"1,234"_s), incomplete(u"Beta"_s, u"1,234"_s)}
            << 1 << QStringList{u"a.com: 91 - "_s};
        QTest::newRow("service switched off")
            << QByteArray("MessageOff\r\nClosed\r\nBack soon\r\n16") << both << 2
            << QStringList{u"Closed: Back soon"_s, u"not active"_s};
        QTest::newRow("service host unreachable") << QByteArray() << both << 3
                                                  << QStringList{u"a.com"_s};
        // clang-format on
    }
    void exitStatus()
    {
        QFETCH(QByteArray, status);
        QFETCH(EngineAnswers, engines);
        QFETCH(int, exitCode);
        QFETCH(QStringList, output);
        FakeServiceHost service;
        service.status(status).engines(engines).start();
        const QString host = status.isEmpty() ? deadHostPort() : service.hostPort();

        QTemporaryDir sandbox;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"BRANDLE_HOME"_s, sandbox.filePath(u"home"_s));
        env.insert(u"XDG_CONFIG_HOME"_s, sandbox.filePath(u"config"_s));
        QProcess check;
        check.setProcessEnvironment(env);
        check.start(QString::fromUtf8(BRANDLE_CHECK_BIN), {u"--host"_s, host, u"HTTP://A.com"_s});
        QVERIFY(check.waitForFinished(15000));
        const bool done = exitCode == 0 || exitCode == 5;
        const QString out =
            QString::fromUtf8(done ? check.readAllStandardOutput() : check.readAllStandardError());
        QVERIFY2(check.exitCode() == exitCode, qPrintable(out));
        for (const QString& part : output)
            QVERIFY2(out.contains(part), qPrintable(out));
        QCOMPARE(QFile::exists(sandbox.filePath(u"home/ParloMsg.html"_s)), done);
    }

    // With no room for the settings file the lookup fails: the store keeps its previous bytes
    // and the error is printed with exit status 1.
    void settingsCannotBeSaved()
    {
        FakeServiceHost service;
        service.engines({counted(u"Alpha"_s, u"1,234"_s)}).start();
        QTemporaryDir sandbox;
        const QString store = sandbox.filePath(u"config/Quenta App Loader.conf"_s);
        const QByteArray before = "[ParloApp]\nURLGet1=" + QByteArray(6000, 'x') +
                                  "\n\n[LinkEng]\nEng-DomainURL=a.com\nEng-Alpha=1000\n";
        QVERIFY(writeFile(store, before));

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"BRANDLE_HOME"_s, sandbox.filePath(u"home"_s));
        env.insert(u"XDG_CONFIG_HOME"_s, sandbox.filePath(u"config"_s));
        QProcess check;
        check.setProcessEnvironment(env);
        // Room for the page and the log line, not for the settings file.
        check.setChildProcessModifier([] { FileSizeLimit::limitChild(4096); });
        check.start(QString::fromUtf8(BRANDLE_CHECK_BIN),
                    {u"--host"_s, service.hostPort(), u"a.com"_s});
        QVERIFY(check.waitForFinished(15000));
        const QString err = QString::fromUtf8(check.readAllStandardError());
        QCOMPARE(check.exitCode(), 1);
        QVERIFY2(err.startsWith(u"a.com: 335 - The settings could not be saved: "_s + store),
                 qPrintable(err));
        QFile file(store);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
    }
};

BRANDLE_TEST(TestCheckCommand)
#include "tst_check.moc"

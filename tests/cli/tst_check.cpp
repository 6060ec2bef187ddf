// SPDX-License-Identifier: MIT
#include "TestMain.h"
#include "TestSupport.h"

#include "platform/mConstants.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace brandle;

// The headless lookup command, run as its own process against a fake service host.
class TestCheckCommand : public QObject {
    Q_OBJECT

    TestServer m_engines;

    QString engine(const QString& name, bool complete = true)
    {
        return u"<Engine><EngineName>%1</EngineName><EngineHome>x</EngineHome><LeftURL>%2</LeftURL>"
               "<RightURL/><LeftString>[</LeftString>%3<ReplaceDot>.</ReplaceDot></Engine>"_s.arg(
                   name, m_engines.url(u"/e?q="_s),
                   complete ? u"<RightString>]</RightString>"_s : QString());
    }

private slots:
    void initTestCase()
    {
        m_engines.route(u"/e"_s, "count [1,234] links");
        m_engines.start();
    }

    void exitStatus_data()
    {
        QTest::addColumn<QString>("status"); // "": nothing listens at the service host
        QTest::addColumn<bool>("complete");  // false: the second engine lacks RightString
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output"); // "|"-separated parts of stdout (exit 0) or stderr
        // clang-format off
        QTest::newRow("counted")
            << "Active" << true << 0 << "a.com|Alpha|Beta|1,234|Total|2,468|ParloMsg.html";
        QTest::newRow("missing engine field") << "Active" << false << 1 << "a.com: 91 - ";
        QTest::newRow("service switched off") << "MessageOff\r\nClosed\r\nBack soon\r\n16" << true
                                              << 2 << "Closed: Back soon|not active";
        QTest::newRow("service host unreachable") << "" << true << 3 << "a.com";
        // clang-format on
    }
    void exitStatus()
    {
        QFETCH(QString, status);
        QFETCH(bool, complete);
        QFETCH(int, exitCode);
        QFETCH(QString, output);
        const QString engines = engine(u"Alpha"_s) + engine(u"Beta"_s, complete);
        TestServer service;
        service.route(mConstants::StatusPath, status.toUtf8());
        service.route(
            mConstants::SchemaPath,
            u"<S><Service/><Engines>%1</Engines><LPResults></LPResults></S>"_s.arg(engines)
                .toUtf8());
        service.route(
            mConstants::StyleSheetPath,
            "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\"/>");
        service.start();
        const QString host =
            status.isEmpty() ? u"127.0.0.1:%1"_s.arg(closedPort()) : service.hostPort();

        QTemporaryDir sandbox;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"BRANDLE_HOME"_s, sandbox.filePath(u"home"_s));
        env.insert(u"XDG_CONFIG_HOME"_s, sandbox.filePath(u"config"_s));
        QProcess check;
        check.setProcessEnvironment(env);
        check.start(QString::fromUtf8(BRANDLE_CHECK_BIN), {u"--host"_s, host, u"HTTP://A.com"_s});
        QVERIFY(check.waitForFinished(15000));
        const QString out = QString::fromUtf8(exitCode == 0 ? check.readAllStandardOutput()
                                                            : check.readAllStandardError());
        QVERIFY2(check.exitCode() == exitCode, qPrintable(out));
        for (const QString& part : output.split(u'|'))
            QVERIFY2(out.contains(part), qPrintable(out));
        QCOMPARE(QFile::exists(sandbox.filePath(u"home/ParloMsg.html"_s)), exitCode == 0);
    }
};

BRANDLE_TEST(TestCheckCommand)
#include "tst_check.moc"

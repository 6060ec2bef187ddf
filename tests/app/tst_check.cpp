// SPDX-License-Identifier: MIT
#include "TestMain.h"
#include "TestSupport.h"

#include "platform/mConstants.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <httplib.h>

#include <map>

using namespace Qt::Literals::StringLiterals;

namespace {

// An engine entry; its query address is on HOST, the fake service host.
QString engineEntry(const QString& name, const QString& path, bool complete = true)
{
    return u"<Engine><EngineName>"_s + name +
           u"</EngineName><EngineHome>http://home/</EngineHome><LeftURL>http://HOST"_s + path +
           u"?q=</LeftURL><RightURL></RightURL><LeftString>[</LeftString>"_s +
           (complete ? u"<RightString>]</RightString>"_s : QString()) +
           u"<ReplaceDot>.</ReplaceDot></Engine>"_s;
}

QString schemaWith(const QString& entries)
{
    return u"<Schema><Service/><Engines>"_s + entries +
           u"</Engines><LPResults></LPResults></Schema>"_s;
}

} // namespace

// The headless lookup command, run as its own process against a fake service host.
class TestCheckCommand : public QObject {
    Q_OBJECT
private slots:
    void exitStatus_data()
    {
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("schema");
        QTest::addColumn<QStringList>("args"); // HOST: the fake host, DEAD: nothing listens
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("outHas");
        QTest::addColumn<QStringList>("errHas");
        const QString a = engineEntry(u"Alpha"_s, u"/e/a"_s);
        const QString two = schemaWith(a + engineEntry(u"Beta"_s, u"/e/b"_s));
        const QString incomplete = schemaWith(a + engineEntry(u"Beta"_s, u"/e/b"_s, false));
        const QString gone =
            schemaWith(a + engineEntry(u"Gone"_s, u"/e/b"_s).replace(u"HOST"_s, u"DEAD"_s));
        const QStringList lookup{u"--host"_s, u"HOST"_s, u"HTTP://A.com"_s};
        // clang-format off
        QTest::newRow("counted")
            << "Active" << two << lookup << 0
            << QStringList{u"a.com"_s, u"Alpha"_s, u"1,234"_s, u"Beta"_s, u"Total"_s,
                           u"1,334"_s, u"ParloMsg.html"_s}
            << QStringList();
        QTest::newRow("missing engine field")
            << "Active" << incomplete << lookup << 1
            << QStringList() << QStringList{u"a.com: 91 - "_s};
        QTest::newRow("service switched off")
            << "MessageOff\r\nClosed\r\nBack soon\r\n16" << two << lookup << 2
            << QStringList() << QStringList{u"Closed: Back soon"_s, u"not active"_s};
        QTest::newRow("service host unreachable")
            << "Active" << two << QStringList{u"--host"_s, u"DEAD"_s, u"a.com"_s} << 3
            << QStringList() << QStringList{u"a.com"_s};
        QTest::newRow("engine unreachable")
            << "Active" << gone << lookup << 3 << QStringList() << QStringList{u"\"Gone\""_s};
        QTest::newRow("no site given")
            << "Active" << two << QStringList{u"--host"_s, u"HOST"_s} << 1
            << QStringList() << QStringList{u"SITE"_s};
        QTest::newRow("help")
            << "Active" << two << QStringList{u"--help"_s} << 0
            << QStringList{u"--host"_s, u"SITE"_s} << QStringList();
        // clang-format on
    }
    void exitStatus()
    {
        QFETCH(QString, status);
        QFETCH(QString, schema);
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QStringList, outHas);
        QFETCH(QStringList, errHas);

        std::map<std::string, std::string> pages;
        TestServer server;
        server.server().Get(".*", [&pages](const httplib::Request& req, httplib::Response& res) {
            const auto it = pages.find(req.path);
            if (it == pages.end())
                res.status = 404;
            else
                res.set_content(it->second, "text/html; charset=utf-8");
        });
        server.start();
        const QString dead = u"127.0.0.1:%1"_s.arg(closedPort());
        schema.replace(u"HOST"_s, server.hostPort()).replace(u"DEAD"_s, dead);
        args.replaceInStrings(u"HOST"_s, server.hostPort()).replaceInStrings(u"DEAD"_s, dead);
        pages[std::string(mConstants::StatusPath.data())] = status.toStdString();
        pages[std::string(mConstants::SchemaPath.data())] = schema.toStdString();
        pages[std::string(mConstants::StyleSheetPath.data())] =
            "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
            "<xsl:template match=\"/\"><p><xsl:value-of select=\"//Results/@Total\"/></p>"
            "</xsl:template></xsl:stylesheet>";
        pages["/e/a"] = "count [1,234] links";
        pages["/e/b"] = "count [100] links";

        QTemporaryDir sandbox;
        QVERIFY(sandbox.isValid());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"BRANDLE_HOME"_s, sandbox.filePath(u"home"_s));
        env.insert(u"XDG_CONFIG_HOME"_s, sandbox.filePath(u"config"_s));
        env.insert(u"LANG"_s, u"C"_s);
        env.insert(u"LC_ALL"_s, u"C"_s);
        env.remove(u"BRANDLE_SERVICE_HOST"_s);
        QProcess check;
        check.setProcessEnvironment(env);
        check.start(QStringLiteral(BRANDLE_CHECK_BIN), args);
        QVERIFY(check.waitForFinished(15000));
        const QString out = QString::fromUtf8(check.readAllStandardOutput());
        const QString err = QString::fromUtf8(check.readAllStandardError());
        QCOMPARE(check.exitStatus(), QProcess::NormalExit);
        QVERIFY2(check.exitCode() == exitCode, qPrintable(out + err));
        for (const QString& part : outHas)
            QVERIFY2(out.contains(part), qPrintable(out));
        for (const QString& part : errHas)
            QVERIFY2(err.contains(part), qPrintable(err));
        if (outHas.contains(u"ParloMsg.html"_s))
            QVERIFY(QFile::exists(sandbox.filePath(u"home/ParloMsg.html"_s)));
    }
};

BRANDLE_TEST(TestCheckCommand)
#include "tst_check.moc"

// SPDX-License-Identifier: MIT
// brandle-host over HTTP, its real engines with local fakes as upstreams, and brandle-check on it.

#include "Fakes.h"

#include "engine/QueryEngines.h"
#include "engine/Schema.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <signal.h>

using brandle::EngineEntry;

namespace {

// The engines of a schema as the program reads them.
QList<EngineEntry> schemaEngines(const QString& schema)
{
    const brandle::EngineSchema parsed(schema);
    QList<EngineEntry> engines;
    for (int i = 0; i < parsed.engineCount(); ++i)
        engines << parsed.engine(i);
    return engines;
}

const QByteArray kSchemaPath = "/parlo/System/Link-Popularity-Schema.xml";

// A brandle-host process on a port of its own choice.
struct HostProcess {
    bool start(const QStringList& args)
    {
        process.start(QString::fromUtf8(BRANDLE_HOST_BIN), args + QStringList{u"--port"_s, u"0"_s});
        const QRegularExpression listening(u"listening on http://127\\.0\\.0\\.1:(\\d+)"_s);
        while (port == 0 && process.waitForReadyRead(brandle::WaitMs))
            port = listening.match(log()).captured(1).toInt();
        return port != 0;
    }
    QString log() { return output += QString::fromUtf8(process.readAllStandardOutput()); }
    // The status (-1: no answer) and body; the path is sent exactly as written.
    std::pair<int, std::string> get(const QByteArray& path) const
    {
        httplib::Client client("127.0.0.1", port);
        client.set_url_encode(false);
        const auto res = client.Get(path.toStdString());
        return {res ? res->status : -1, res ? res->body : std::string()};
    }
    // The engine's answer for the site, at the address its schema entry makes.
    std::pair<int, std::string> ask(const EngineEntry& e, const QString& site) const
    {
        const QUrl url(brandle::queryAddress(e.LeftURL, site, e.ReplaceDot, e.RightURL));
        return get(url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority));
    }
    QString schema() const { return QString::fromStdString(get(kSchemaPath).second); }

    QProcess process;
    QString output;
    int port = 0;
};

} // namespace

class HostTest : public QObject {
    Q_OBJECT

    HostProcess demo_; // the project's service folder with the demo engines
    HostProcess real_; // the real engines, with the fakes below as upstreams
    brandle::TestServer majestic_;
    FakeWiki wiki_;
    QTemporaryDir cache_;
    QString demoSchema_;
    QString realSchema_;

private slots:
    void initTestCase()
    {
        const QString root = QString::fromUtf8(BRANDLE_TEST_SERVICE_DIR);
        QVERIFY(demo_.start({u"--demo"_s, u"--root"_s, root}));
        demoSchema_ = demo_.schema();
        majestic_.route(u"/m.csv"_s, QByteArray::fromStdString(majesticList(
                                         {majesticLine(1, "google.com", 345862, 2029543),
                                          majesticLine(2, "brandle-demo.org", 1234, 5678)})));
        majestic_.start();
        wiki_.setLinks("brandle-demo.org", {11, 12, 13, 14, 15});
        wiki_.setLinks("*.brandle-demo.org", {15, 16});
        QVERIFY(real_.start({u"--root"_s, root, u"--cache"_s, cache_.path(), u"--majestic-url"_s,
                             majestic_.url(u"/m.csv"_s), u"--wikipedia-api"_s,
                             QString::fromStdString(wiki_.api())}));
        QTRY_VERIFY_WITH_TIMEOUT(real_.log().contains(u"majestic: loaded 2 domains"_s),
                                 brandle::WaitMs);
        realSchema_ = real_.schema();
    }
    // The hosts end cleanly on SIGTERM.
    void cleanupTestCase()
    {
        for (HostProcess* host : {&demo_, &real_}) {
            QCOMPARE(::kill(pid_t(host->process.processId()), SIGTERM), 0);
            QVERIFY2(host->process.waitForFinished(10000), "still running 10 s after the signal");
            QCOMPARE(host->process.exitStatus(), QProcess::NormalExit);
            QCOMPARE(host->process.exitCode(), 0);
        }
    }

    // In demo mode the served engines are those of the bundled schema file, field for field.
    void demoSchemaAsBundled()
    {
        const QString bundled =
            brandle::readText(QString::fromUtf8(BRANDLE_TEST_SERVICE_DIR + kSchemaPath))
                .replace(u"{host}"_s, u"127.0.0.1:%1"_s.arg(demo_.port));
        const auto fields = [](const QString& schema) {
            QStringList out;
            for (const EngineEntry& e : schemaEngines(schema))
                out << e.EngineName << e.EngineHome << e.LeftURL << e.RightURL << e.LeftString
                    << e.RightString << e.ReplaceDot;
            return out;
        };
        QCOMPARE(fields(demoSchema_), fields(bundled));
        QCOMPARE(fields(demoSchema_).size(), 3 * 7);
    }

    // Engine answers read as the lookup reads them; files of the service folder, none outside it.
    void answers_data()
    {
        QTest::addColumn<QString>("engine"); // empty: "site" is the path
        QTest::addColumn<QString>("site");
        QTest::addColumn<int>("status");
        QTest::addColumn<qint64>("count"); // -1: no count
        QTest::addColumn<QString>("shown");
        // clang-format off
        QTest::newRow("www and case") << "majestic-ips" << "WWW.Brandle-Demo.org" << 200 << 5678LL << "CC BY 3.0";
        QTest::newRow("outside the list") << "majestic-subnets" << "example.com" << 200 << -1LL << "No count: not among the million most linked domains";
        QTest::newRow("wikipedia, none") << "wikipedia" << "example.com" << 200 << 0LL << "articles linking";
        QTest::newRow("markup") << "majestic-subnets" << "<b>x.com" << 400 << -1LL << "Not a host name";
        QTest::newRow("status file") << "" << "/parlo/System/Link-Popularity-Status.txt" << 200 << -1LL << "Active";
        QTest::newRow("unknown file") << "" << "/parlo/System/Nothing.txt" << 404 << -1LL << "";
        QTest::newRow("parent inside") << "" << "/parlo/../../CMakeLists.txt" << 404 << -1LL << "";
        QTest::newRow("encoded parent") << "" << "/%2e%2e/CMakeLists.txt" << 404 << -1LL << "";
        QTest::newRow("unknown engine") << "" << "/engines/delta/search?site=a.com" << 404 << -1LL << "";
        // clang-format on
    }
    void answers()
    {
        QFETCH(QString, engine);
        QFETCH(QString, site);
        QFETCH(QString, shown);
        EngineEntry e;
        for (const EngineEntry& entry : schemaEngines(realSchema_))
            if (entry.LeftURL.contains(u"/engines/%1/"_s.arg(engine)))
                e = entry;
        QVERIFY(engine.isEmpty() || !e.LeftURL.isEmpty());
        const auto [status, body] =
            engine.isEmpty() ? real_.get(site.toUtf8()) : real_.ask(e, site);
        QTEST(status, "status");
        QTEST(readCount(body, e.LeftString.toStdString(), e.RightString.toStdString()), "count");
        QVERIFY2(QString::fromStdString(body).contains(shown), body.c_str());
    }

    // --help and --version answer; anything unknown is refused with a usage line and exit 2.
    void commandLine_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out"); // the start of standard output
        QTest::addColumn<QString>("err");
        // clang-format off
        QTest::newRow("help") << QStringList{u"--help"_s} << 0 << "Usage: brandle-host" << "";
        QTest::newRow("version") << QStringList{u"--version"_s} << 0 << "brandle-host " BRANDLE_VERSION "\n" << "";
        QTest::newRow("unknown option") << QStringList{u"--colour"_s, u"red"_s} << 2 << ""
            << "brandle-host: unknown option: --colour\nUsage: brandle-host [OPTION]... (see brandle-host --help)\n";
        // clang-format on
    }
    void commandLine()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, out);
        QProcess host;
        host.start(QString::fromUtf8(BRANDLE_HOST_BIN), args);
        QVERIFY(host.waitForFinished(brandle::WaitMs));
        QTEST(host.exitCode(), "exitCode");
        const QString stdOut = QString::fromUtf8(host.readAllStandardOutput());
        QVERIFY2(out.isEmpty() ? stdOut.isEmpty() : stdOut.startsWith(out), qPrintable(stdOut));
        QTEST(QString::fromUtf8(host.readAllStandardError()), "err");
    }

    // brandle-check prints the figures the fakes hold (distinct Wikipedia pages: 6).
    void brandleCheck()
    {
#ifndef BRANDLE_CHECK_BIN
        QSKIP("brandle-check is not part of this build");
#else
        QTemporaryDir home;
        const brandle::ScopedEnv config("XDG_CONFIG_HOME", home.filePath(u"config"_s).toUtf8());
        const brandle::ScopedEnv data("BRANDLE_HOME", home.filePath(u"home"_s).toUtf8());
        QProcess check;
        check.start(QString::fromUtf8(BRANDLE_CHECK_BIN),
                    {u"--host"_s, u"127.0.0.1:%1"_s.arg(real_.port), u"brandle-demo.org"_s,
                     u"http://Example.com"_s});
        QVERIFY(check.waitForFinished(brandle::WaitMs));
        const QString out = QString::fromLocal8Bit(check.readAllStandardOutput());
        // 5: an engine gave no count (example.com is outside the list).
        QVERIFY2(check.exitCode() == 5,
                 qPrintable(out + QString::fromLocal8Bit(check.readAllStandardError())));
        const auto row = [&](const QString& site, const QString& name) {
            const QRegularExpression re(QRegularExpression::escape(site) + u"\\n(?:.*\\n)*?  "_s +
                                        QRegularExpression::escape(name) +
                                        u" +([0-9,]+|no count)"_s);
            return re.match(out).captured(1);
        };
        QCOMPARE(row(u"brandle-demo.org"_s, u"Majestic referring subnets"_s), u"1,234"_s);
        QCOMPARE(row(u"brandle-demo.org"_s, u"Majestic referring IPs"_s), u"5,678"_s);
        QCOMPARE(row(u"brandle-demo.org"_s, u"Wikipedia articles linking"_s), u"6"_s);
        QCOMPARE(row(u"brandle-demo.org"_s, u"Total"_s), u"6,918"_s);
#endif
    }
};

QTEST_GUILESS_MAIN(HostTest)
#include "tst_host.moc"

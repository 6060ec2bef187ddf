// SPDX-License-Identifier: MIT
// brandle-host over HTTP, its real engines with local fakes as upstreams, and brandle-check on it.

#include "ExturlWalk.h"
#include "Fakes.h"
#include "Keyring.h"

#include "engine/Schema.h"

#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <signal.h>

namespace {

const QByteArray kSchemaPath = "/parlo/System/Link-Popularity-Schema.xml";

// Runs brandle-check against the host with its settings and program folder in dir: its exit
// code and what it printed.
std::pair<int, QString> runCheck(int port, const QTemporaryDir& dir, const QString& site)
{
    const brandle::ScopedEnv config("XDG_CONFIG_HOME", dir.filePath(u"config"_s).toUtf8());
    const brandle::ScopedEnv data("BRANDLE_HOME", dir.filePath(u"home"_s).toUtf8());
    QProcess check;
    check.start(QString::fromUtf8(BRANDLE_CHECK_BIN),
                {u"--host"_s, u"127.0.0.1:%1"_s.arg(port), site});
    check.waitForFinished(brandle::WaitMs);
    return {check.exitCode(),
            QString::fromLocal8Bit(check.readAllStandardOutput() + check.readAllStandardError())};
}

// A brandle-host process on a port of its own choice; its log holds both of its outputs.
struct HostProcess {
    bool start(const QStringList& args)
    {
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(QString::fromUtf8(BRANDLE_HOST_BIN), args + QStringList{u"--port"_s, u"0"_s});
        const QRegularExpression listening(u"listening on http://[0-9.]+:(\\d+)"_s);
        while (port == 0 && process.waitForReadyRead(brandle::WaitMs))
            port = listening.match(log()).captured(1).toInt();
        return port != 0;
    }
    QString log() { return output += QString::fromUtf8(process.readAllStandardOutput()); }
    // The status (-1: no answer) and body of a GET, or of a POST without a body; the path is
    // sent exactly as written.
    std::pair<int, std::string> get(const QByteArray& path, bool post = false) const
    {
        httplib::Client client("127.0.0.1", port);
        client.set_url_encode(false);
        const auto res = post ? client.Post(path.toStdString()) : client.Get(path.toStdString());
        return {res ? res->status : -1, res ? res->body : std::string()};
    }
    // Ends the host with SIGTERM; true when it ended cleanly within 10 s.
    bool stop()
    {
        return process.processId() > 0 && ::kill(pid_t(process.processId()), SIGTERM) == 0 &&
               process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit &&
               process.exitCode() == 0;
    }

    QProcess process;
    QString output;
    int port = 0;
};

// A host asking the fakes' keyed APIs, with a settings file in dir that is private to the user
// and ends with these lines; it finds no keyring unless the test runs with one.
bool startKeyed(HostProcess& host, const FakeKeyedApis& apis, const QTemporaryDir& dir,
                const std::string& keys)
{
    const QString conf = dir.filePath(u"brandle-host.conf"_s);
    const std::string settings =
        "engines = bing,moz,dataforseo\nmoz-interval = 0\nbing-api = " + apis.api("bing") +
        "\nmoz-api = " + apis.api("moz") + "\ndataforseo-api = " + apis.api("dataforseo") +
        "\ncache = " + dir.filePath(u"cache"_s).toStdString() + "\n" + keys;
    if (qgetenv("BRANDLE_TEST_KEYRING") != "1") {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, u"unix:path=/nonexistent"_s);
        host.process.setProcessEnvironment(env);
    }
    return brandle::writeFile(conf, QByteArray::fromStdString(settings)) &&
           QFile::setPermissions(conf, QFile::ReadOwner | QFile::WriteOwner) &&
           host.start(
               {u"--config"_s, conf, u"--root"_s, QString::fromUtf8(BRANDLE_TEST_SERVICE_DIR)});
}

} // namespace

class HostTest : public QObject {
    Q_OBJECT

    HostProcess demo_; // the project's service folder with the demo engines
    HostProcess real_; // the real engines, with the fakes below as upstreams
    brandle::TestServer majestic_;
    FakeWiki wiki_;
    QTemporaryDir cache_;

private slots:
    void initTestCase()
    {
        const QString root = QString::fromUtf8(BRANDLE_TEST_SERVICE_DIR);
        QVERIFY(demo_.start({u"--demo"_s, u"--root"_s, root, u"--allow-host"_s, u"Brandle.lan"_s}));
        majestic_.route(u"/m.csv"_s, QByteArray::fromStdString(majesticList(
                                         {majesticLine(1, "brandle-demo.org", 1234, 5678),
                                          majesticLine(2, "www.listed-www.org", 7, 8),
                                          majesticLine(3, "huge.org", 1'000'000'001, 9)})));
        majestic_.start();
        QVERIFY(real_.start({u"--root"_s, root, u"--cache"_s, cache_.path(), u"--majestic-url"_s,
                             majestic_.url(u"/m.csv"_s), u"--wikipedia-api"_s,
                             QString::fromStdString(wiki_.api())}));
        QTRY_VERIFY_WITH_TIMEOUT(real_.log().contains(u"majestic: loaded "_s), brandle::WaitMs);
    }

    void cleanupTestCase()
    {
        QVERIFY(demo_.stop());
        QVERIFY(real_.stop());
    }

    // In demo mode the served engines are those of the bundled schema file, field for field.
    void demoSchemaAsBundled()
    {
        const QString bundled =
            brandle::readText(QString::fromUtf8(BRANDLE_TEST_SERVICE_DIR + kSchemaPath))
                .replace(u"{host}"_s, u"127.0.0.1:%1"_s.arg(demo_.port));
        const auto fields = [](const QString& schema) { // as the program reads them
            const brandle::EngineSchema parsed(schema);
            QStringList out;
            for (int i = 0; i < parsed.engineCount(); ++i) {
                const auto e = parsed.engine(i);
                out << e.EngineName << e.EngineHome << e.LeftURL << e.RightURL << e.LeftString
                    << e.RightString << e.ReplaceDot << e.Unit;
            }
            return out;
        };
        QCOMPARE(fields(QString::fromStdString(demo_.get(kSchemaPath).second)), fields(bundled));
        QCOMPARE(fields(bundled).size(), 3 * 8);
    }

    // Engine answers as the lookup reads them; files of the service folder, none outside it.
    void answers_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<int>("status");
        QTest::addColumn<qint64>("count"); // -1: no count
        QTest::addColumn<QString>("shown");
        const QByteArray subnets = "/engines/majestic-subnets/search?site=";
        const QByteArray ips = "/engines/majestic-ips/search?site=";
        // clang-format off
        QTest::newRow("www and case") << ips + "WWW.Brandle-Demo.org" << 200 << 5678LL << "CC BY 3.0";
        QTest::newRow("outside the list") << subnets + "example.com" << 200 << -1LL << "No count: <output id=\"reason\">not among the million most linked domains</output>";
        QTest::newRow("listed with www.") << subnets + "listed-www.org" << 200 << 7LL << "";
        QTest::newRow("figure beyond a 32-bit total") << subnets + "huge.org" << 200 << -1LL << "1,000,000,001, is too large";
        QTest::newRow("a smaller figure of that row") << ips + "huge.org" << 200 << 9LL << "";
        QTest::newRow("wikipedia, none") << QByteArray("/engines/wikipedia/search?site=example.com") << 200 << 0LL << "articles linking";
        QTest::newRow("markup") << subnets + "%3Cb%3Ex.com" << 400 << -1LL << "Not a host name";
        QTest::newRow("unknown file") << QByteArray("/parlo/System/Nothing.txt") << 404 << -1LL << "";
        QTest::newRow("parent inside") << QByteArray("/parlo/../../CMakeLists.txt") << 404 << -1LL << "";
        QTest::newRow("encoded parent") << QByteArray("/%2e%2e/CMakeLists.txt") << 404 << -1LL << "";
        QTest::newRow("sources") << QByteArray("/sources") << 200 << -1LL << R"("id":"majestic","key":null,"name":"Majestic Million","progress":null,"release":null,"state":"ready","terms":"Majestic Million by Majestic, licence CC BY 3.0")";
        QTest::newRow("unknown engine") << QByteArray("/engines/delta/search?site=a.com") << 404 << -1LL << "";
        // clang-format on
    }
    void answers()
    {
        QFETCH(QByteArray, path);
        QFETCH(QString, shown);
        const auto [status, body] = real_.get(path);
        QTEST(status, "status");
        QTEST(readCount(body), "count");
        QVERIFY2(QString::fromStdString(body).contains(shown), body.c_str());
    }

    // What the host refuses before it routes a request: too large a head, a body, another
    // method, a Host header that names another host (as a page does after DNS rebinding).
    void requests_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<int>("status");
        const QByteArray get = "GET /parlo/System/Link-Popularity-Status.txt HTTP/1.1\r\n";
        const QByteArray local = "Host: 127.0.0.1:8750\r\n";
        const QByteArray fill = "X-Fill: " + QByteArray(1000, 'a') + "\r\n";
        // clang-format off
        QTest::newRow("head of 16 KB") << get + local + fill.repeated(15) + "\r\n" << 200;
        QTest::newRow("head beyond 16 KiB") << get + local + fill.repeated(17) + "\r\n" << 431;
        QTest::newRow("POST") << "POST /parlo/System/Link-Popularity-Status.txt HTTP/1.1\r\n" + local + "Content-Length: 2\r\n\r\nab" << 405;
        QTest::newRow("source test with a body") << "POST /sources/moz/test HTTP/1.1\r\n" + local + "Content-Length: 2\r\n\r\nab" << 413;
        QTest::newRow("chunked body") << get + local + "Transfer-Encoding: chunked\r\n\r\n2\r\nab\r\n0\r\n\r\n" << 413;
        QTest::newRow("Host localhost") << get + "Host: localhost:8750\r\n\r\n" << 200;
        QTest::newRow("Host [::1]") << get + "Host: [::1]:8750\r\n\r\n" << 200;
        QTest::newRow("Host of allow-host") << get + "Host: brandle.lan\r\n\r\n" << 200;
        QTest::newRow("Host of another site") << get + "Host: attacker.example:8750\r\n\r\n" << 403;
        QTest::newRow("Host under localhost") << get + "Host: localhost.attacker.example\r\n\r\n" << 403;
        QTest::newRow("no Host") << get + "\r\n" << 403;
        // clang-format on
    }
    void requests()
    {
        QFETCH(QByteArray, request);
        QTEST(rawStatus(demo_.port, request), "status");
    }

    // The service documents answer while 40 lookups wait on Wikipedia and 40 clients send
    // their heads slowly: all of these come first.
    void documentsWhileLookupsWait()
    {
        wiki_.setMode(FakeWiki::Mode::Held);
        std::vector<int> clients;
        for (int i = 0; i < 40; ++i) {
            clients.push_back(sendRaw(real_.port, "GET /engines/wikipedia/search?site=s" +
                                                      QByteArray::number(i) +
                                                      ".org HTTP/1.1\r\nHost: localhost\r\n\r\n"));
            clients.push_back(sendRaw(real_.port, "GET / HTTP/1.1\r\nHost: localhost\r\n"));
        }
        QCOMPARE(rawStatus(real_.port, "GET /parlo/System/Link-Popularity-Status.txt HTTP/1.1\r\n"
                                       "Host: localhost\r\n\r\n"),
                 200);
        wiki_.setMode(FakeWiki::Mode::Normal);
        for (const int fd : clients)
            ::close(fd);
    }

    // Bound to every address, the host says so and still answers only for its names.
    void openBind()
    {
        HostProcess open;
        QVERIFY(open.start({u"--demo"_s, u"--bind"_s, u"0.0.0.0"_s}));
        QVERIFY(open.log().contains(
            u"brandle-host: warning: 0.0.0.0 can be reached from other computers"_s));
        const QByteArray get = "GET /parlo/System/Link-Popularity-Status.txt HTTP/1.1\r\n";
        QCOMPARE(rawStatus(open.port, get + "Host: attacker.example\r\n\r\n"), 403);
        QCOMPARE(rawStatus(open.port, get + "Host: 0.0.0.0\r\n\r\n"), 200);
        QVERIFY(open.stop());
    }

    // --help and --version answer; anything unknown is refused with a usage line and exit 2; a
    // second host on the cache folder of another names it and ends.
    void commandLine_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out"); // the start of standard output
        QTest::addColumn<QString>("err");
        // clang-format off
        QTest::newRow("help") << QStringList{u"--help"_s} << 0 << "Usage: brandle-host [options]\n" << "";
        QTest::newRow("version") << QStringList{u"--version"_s} << 0 << "brandle-host " BRANDLE_VERSION "\n" << "";
        QTest::newRow("unknown option") << QStringList{u"--colour"_s, u"red"_s} << 2 << ""
            << "brandle-host: unknown option: --colour\nUsage: brandle-host [options]\n"
               "Try 'brandle-host --help' for more information.\n";
        QTest::newRow("cache in use") << QStringList{u"--port"_s, u"0"_s, u"--cache"_s, cache_.path(), u"--engines"_s, u"wikipedia"_s} << 1 << ""
            << u"brandle-host: the cache folder %1 is in use by another brandle-host (process %2); one host per cache folder\n"_s.arg(cache_.path()).arg(real_.process.processId());
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
        for (const QString& line : stdOut.split(u'\n')) // a terminal of 80 columns
            QVERIFY2(line.size() <= 80, qPrintable(line));
        QTEST(QString::fromUtf8(host.readAllStandardError()), "err");
    }

    // brandle-check prints the figures the fakes hold and the reason for none, and ends with 5.
    // No key reaches an output, an answer or a file of the host or of brandle-check, even
    // when an upstream echoes it; a request address is logged with "***" for its key.
    void keysNeverShown()
    {
        FakeKeyedApis apis;
        QTemporaryDir dir;
        const std::string wrongToken = "mozWRONG+9/echo";
        HostProcess host;
        QVERIFY(startKeyed(host, apis, dir,
                           "bing-key = " + std::string(FakeKeyedApis::kBingKey) +
                               "\ndataforseo-login = " + FakeKeyedApis::kLogin +
                               "\ndataforseo-password = " + FakeKeyedApis::kPassword +
                               "\nmoz-token = " + wrongToken + "\n"));
        const auto [exitCode, out] = runCheck(host.port, dir, u"example.com"_s);
        QVERIFY2(exitCode == 5, qPrintable(out));
        QVERIFY2(out.contains(u"  Bing inbound links                  26  first count\n"
                              "  Moz linking root domains      no count  Moz refused the key (bad "
                              "token ***)\n"
                              "  DataForSEO referring domains       654  first count\n"_s),
                 qPrintable(out));
        std::string answers = host.get("/sources").second;
        const auto test = host.get("/sources/moz/test?site=example.com", true);
        QCOMPARE(test.first, 200);
        QVERIFY2(test.second.find("Moz refused the key (bad token ***)") != std::string::npos,
                 test.second.c_str());
        // A web page cannot spend a paid lookup.
        QCOMPARE(rawStatus(host.port, "GET /engines/dataforseo/search?site=b.org HTTP/1.1\r\n"
                                      "Host: localhost\r\nSec-Fetch-Site: cross-site\r\n\r\n"),
                 403);
        QCOMPARE(apis.requests("dataforseo"), 1);
        apis.setMode(FakeKeyedApis::Mode::Limit);
        answers += test.second + host.get("/sources/bing/test?site=example.com", true).second;
        QVERIFY(host.stop());
        QString shown = host.log() + out + QString::fromStdString(answers);
        QVERIFY2(shown.contains(u"/bing/GetUserSites?apikey=*** answered HTTP 400"_s),
                 qPrintable(shown));
        for (QDirIterator files(dir.path(), QDir::Files, QDirIterator::Subdirectories);
             files.hasNext();) {
            if (const QString file = files.next(); !file.endsWith(u"/brandle-host.conf"_s))
                shown += QString::fromLatin1(brandle::readBytes(file));
        }
        const QByteArray basic = QByteArray(FakeKeyedApis::kLogin) + ':' + FakeKeyedApis::kPassword;
        for (const std::string& key :
             {std::string(FakeKeyedApis::kBingKey),
              brandle::host::urlEncode(FakeKeyedApis::kBingKey), wrongToken,
              std::string(FakeKeyedApis::kPassword), basic.toBase64().toStdString()})
            QVERIFY2(!shown.contains(QString::fromStdString(key)), key.c_str());
    }

    // With a keyring (a private D-Bus session with gnome-keyring, run by the test host_keyring):
    // the key that the settings window stores is used by the host's next lookup, no restart.
    void keyring()
    {
        if (qgetenv("BRANDLE_TEST_KEYRING") != "1")
            QSKIP("needs a private keyring: ctest -R host_keyring");
        const auto store = [](const QString& value) {
            std::optional<brandle::keyring::Answer> answer;
            QObject context;
            brandle::keyring::write(QString::fromLatin1(brandle::keyring::BingKey), value, &context,
                                    [&](const brandle::keyring::Answer& a) { answer = a; });
            return QTest::qWaitFor([&] { return answer.has_value(); }, brandle::WaitMs) &&
                   answer->kind == brandle::keyring::Answer::Kind::Done;
        };
        FakeKeyedApis apis;
        QTemporaryDir dir;
        QVERIFY(store(u"stale-key"_s));
        HostProcess host;
        QVERIFY(startKeyed(host, apis, dir, {}));
        QVERIFY(host.get("/sources").second.find(R"("key":"keyring")") != std::string::npos);
        const QByteArray site = "/engines/bing/search?site=example.com";
        QVERIFY(host.get(site).second.find("refused the key") != std::string::npos);
        QVERIFY(store(QString::fromLatin1(FakeKeyedApis::kBingKey)));
        QCOMPARE(readCount(host.get(site).second), 26);
        QVERIFY(host.stop());
        QVERIFY(!host.log().contains(QString::fromLatin1(FakeKeyedApis::kBingKey)));
    }
};

QTEST_GUILESS_MAIN(HostTest)
#include "tst_host.moc"

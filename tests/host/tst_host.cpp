// SPDX-License-Identifier: MIT
// Tests of the brandle-host program over HTTP: the demo engines as they were, and the real
// engines with local fakes as their upstreams, read the way the lookup reads them; then
// brandle-check against the host with the real engines.

#include "DemoEngine.h"
#include "Fakes.h"

#include <httplib.h>

#include <QFile>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QXmlStreamReader>

#include <signal.h>

using namespace brandle::host;
using namespace Qt::StringLiterals;

namespace {

// The engine entries of a schema in order, each field with CDATA and entities resolved.
QList<QHash<QString, QString>> schemaEngines(const QString& schema)
{
    QList<QHash<QString, QString>> engines;
    QXmlStreamReader xml(schema);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"Engine"_s) {
            QHash<QString, QString> fields;
            while (xml.readNextStartElement())
                fields.insert(xml.name().toString(), xml.readElementText());
            engines << fields;
        }
    }
    return engines;
}

// The entry whose query address goes to /engines/<id>/.
QHash<QString, QString> engineFields(const QString& schema, const QString& id)
{
    for (const auto& fields : schemaEngines(schema))
        if (fields.value(u"LeftURL"_s).contains(u"/engines/%1/"_s.arg(id)))
            return fields;
    return {};
}

// A brandle-host process on a port of its own choice.
class HostProcess {
public:
    bool start(const QStringList& args)
    {
        process_.start(QString::fromUtf8(BRANDLE_HOST_BIN),
                       args + QStringList{u"--port"_s, u"0"_s});
        const QRegularExpression listening(u"listening on http://127\\.0\\.0\\.1:(\\d+)"_s);
        while (port_ == 0 && process_.waitForReadyRead(5000)) {
            output_ += QString::fromUtf8(process_.readAllStandardOutput());
            port_ = listening.match(output_).captured(1).toInt();
        }
        return port_ != 0;
    }
    // Everything the host printed so far.
    QString log()
    {
        output_ += QString::fromUtf8(process_.readAllStandardOutput());
        return output_;
    }
    // The status (-1: no answer) and body; the path is sent exactly as written.
    std::pair<int, std::string> get(const QString& path) const
    {
        httplib::Client client("127.0.0.1", port_);
        client.set_url_encode(false);
        const auto res = client.Get(path.toStdString());
        return {res ? res->status : -1, res ? res->body : std::string()};
    }
    // The engine's answer for the site, asked at the address the schema entry gives.
    std::pair<int, std::string> ask(const QHash<QString, QString>& engine,
                                    const QString& site) const
    {
        const QString url = engine.value(u"LeftURL"_s) +
                            QString::fromLatin1(QUrl::toPercentEncoding(site))
                                .replace(u"."_s, engine.value(u"ReplaceDot"_s)) +
                            engine.value(u"RightURL"_s);
        return get(u"/"_s + url.section(u'/', 3));
    }
    QString schema() const
    {
        return QString::fromStdString(get(u"/parlo/System/Link-Popularity-Schema.xml"_s).second);
    }
    int port() const { return port_; }
    QProcess& process() { return process_; }

private:
    QProcess process_;
    QString output_;
    int port_ = 0;
};

} // namespace

class HostTest : public QObject {
    Q_OBJECT

    HostProcess demo_; // serves the project's service folder with the demo engines
    HostProcess real_; // the real engines, with the fakes below as upstreams
    FakeMajestic majestic_;
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

        majestic_.setList(std::string(kMajesticHeader) + "\n" +
                              majesticLine(1, "google.com", 345862, 2029543) + "\n" +
                              majesticLine(2, "brandle-demo.org", 1234, 5678) + "\n",
                          "\"list-1\"");
        majestic_.start();
        wiki_.setLinks("brandle-demo.org", {11, 12, 13, 14, 15});
        wiki_.setLinks("*.brandle-demo.org", {15, 16});
        wiki_.start();
        QVERIFY(real_.start({u"--root"_s, root, u"--cache"_s, cache_.path(), u"--majestic-url"_s,
                             QString::fromStdString(majestic_.url()), u"--wikipedia-api"_s,
                             QString::fromStdString(wiki_.api())}));
        QTRY_VERIFY_WITH_TIMEOUT(real_.log().contains(u"majestic: loaded 2 domains"_s), 10000);
        realSchema_ = real_.schema();
    }
    // The hosts end cleanly on SIGTERM.
    void cleanupTestCase()
    {
        for (HostProcess* host : {&demo_, &real_}) {
            QCOMPARE(::kill(pid_t(host->process().processId()), SIGTERM), 0);
            QVERIFY2(host->process().waitForFinished(2000), "still running 2 s after the signal");
            QCOMPARE(host->process().exitStatus(), QProcess::NormalExit);
            QCOMPARE(host->process().exitCode(), 0);
        }
    }

    void demoEngine_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("site");
        // clang-format off
        QTest::newRow("alpha") << "alpha" << "example.com";
        QTest::newRow("beta, subdomains") << "beta" << "www.sub.brandle-demo.org";
        QTest::newRow("gamma, markup in site") << "gamma" << "<script>x.com";
        // clang-format on
    }
    // Over two days the count depends only on its arguments (not the site's letter case), stays
    // in the variation band, and both rises and falls. The answer page, fetched and read the way
    // the program reads the served schema entry, carries the count of the hour right after the
    // first LeftString.
    void demoEngine()
    {
        QFETCH(QString, id);
        QFETCH(QString, site);
        const auto count = [&](const QString& s, const std::string& hour) {
            return demoCount(id.toStdString(), s.toStdString(), hour);
        };
        std::vector<std::uint64_t> counts;
        for (int hour = 0; hour < 48; ++hour) {
            const std::string key = "202603" + std::to_string(1400 + hour / 24 * 100 + hour % 24);
            counts.push_back(count(site, key));
            QCOMPARE(count(site.toUpper(), key), counts.back());
            QVERIFY(counts.back() >= kDemoMinBase * (1000 - kDemoVariationPermille) / 1000 &&
                    counts.back() <= kDemoMaxBase * (1000 + kDemoVariationPermille) / 1000);
        }
        QVERIFY(!std::is_sorted(counts.begin(), counts.end()));
        QVERIFY(!std::is_sorted(counts.rbegin(), counts.rend()));

        const QHash<QString, QString> e = engineFields(demoSchema_, id);
        QVERIFY2(e.value(u"LeftURL"_s)
                     .startsWith(u"http://127.0.0.1:%1/engines/%2/"_s.arg(demo_.port()).arg(id)),
                 qPrintable(e.value(u"LeftURL"_s)));
        const std::string hourBefore = hourKey(std::time(nullptr));
        const auto [status, body] = demo_.ask(e, site);
        const std::string hourAfter = hourKey(std::time(nullptr));
        QCOMPARE(status, 200);
        QVERIFY2(body.find("<script>") == std::string::npos, body.c_str()); // the site is escaped
        const auto n = readCount(body, e.value(u"LeftString"_s).toStdString(),
                                 e.value(u"RightString"_s).toStdString());
        QVERIFY2(n, body.c_str());
        QVERIFY(*n == count(site, hourBefore) || *n == count(site, hourAfter));
    }

    // In demo mode the served engines are those of the bundled schema file, field for field.
    void demoSchemaAsBundled()
    {
        QFile file(
            QString::fromUtf8(BRANDLE_TEST_SERVICE_DIR "/parlo/System/Link-Popularity-Schema.xml"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString bundled = QString::fromUtf8(file.readAll())
                                    .replace(u"{host}"_s, u"127.0.0.1:%1"_s.arg(demo_.port()));
        QCOMPARE(schemaEngines(demoSchema_), schemaEngines(bundled));
        QCOMPARE(schemaEngines(demoSchema_).size(), 3);
        QVERIFY(demoSchema_.contains(u"<LPResults></LPResults>"_s));
    }

    void files_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("body"); // of a 200
        // The service folder sits next to the project's CMakeLists.txt, a real file to reach for.
        // clang-format off
        QTest::newRow("status") << "/parlo/System/Link-Popularity-Status.txt" << 200 << "Active";
        QTest::newRow("unknown file") << "/parlo/System/Nothing.txt" << 404 << "";
        QTest::newRow("parent inside") << "/parlo/../../CMakeLists.txt" << 404 << "";
        QTest::newRow("encoded parent") << "/%2e%2e/CMakeLists.txt" << 404 << "";
        QTest::newRow("unknown engine") << "/engines/delta/search?site=a.com" << 404 << "";
        // clang-format on
    }
    void files()
    {
        QFETCH(QString, path);
        QFETCH(int, status);
        QFETCH(QString, body);
        const auto [gotStatus, gotBody] = demo_.get(path);
        QCOMPARE(gotStatus, status);
        if (status == 200)
            QCOMPARE(QString::fromStdString(gotBody), body);
    }

    // The served schema lists the enabled engines in order and credits the sources; the window
    // parameters and the results slot stay. (The answers below are read with its markers.)
    void realSchema()
    {
        const auto engines = schemaEngines(realSchema_);
        QStringList names;
        for (const auto& e : engines)
            names << e.value(u"EngineName"_s);
        QCOMPARE(names, (QStringList{u"Majestic referring subnets"_s, u"Majestic referring IPs"_s,
                                     u"Wikipedia articles linking"_s}));
        QCOMPARE(engines[0].value(u"LeftURL"_s),
                 u"http://127.0.0.1:%1/engines/majestic-subnets/search?site="_s.arg(real_.port()));
        for (const char* text :
             {"<LPResults></LPResults>", "<WinSleep>60</WinSleep>", "<Name>Majestic Million</Name>",
              "<Licence>CC BY 3.0</Licence>", "<Name>Wikipedia</Name>"})
            QVERIFY2(realSchema_.contains(QLatin1StringView(text)), text);
    }

    void realAnswers_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<QString>("site");
        QTest::addColumn<int>("status");
        QTest::addColumn<qint64>("count"); // -1: no count
        QTest::addColumn<QString>("shown");
        // clang-format off
        QTest::newRow("subnets") << "majestic-subnets" << "google.com" << 200 << 345862LL << "referring subnets";
        QTest::newRow("IPs") << "majestic-ips" << "google.com" << 200 << 2029543LL << "referring IP addresses";
        QTest::newRow("www and case") << "majestic-ips" << "WWW.Brandle-Demo.org" << 200 << 5678LL << "CC BY 3.0";
        QTest::newRow("outside the list") << "majestic-subnets" << "example.com" << 200 << -1LL << "No count: not among the million most linked domains";
        QTest::newRow("wikipedia") << "wikipedia" << "brandle-demo.org" << 200 << 6LL << "articles linking";
        QTest::newRow("wikipedia, none") << "wikipedia" << "example.com" << 200 << 0LL << "articles linking";
        QTest::newRow("markup") << "majestic-subnets" << "<b>x.com" << 400 << -1LL << "Not a host name";
        QTest::newRow("path") << "wikipedia" << "example.com/page" << 400 << -1LL << "Not a host name";
        // clang-format on
    }
    void realAnswers()
    {
        QFETCH(QString, engine);
        QFETCH(QString, site);
        QFETCH(int, status);
        QFETCH(qint64, count);
        QFETCH(QString, shown);
        const QHash<QString, QString> e = engineFields(realSchema_, engine);
        QVERIFY(!e.isEmpty());
        const auto [gotStatus, body] = real_.ask(e, site);
        QCOMPARE(gotStatus, status);
        const auto n = readCount(body, e.value(u"LeftString"_s).toStdString(),
                                 e.value(u"RightString"_s).toStdString());
        QCOMPARE(n ? qint64(*n) : -1LL, count);
        QVERIFY2(QString::fromStdString(body).contains(shown), body.c_str());
    }

    // --help and --version answer on standard output; anything unknown is refused with a
    // usage line and exit 2.
    void commandLine_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        // clang-format off
        QTest::newRow("help") << QStringList{u"--help"_s} << 0 << "Usage: brandle-host" << "";
        QTest::newRow("version") << QStringList{u"--version"_s} << 0
                                 << "brandle-host " BRANDLE_VERSION "\n" << "";
        QTest::newRow("unknown option") << QStringList{u"--colour"_s, u"red"_s} << 2 << ""
            << "brandle-host: unknown option: --colour\nUsage: brandle-host [OPTION]... "
               "(see brandle-host --help)\n";
        // clang-format on
    }
    void commandLine()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QProcess host;
        host.start(QString::fromUtf8(BRANDLE_HOST_BIN), args);
        QVERIFY(host.waitForFinished(10000));
        QCOMPARE(host.exitCode(), exitCode);
        const QString stdOut = QString::fromUtf8(host.readAllStandardOutput());
        QVERIFY2(out.isEmpty() ? stdOut.isEmpty() : stdOut.startsWith(out), qPrintable(stdOut));
        QCOMPARE(QString::fromUtf8(host.readAllStandardError()), err);
    }

    // brandle-check, the lookup of the program itself, prints the figures the fakes hold.
    void brandleCheck()
    {
#ifndef BRANDLE_CHECK_BIN
        QSKIP("brandle-check is not part of this build");
#else
        QTemporaryDir home;
        QProcess check;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"XDG_CONFIG_HOME"_s, home.filePath(u"config"_s));
        env.insert(u"BRANDLE_HOME"_s, home.filePath(u"home"_s));
        check.setProcessEnvironment(env);
        check.start(QString::fromUtf8(BRANDLE_CHECK_BIN),
                    {u"--host"_s, u"127.0.0.1:%1"_s.arg(real_.port()), u"brandle-demo.org"_s,
                     u"http://Example.com"_s});
        QVERIFY(check.waitForFinished(30000));
        const QString out = QString::fromLocal8Bit(check.readAllStandardOutput());
        // 5: done, but an engine gave no count (example.com is outside the list).
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
        // Outside the list: the Majestic engines give no count, which the table says.
        QCOMPARE(row(u"example.com"_s, u"Majestic referring subnets"_s), u"no count"_s);
        QCOMPARE(row(u"example.com"_s, u"Total"_s), u"0"_s);
#endif
    }
};

QTEST_GUILESS_MAIN(HostTest)
#include "tst_host.moc"

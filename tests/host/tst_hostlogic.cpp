// SPDX-License-Identifier: MIT
// brandle-host's logic without network or database.

#include "DemoEngine.h"
#include "ExturlWalk.h"
#include "HostConfig.h"
#include "SiteName.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace brandle::host;

class HostLogicTest : public QObject {
    Q_OBJECT

private slots:
    void siteNames_data()
    {
        QTest::addColumn<QByteArray>("site");
        QTest::addColumn<QString>("name"); // empty: refused
        using B = QByteArray;
        const B label63(63, 'a');
        const B name253 = label63 + '.' + label63 + '.' + label63 + '.' + B(61, 'b');
        QTest::newRow("upper case") << B("Example.COM") << "example.com";
        QTest::newRow("trailing dot") << B("example.com.") << "example.com";
        QTest::newRow("www dropped once") << B("www.www.example.com") << "www.example.com";
        QTest::newRow("www kept before a top-level name") << B("www.com") << "www.com";
        QTest::newRow("other subdomain kept") << B("blog.example.com") << "blog.example.com";
        QTest::newRow("unicode upper case") << B("BÜCHER.de") << "xn--bcher-kva.de";
        QTest::newRow("253 characters") << name253 << QString::fromLatin1(name253);
        QTest::newRow("254 characters") << name253 + 'b' << "";
        QTest::newRow("label of 64") << B(label63 + "a.com") << "";
        QTest::newRow("scheme") << B("http://example.com") << "";
        QTest::newRow("empty label") << B("example..com") << "";
        QTest::newRow("hyphen ends a label") << B("example-.com") << "";
        QTest::newRow("not UTF-8") << B("\xff\xfe.com") << "";
        QTest::newRow("NUL inside") << B("exa\0mple.com", 12) << "";
    }
    void siteNames()
    {
        QFETCH(QByteArray, site);
        const std::optional<std::string> got = lookupHostName(site.toStdString());
        QTEST(got ? QString::fromStdString(*got) : QString(), "name");
    }

    // Over two days a demo count depends only on its arguments (not the site's letter case),
    // stays in the band, and both rises and falls.
    void demoEngine()
    {
        for (const std::string id : {"alpha", "beta", "gamma"}) {
            std::vector<std::uint64_t> counts;
            for (int hour = 0; hour < 48; ++hour) {
                const std::string key =
                    "202603" + std::to_string(1400 + hour / 24 * 100 + hour % 24);
                counts.push_back(demoCount(id, "Sub.Example.com", key));
                QCOMPARE(demoCount(id, "sub.example.COM", key), counts.back());
                QVERIFY(counts.back() >= kDemoMinBase * (1000 - kDemoVariationPermille) / 1000 &&
                        counts.back() <= kDemoMaxBase * (1000 + kDemoVariationPermille) / 1000);
            }
            QVERIFY(!std::is_sorted(counts.begin(), counts.end()));
            QVERIFY(!std::is_sorted(counts.rbegin(), counts.rend()));
        }
    }

    // Defaults, then the default file (when there is one), then the command line.
    void config_data()
    {
        QTest::addColumn<QString>("ini"); // the default file; none when empty
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("engines");
        QTest::addColumn<QString>("wikipediaApi");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("error"); // part of the error text; empty: accepted
        QTest::addColumn<bool>("folder");   // the default file is a folder, which is no default
        const QStringList real{u"majestic-subnets"_s, u"majestic-ips"_s, u"wikipedia"_s};
        const QString en = u"https://en.wikipedia.org/w/api.php"_s;
        using L = QStringList;
        // clang-format off
        QTest::newRow("defaults") << "" << L{} << real << en << 8750 << "" << false;
        QTest::newRow("file sets engines") << "engines = wikipedia , majestic-ips\n" << L{} << L{u"wikipedia"_s, u"majestic-ips"_s} << en << 8750 << "" << false;
        QTest::newRow("command line wins") << "port = 9000\n" << L{u"--port"_s, u"9100"_s} << real << en << 9100 << "" << false;
        QTest::newRow("engines after --demo") << "" << L{u"--demo"_s, u"--engines"_s, u"wikipedia"_s} << L{u"wikipedia"_s} << en << 8750 << "" << false;
        QTest::newRow("language") << "wikipedia-language = de\n" << L{} << real << "https://de.wikipedia.org/w/api.php" << 8750 << "" << false;
        QTest::newRow("api wins over language") << "wikipedia-api = http://127.0.0.1:2/api.php\n" << L{u"--wikipedia-language"_s, u"de"_s} << real << "http://127.0.0.1:2/api.php" << 8750 << "" << false;
        QTest::newRow("unknown key") << "\ncolour = red\n" << L{} << L{} << "" << 0 << "line 2: unknown key colour" << false;
        QTest::newRow("port past the last") << "port = 65536\n" << L{} << L{} << "" << 0 << "line 1: port: not a port number" << false;
        QTest::newRow("unknown engine") << "" << L{u"--engines"_s, u"google"_s} << L{} << "" << 0 << "unknown engine: google" << false;
        QTest::newRow("not http") << "" << L{u"--majestic-url"_s, u"file:///etc/passwd"_s} << L{} << "" << 0 << "not an http" << false;
        QTest::newRow("release with a path") << "" << L{u"--commoncrawl-release"_s, u"../x"_s} << L{} << "" << 0 << "commoncrawl-release: not a release name" << false;
        QTest::newRow("key on the command line") << "" << L{u"--moz-token=s3cret"_s} << L{} << "" << 0 << "--moz-token: a key is not taken from the command line" << false;
        QTest::newRow("key in a file others read") << "bing-key = s3cret\n" << L{} << L{} << "" << 0 << "brandle-host.conf holds a key but can be read by others (mode 0644); make it private with: chmod 600" << false;
        QTest::newRow("key with a control character") << "dataforseo-password = a\tb\n" << L{} << L{} << "" << 0 << "line 1: dataforseo-password: empty, longer than 512 characters or with control characters" << false;
        QTest::newRow("relative cache") << "" << L{u"--cache"_s, u"cache"_s} << L{} << "" << 0 << "cache: not an absolute path: cache" << false;
        QTest::newRow("allow-host with a path") << "" << L{u"--allow-host"_s, u"a.lan/x"_s} << L{} << "" << 0 << "allow-host: not a host name: a.lan/x" << false;
        QTest::newRow("missing --config file") << "" << L{u"--config"_s, u"/nonexistent/none.conf"_s} << L{} << "" << 0 << "none.conf: cannot be read" << false;
        QTest::newRow("default file a folder") << "" << L{} << L{} << "" << 0 << "brandle-host.conf: cannot be read (a folder)" << true;
        // clang-format on
    }
    void config()
    {
        QFETCH(QString, ini);
        QFETCH(QStringList, args);
        QFETCH(QString, error);
        QFETCH(bool, folder);
        QTemporaryDir dir;
        const QString file = dir.filePath(u"brandle/brandle-host.conf"_s);
        QVERIFY(!folder || QDir().mkpath(file));
        QVERIFY(ini.isEmpty() ||
                (brandle::writeFile(file, ini.toUtf8()) &&
                 QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner |
                                                 QFile::ReadGroup | QFile::ReadOther)));
        std::vector<std::string> argv;
        for (const QString& arg : args)
            argv.push_back(arg.toStdString());
        std::string message;
        std::optional<HostConfig> config;
        if (const auto commandLine = parseCommandLine(argv, message))
            config = loadHostConfig(*commandLine, {"/nonexistent", dir.path().toStdString(), ""},
                                    message);
        QVERIFY2(QString::fromStdString(message).contains(error), message.c_str());
        QVERIFY2(!QString::fromStdString(message).contains(u"s3cret"_s), message.c_str());
        QCOMPARE(bool(config), error.isEmpty());
        if (!config)
            return;
        QStringList engines;
        for (const std::string& id : config->engines)
            engines << QString::fromStdString(id);
        QTEST(engines, "engines");
        QTEST(QString::fromStdString(config->wikipediaApiUrl()), "wikipediaApi");
        QTEST(config->port, "port");
    }

    // Page ids are positive integers; anything else makes the answer unreadable.
    void pageIds_data()
    {
        QTest::addColumn<QByteArray>("id");
        QTest::addColumn<QList<qint64>>("read"); // empty: unreadable
        using L = QList<qint64>;
        QTest::newRow("integer") << QByteArray("12") << L{12};
        QTest::newRow("2^53") << QByteArray("9007199254740992") << L{9007199254740992LL};
        QTest::newRow("zero") << QByteArray("0") << L{};
        QTest::newRow("fraction") << QByteArray("2.5") << L{};
        QTest::newRow("beyond 64 bits") << QByteArray("1e300") << L{};
    }
    void pageIds()
    {
        QFETCH(QByteArray, id);
        const ExturlAnswer answer = parseExturlAnswer(
            ("{\"query\":{\"exturlusage\":[{\"pageid\":" + id + "}]}}").toStdString());
        QList<qint64> read;
        if (answer.kind == ExturlAnswer::Kind::Page)
            read = QList<qint64>(answer.pageIds.begin(), answer.pageIds.end());
        QTEST(read, "read");
    }
};

QTEST_GUILESS_MAIN(HostLogicTest)
#include "tst_hostlogic.moc"

// SPDX-License-Identifier: MIT
// Tests of brandle-host's logic without network or database: site names, list lines, answer
// pages, the schema, settings, MediaWiki answers and the walk over them, request coalescing.

#include "Coalescer.h"
#include "EnginePage.h"
#include "ExturlWalk.h"
#include "Fakes.h"
#include "HostConfig.h"
#include "MajesticCsv.h"
#include "SiteName.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>
#include <QXmlStreamReader>

#include <future>
#include <thread>

using namespace brandle::host;
using namespace Qt::StringLiterals;

namespace {

// How a request of a walk fails.
enum class Failure { None, NoAnswer, OutOfTime, ApiError, MaxLag, ServerError, Junk };

std::string str(const QString& text)
{
    return text.toStdString();
}

// The children of the schema root in order, each as its name and, for <Engines>, the fields
// of every entry.
struct ParsedSchema {
    QStringList rootChildren;
    QList<QHash<QString, QString>> engines;
    QStringList sourceNames;
};

ParsedSchema parseSchema(const QString& xml)
{
    ParsedSchema out;
    QXmlStreamReader reader(xml);
    reader.readNextStartElement(); // the root
    while (reader.readNextStartElement()) {
        out.rootChildren << reader.name().toString();
        if (reader.name() == u"Engines"_s) {
            while (reader.readNextStartElement()) {
                QHash<QString, QString> fields;
                while (reader.readNextStartElement())
                    fields.insert(reader.name().toString(), reader.readElementText());
                out.engines << fields;
            }
        } else if (reader.name() == u"Sources"_s) {
            while (reader.readNextStartElement()) {
                while (reader.readNextStartElement()) {
                    if (reader.name() == u"Name"_s)
                        out.sourceNames << reader.readElementText();
                    else
                        reader.skipCurrentElement();
                }
            }
        } else {
            reader.skipCurrentElement();
        }
    }
    if (reader.hasError())
        out.rootChildren << u"error: "_s + reader.errorString();
    return out;
}

// One page of an exturlusage answer as the API gives it.
std::string apiPage(const QVector<std::int64_t>& ids, int nextOffset)
{
    std::string items;
    for (const std::int64_t id : ids)
        items += (items.empty() ? "" : ",") + std::string(R"({"pageid":)") + std::to_string(id) +
                 R"(,"ns":0})";
    std::string body = R"({"batchcomplete":true,)";
    if (nextOffset > 0)
        body += R"("continue":{"eucontinue":")" + std::to_string(nextOffset) +
                R"(","continue":"-||"},)";
    return body + R"("query":{"exturlusage":[)" + items + "]}}";
}

} // namespace

Q_DECLARE_METATYPE(LinkCount::Kind)
Q_DECLARE_METATYPE(ExturlAnswer::Kind)
Q_DECLARE_METATYPE(Failure)

class HostLogicTest : public QObject {
    Q_OBJECT

private slots:
    void siteNames_data()
    {
        QTest::addColumn<QString>("site");
        QTest::addColumn<QString>("name"); // empty: refused
        const QString label63(63, u'a');
        const QString name253 =
            label63 + u'.' + label63 + u'.' + label63 + u'.' + QString(61, u'b');
        // clang-format off
        QTest::newRow("plain") << "example.com" << "example.com";
        QTest::newRow("upper case") << "Example.COM" << "example.com";
        QTest::newRow("trailing dot") << "example.com." << "example.com";
        QTest::newRow("www dropped") << "www.example.com" << "example.com";
        QTest::newRow("www dropped once") << "www.www.example.com" << "www.example.com";
        QTest::newRow("www kept before a top-level name") << "www.com" << "www.com";
        QTest::newRow("other subdomain kept") << "blog.example.com" << "blog.example.com";
        QTest::newRow("unicode name") << "bücher.de" << "xn--bcher-kva.de";
        QTest::newRow("unicode upper case") << "BÜCHER.de" << "xn--bcher-kva.de";
        QTest::newRow("253 characters") << name253 << name253;
        QTest::newRow("254 characters") << name253 + u'b' << "";
        QTest::newRow("label of 64") << label63 + u"a.com"_s << "";
        QTest::newRow("scheme") << "http://example.com" << "";
        QTest::newRow("path") << "example.com/page" << "";
        QTest::newRow("port") << "example.com:8080" << "";
        QTest::newRow("markup") << "<script>x.com" << "";
        QTest::newRow("blank inside") << "exa mple.com" << "";
        QTest::newRow("empty label") << "example..com" << "";
        QTest::newRow("hyphen ends a label") << "example-.com" << "";
        QTest::newRow("underscore") << "ex_ample.com" << "";
        QTest::newRow("empty") << "" << "";
        // clang-format on
    }
    void siteNames()
    {
        QFETCH(QString, site);
        QFETCH(QString, name);
        const std::optional<std::string> got = lookupHostName(site.toStdString());
        QCOMPARE(got ? QString::fromStdString(*got) : QString(), name);
    }

    void siteNameBytes()
    {
        QVERIFY(!lookupHostName("\xff\xfe.com")); // not UTF-8
        QVERIFY(!lookupHostName(std::string("exa\0mple.com", 12)));
        QCOMPARE(unicodeHostName("xn--bcher-kva.de"), std::string("bücher.de"));
        QCOMPARE(unicodeHostName("example.com"), std::string("example.com"));
    }

    void majesticHeader_data()
    {
        QTest::addColumn<QString>("header");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<int>("domain");
        QTest::addColumn<int>("subnets");
        QTest::addColumn<int>("ips");
        QTest::addColumn<int>("idn");
        QTest::addColumn<int>("fields");
        const QString real = QString::fromLatin1(kMajesticHeader);
        // clang-format off
        QTest::newRow("real header") << real << true << 2 << 4 << 5 << 6 << 12;
        QTest::newRow("byte order mark, CR") << u"\uFEFF"_s + real + u"\r"_s << true << 2 << 4 << 5 << 6 << 12;
        QTest::newRow("other order") << "Domain,RefIPs,RefSubNets,IDN_Domain" << true << 0 << 2 << 1 << 3 << 4;
        QTest::newRow("no IDN_Domain") << "GlobalRank,Domain,RefSubNets,RefIPs" << false << 0 << 0 << 0 << 0 << 0;
        QTest::newRow("Domain twice") << "Domain,RefSubNets,RefIPs,IDN_Domain,Domain" << false << 0 << 0 << 0 << 0 << 0;
        QTest::newRow("a data line") << "1,1,google.com,com,1,2,google.com,com,1,1,1,2" << false << 0 << 0 << 0 << 0 << 0;
        QTest::newRow("html page") << "<!DOCTYPE html>" << false << 0 << 0 << 0 << 0 << 0;
        // clang-format on
    }
    void majesticHeader()
    {
        QFETCH(QString, header);
        QFETCH(bool, accepted);
        const auto got = parseMajesticHeader(header.toStdString());
        QCOMPARE(bool(got), accepted);
        if (!got)
            return;
        QTEST(int(got->domain), "domain");
        QTEST(int(got->refSubNets), "subnets");
        QTEST(int(got->refIps), "ips");
        QTEST(int(got->idnDomain), "idn");
        QTEST(int(got->fieldCount), "fields");
    }

    void majesticLine_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("domain"); // empty: the line is malformed
        QTest::addColumn<QString>("idnDomain");
        QTest::addColumn<qint64>("subnets");
        QTest::addColumn<qint64>("ips");
        // clang-format off
        QTest::newRow("real line") << "1,1,google.com,com,345862,2029543,google.com,com,1,1,344972,2011012" << "google.com" << "google.com" << 345862LL << 2029543LL;
        QTest::newRow("IDN") << "9,1,xn--bcher-kva.de,de,12,34,bücher.de,de,9,1,1,1" << "xn--bcher-kva.de" << "bücher.de" << 12LL << 34LL;
        QTest::newRow("empty IDN_Domain") << "4,4,example.net,net,7,8,,net,4,4,7,8" << "example.net" << "example.net" << 7LL << 8LL;
        QTest::newRow("quoted fields") << "5,5,\"example.info\",info,\"9\",10,example.info,info,5,5,9,10" << "example.info" << "example.info" << 9LL << 10LL;
        QTest::newRow("largest count") << "7,7,big.com,com,2147483647,1,big.com,com,7,7,1,1" << "big.com" << "big.com" << 2147483647LL << 1LL;
        QTest::newRow("count over 32 bits") << "7,7,big.com,com,2147483648,1,big.com,com,7,7,1,1" << "" << "" << 0LL << 0LL;
        QTest::newRow("11 fields") << "1,1,google.com,com,3,4,google.com,com,1,1,3" << "" << "" << 0LL << 0LL;
        QTest::newRow("letters in a count") << "1,1,google.com,com,3a,4,google.com,com,1,1,3,4" << "" << "" << 0LL << 0LL;
        QTest::newRow("negative count") << "1,1,google.com,com,-3,4,google.com,com,1,1,3,4" << "" << "" << 0LL << 0LL;
        QTest::newRow("domain with a blank") << "1,1,goo gle.com,com,3,4,goo gle.com,com,1,1,3,4" << "" << "" << 0LL << 0LL;
        QTest::newRow("empty domain") << "1,1,,com,3,4,,com,1,1,3,4" << "" << "" << 0LL << 0LL;
        QTest::newRow("unterminated quote") << "1,1,\"google.com,com,3,4,google.com,com,1,1,3,4" << "" << "" << 0LL << 0LL;
        // clang-format on
    }
    void majesticLine()
    {
        QFETCH(QString, line);
        QFETCH(QString, domain);
        QFETCH(QString, idnDomain);
        QFETCH(qint64, subnets);
        QFETCH(qint64, ips);
        const auto columns = parseMajesticHeader(kMajesticHeader);
        QVERIFY(columns);
        const auto row = parseMajesticLine(line.toStdString(), *columns);
        QCOMPARE(row ? QString::fromStdString(row->domain) : QString(), domain);
        if (row) {
            QCOMPARE(QString::fromStdString(row->idnDomain), idnDomain);
            QCOMPARE(qint64(row->refSubNets), subnets);
            QCOMPARE(qint64(row->refIps), ips);
        }
    }

    void countPage_data()
    {
        QTest::addColumn<LinkCount::Kind>("kind");
        QTest::addColumn<quint64>("value");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QString>("site");
        QTest::addColumn<qint64>("read"); // what the lookup reads; -1: no count
        QTest::addColumn<QString>("shown");
        using K = LinkCount::Kind;
        // clang-format off
        QTest::newRow("count") << K::Count << 1234ULL << "" << "example.com" << 1234LL << ">1,234<";
        QTest::newRow("zero is a count") << K::Count << 0ULL << "" << "example.com" << 0LL << ">0<";
        QTest::newRow("a million") << K::Count << 1000000ULL << "" << "example.com" << 1000000LL << "1,000,000";
        QTest::newRow("at least") << K::AtLeast << 20000ULL << "" << "example.com" << 20000LL << "at least <output";
        QTest::newRow("no count") << K::NoCount << 0ULL << "not among the million most linked domains" << "example.com" << -1LL << "No count: not among the million most linked domains";
        QTest::newRow("no count, reason with the markers") << K::NoCount << 0ULL << "<output id=\"count\">5</output>" << "example.com" << -1LL << "&lt;output";
        QTest::newRow("no count, site with the markers") << K::NoCount << 0ULL << "none" << "<output id=\"count\">7</output>" << -1LL << "No count: none";
        QTest::newRow("count, site with the markers") << K::Count << 3ULL << "" << "<output id=\"count\">7</output>" << 3LL << ">3<";
        // clang-format on
    }
    void countPage()
    {
        QFETCH(LinkCount::Kind, kind);
        QFETCH(quint64, value);
        QFETCH(QString, reason);
        QFETCH(QString, site);
        QFETCH(qint64, read);
        QFETCH(QString, shown);
        const EngineInfo engine = realEngine("majestic-ips", "Majestic referring IPs", "IPs");
        const SourceCredit credit{"Majestic Million",
                                  "Majestic",
                                  "https://majestic.com/",
                                  "CC BY 3.0",
                                  "https://creativecommons.org/licenses/by/3.0/",
                                  ""};
        const std::string page =
            brandle::host::countPage(engine, str(site), {kind, value, str(reason)}, credit);
        QCOMPARE(readCount(page, engine.leftString, engine.rightString), read);
        QVERIFY2(QString::fromStdString(page).contains(shown), page.c_str());
        QVERIFY(page.find("CC BY 3.0") != std::string::npos);
    }

    // The generated entries replace the template's engines and read back field for field; the
    // rest of the template (window, results slot) stays, and the sources follow the engines.
    void schema()
    {
        QFile file(
            QString::fromUtf8(BRANDLE_TEST_SERVICE_DIR "/parlo/System/Link-Popularity-Schema.xml"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const std::string tmpl = file.readAll().toStdString();

        EngineInfo odd = realEngine("odd", "Odd & <Sons>", "things");
        odd.leftString = "<x>]]>";
        odd.rightString = "]]></x>";
        odd.rightUrl = "&lang=en";
        odd.replaceDot = "%2E";
        const std::vector<EngineInfo> engines{
            realEngine("majestic-subnets", "Majestic referring subnets", "subnets"), odd};
        const std::vector<SourceCredit> credits{{"Majestic Million", "Majestic",
                                                 "https://majestic.com/", "CC BY 3.0",
                                                 "https://cc/", ""},
                                                {"Wiki & co", "", "", "", "", "note"}};
        const auto merged = mergeSchema(tmpl, schemaEngineEntries(engines), schemaSources(credits));
        QVERIFY(merged);
        const QString xml = QString::fromStdString(*merged);
        const ParsedSchema parsed = parseSchema(xml);
        QCOMPARE(parsed.rootChildren, (QStringList{u"Service"_s, u"Engines"_s, u"Sources"_s,
                                                   u"Window"_s, u"LPResults"_s}));
        QCOMPARE(parsed.engines.size(), 2);
        for (int i = 0; i < 2; ++i) {
            const EngineInfo& e = engines[std::size_t(i)];
            const QString base = u"http://{host}/engines/"_s + QString::fromStdString(e.id) + u'/';
            const QHash<QString, QString> expected{
                {u"EngineName"_s, QString::fromStdString(e.name)},
                {u"EngineHome"_s, base},
                {u"LeftURL"_s, base + u"search?site="_s},
                {u"RightURL"_s, QString::fromStdString(e.rightUrl)},
                {u"LeftString"_s, QString::fromStdString(e.leftString)},
                {u"RightString"_s, QString::fromStdString(e.rightString)},
                {u"ReplaceDot"_s, QString::fromStdString(e.replaceDot)}};
            QCOMPARE(parsed.engines[i], expected);
        }
        QCOMPARE(parsed.sourceNames, (QStringList{u"Majestic Million"_s, u"Wiki & co"_s}));
        QVERIFY(xml.contains(u"<LPResults></LPResults>"_s));
        QVERIFY(xml.contains(u"<WinSleep>60</WinSleep>"_s));

        QVERIFY(!mergeSchema("<LinkPopularity><Service/></LinkPopularity>", "", ""));
        QVERIFY(!mergeSchema("<LinkPopularity><Engines></LinkPopularity>", "", ""));
    }

    void config_data()
    {
        QTest::addColumn<QString>("ini"); // written to the file given with --config
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("engines");
        QTest::addColumn<QString>("majesticUrl");
        QTest::addColumn<QString>("wikipediaApi");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("error"); // part of the error text; empty: accepted
        const QStringList real{u"majestic-subnets"_s, u"majestic-ips"_s, u"wikipedia"_s};
        const QString mm = u"https://downloads.majestic.com/majestic_million.csv"_s;
        const QString en = u"https://en.wikipedia.org/w/api.php"_s;
        // clang-format off
        QTest::newRow("defaults") << "" << QStringList{} << real << mm << en << 8750 << "";
        QTest::newRow("file sets engines") << "engines = wikipedia , majestic-ips\n" << QStringList{} << QStringList{u"wikipedia"_s, u"majestic-ips"_s} << mm << en << 8750 << "";
        QTest::newRow("command line wins") << "port = 9000\n" << QStringList{u"--port"_s, u"9100"_s} << real << mm << en << 9100 << "";
        QTest::newRow("--demo") << "" << QStringList{u"--demo"_s} << QStringList{u"demo"_s} << mm << en << 8750 << "";
        QTest::newRow("engines after --demo") << "" << QStringList{u"--demo"_s, u"--engines"_s, u"wikipedia"_s} << QStringList{u"wikipedia"_s} << mm << en << 8750 << "";
        QTest::newRow("upstream addresses") << "" << QStringList{u"--majestic-url"_s, u"http://127.0.0.1:1/m.csv"_s, u"--wikipedia-api"_s, u"http://127.0.0.1:2/w/api.php"_s} << real << "http://127.0.0.1:1/m.csv" << "http://127.0.0.1:2/w/api.php" << 8750 << "";
        QTest::newRow("language") << "wikipedia-language = de\n" << QStringList{} << real << mm << "https://de.wikipedia.org/w/api.php" << 8750 << "";
        QTest::newRow("api wins over language") << "wikipedia-language = de\nwikipedia-api = http://127.0.0.1:2/api.php\n" << QStringList{} << real << mm << "http://127.0.0.1:2/api.php" << 8750 << "";
        QTest::newRow("unknown key") << "\ncolour = red\n" << QStringList{} << QStringList{} << "" << "" << 0 << "line 2: unknown key colour";
        QTest::newRow("invalid value in the file") << "port = 70000\n" << QStringList{} << QStringList{} << "" << "" << 0 << "line 1: port: not a port number";
        QTest::newRow("unknown engine") << "" << QStringList{u"--engines"_s, u"google"_s} << QStringList{} << "" << "" << 0 << "unknown engine: google";
        QTest::newRow("engine twice") << "" << QStringList{u"--engines"_s, u"wikipedia,wikipedia"_s} << QStringList{} << "" << "" << 0 << "engine listed twice";
        QTest::newRow("empty engine list") << "" << QStringList{u"--engines="_s} << QStringList{} << "" << "" << 0 << "empty engine name";
        QTest::newRow("not http") << "" << QStringList{u"--majestic-url"_s, u"file:///etc/passwd"_s} << QStringList{} << "" << "" << 0 << "not an http";
        QTest::newRow("port too high") << "" << QStringList{u"--port"_s, u"65536"_s} << QStringList{} << "" << "" << 0 << "not a port number";
        QTest::newRow("bad language") << "" << QStringList{u"--wikipedia-language"_s, u"en.evil.com/x"_s} << QStringList{} << "" << "" << 0 << "not a language code";
        QTest::newRow("unknown option") << "" << QStringList{u"--colour"_s, u"red"_s} << QStringList{} << "" << "" << 0 << "unknown option: --colour";
        // clang-format on
    }
    void config()
    {
        QFETCH(QString, ini);
        QFETCH(QStringList, args);
        QFETCH(QStringList, engines);
        QFETCH(QString, majesticUrl);
        QFETCH(QString, wikipediaApi);
        QFETCH(int, port);
        QFETCH(QString, error);

        QTemporaryDir dir;
        const QString file = dir.filePath(u"brandle-host.conf"_s);
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(ini.toUtf8());
        out.close();
        std::vector<std::string> argv{"--config", str(file)};
        for (const QString& arg : args)
            argv.push_back(str(arg));

        std::string message;
        std::optional<HostConfig> config;
        if (const auto commandLine = parseCommandLine(argv, message))
            config = loadHostConfig(*commandLine, {str(dir.path()), "", ""}, message);
        QCOMPARE(QString::fromStdString(message).contains(error), true);
        QCOMPARE(bool(config), error.isEmpty());
        if (!config)
            return;
        QStringList gotEngines;
        for (const std::string& id : config->engines)
            gotEngines << QString::fromStdString(id);
        QCOMPARE(gotEngines, engines);
        QCOMPARE(QString::fromStdString(config->majesticUrl), majesticUrl);
        QCOMPARE(QString::fromStdString(config->wikipediaApiUrl()), wikipediaApi);
        QCOMPARE(config->port, port);
    }

    // The default file is read when it exists; a file named with --config must exist; a
    // relative XDG folder does not count.
    void configFiles()
    {
        QTemporaryDir dir;
        const HostEnvironment env{"/nonexistent", str(dir.path()), str(dir.filePath(u"c"_s))};
        std::string error;
        auto config = loadHostConfig({}, env, error);
        QVERIFY(config);
        QCOMPARE(config->cache, str(dir.filePath(u"c/brandle-host"_s)));
        QCOMPARE(defaultCacheDir({"/home/u", "", "relative"}),
                 std::string("/home/u/.cache/brandle-host"));

        QVERIFY(QDir(dir.path()).mkpath(u"brandle"_s));
        QFile file(dir.filePath(u"brandle/brandle-host.conf"_s));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("cache = /var/tmp/bh\nengines = demo\n");
        file.close();
        config = loadHostConfig({}, env, error);
        QVERIFY(config);
        QCOMPARE(config->cache, std::string("/var/tmp/bh"));
        QVERIFY(config->wants("demo") && !config->needsCache());

        CommandLine missing;
        missing.configFile = str(dir.filePath(u"none.conf"_s));
        QVERIFY(!loadHostConfig(missing, env, error));
        QVERIFY2(error.find("none.conf: cannot be read") != std::string::npos, error.c_str());
    }

    void exturlAnswer_data()
    {
        QTest::addColumn<QString>("json");
        QTest::addColumn<ExturlAnswer::Kind>("kind");
        QTest::addColumn<QList<qint64>>("pageIds");
        QTest::addColumn<QStringList>("continueNames");
        QTest::addColumn<QStringList>("continueValues");
        QTest::addColumn<QString>("errorCode");
        using K = ExturlAnswer::Kind;
        const QStringList none;
        // clang-format off
        QTest::newRow("page with continue") << R"({"batchcomplete":true,"continue":{"eucontinue":"3","continue":"-||"},"query":{"exturlusage":[{"pageid":10,"ns":0},{"pageid":11,"ns":0}]}})" << K::Page << QList<qint64>{10, 11} << QStringList{u"continue"_s, u"eucontinue"_s} << QStringList{u"-||"_s, u"3"_s} << "";
        QTest::newRow("nothing found") << R"({"batchcomplete":true,"query":{"exturlusage":[]}})" << K::Page << QList<qint64>{} << none << none << "";
        QTest::newRow("numeric offset") << R"({"continue":{"euoffset":500,"continue":"-||"},"query":{"exturlusage":[{"pageid":1}]}})" << K::Page << QList<qint64>{1} << QStringList{u"continue"_s, u"euoffset"_s} << QStringList{u"-||"_s, u"500"_s} << "";
        QTest::newRow("api error") << R"({"error":{"code":"badvalue","info":"Unrecognized value.","*":"See help"},"servedby":"mw1"})" << K::ApiError << QList<qint64>{} << none << none << "badvalue";
        QTest::newRow("html") << "<html><body>Error</body></html>" << K::Unreadable << QList<qint64>{} << none << none << "";
        QTest::newRow("no query") << R"({"batchcomplete":true})" << K::Unreadable << QList<qint64>{} << none << none << "";
        QTest::newRow("entry without pageid") << R"({"query":{"exturlusage":[{"title":"A"}]}})" << K::Unreadable << QList<qint64>{} << none << none << "";
        QTest::newRow("cut off") << R"({"query":{"exturlusage":[{"pageid":1})" << K::Unreadable << QList<qint64>{} << none << none << "";
        // clang-format on
    }
    void exturlAnswer()
    {
        QFETCH(QString, json);
        QFETCH(ExturlAnswer::Kind, kind);
        QFETCH(QList<qint64>, pageIds);
        QFETCH(QString, errorCode);
        const ExturlAnswer answer = parseExturlAnswer(json.toStdString());
        QCOMPARE(answer.kind, kind);
        QCOMPARE(QString::fromStdString(answer.errorCode), errorCode);
        QCOMPARE(QList<qint64>(answer.pageIds.begin(), answer.pageIds.end()), pageIds);
        QStringList names;
        QStringList values;
        for (const auto& [name, value] : answer.continueParams) {
            names << QString::fromStdString(name);
            values << QString::fromStdString(value);
        }
        QTEST(names, "continueNames");
        QTEST(values, "continueValues");
    }

    void walk_data()
    {
        QTest::addColumn<QList<qint64>>("siteLinks");  // page ids of links to the site itself
        QTest::addColumn<QList<qint64>>("underLinks"); // ... and to names under it
        QTest::addColumn<int>("pageSize");
        QTest::addColumn<int>("cap");
        QTest::addColumn<int>("failRequest"); // the request that fails (from 1); 0: none
        QTest::addColumn<Failure>("failure");
        QTest::addColumn<LinkCount::Kind>("kind");
        QTest::addColumn<quint64>("value");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<int>("requests");
        const QList<qint64> none;
        using K = LinkCount::Kind;
        using F = Failure;
        // clang-format off
        QTest::newRow("one page each") << QList<qint64>{1, 2, 3} << none << 5 << 40 << 0 << F::None << K::Count << 3ULL << "" << 2;
        QTest::newRow("continue followed") << QList<qint64>{1, 2, 3, 4, 5, 6, 7} << none << 3 << 40 << 0 << F::None << K::Count << 7ULL << "" << 4;
        QTest::newRow("article in both lists") << QList<qint64>{1, 2} << QList<qint64>{2, 3} << 5 << 40 << 0 << F::None << K::Count << 3ULL << "" << 2;
        QTest::newRow("cap with more to come") << QList<qint64>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10} << none << 2 << 3 << 0 << F::None << K::AtLeast << 6ULL << "" << 3;
        QTest::newRow("cap reached at the end") << QList<qint64>{1, 2, 3, 4} << none << 2 << 3 << 0 << F::None << K::Count << 4ULL << "" << 3;
        QTest::newRow("cap one short") << QList<qint64>{1, 2, 3, 4} << none << 2 << 2 << 0 << F::None << K::AtLeast << 4ULL << "" << 2;
        QTest::newRow("api error on page 2") << QList<qint64>{1, 2, 3, 4} << none << 2 << 40 << 2 << F::ApiError << K::NoCount << 0ULL << "the Wikipedia API answered an error: readapidenied (You need read permission.)" << 2;
        QTest::newRow("maxlag") << QList<qint64>{1} << none << 2 << 40 << 1 << F::MaxLag << K::NoCount << 0ULL << "Wikipedia is busy (its databases lag behind); try again later" << 1;
        QTest::newRow("no answer") << QList<qint64>{1} << none << 2 << 40 << 2 << F::NoAnswer << K::NoCount << 0ULL << "no route" << 2;
        QTest::newRow("out of time after a page") << QList<qint64>{1, 2, 3} << none << 2 << 40 << 2 << F::OutOfTime << K::AtLeast << 2ULL << "" << 2;
        QTest::newRow("out of time at once") << QList<qint64>{1} << none << 2 << 40 << 1 << F::OutOfTime << K::NoCount << 0ULL << "no route" << 1;
        QTest::newRow("server error page") << QList<qint64>{1} << none << 2 << 40 << 1 << F::ServerError << K::NoCount << 0ULL << "Wikipedia answered HTTP 503" << 1;
        QTest::newRow("unreadable answer") << QList<qint64>{1} << none << 2 << 40 << 1 << F::Junk << K::NoCount << 0ULL << "the Wikipedia API answered something unreadable" << 1;
        // clang-format on
    }
    // The walk as the API leads it, with answers made here; checks what it asks, too.
    void walk()
    {
        QFETCH(QList<qint64>, siteLinks);
        QFETCH(QList<qint64>, underLinks);
        QFETCH(int, pageSize);
        QFETCH(int, cap);
        QFETCH(int, failRequest);
        QFETCH(Failure, failure);
        QFETCH(int, requests);

        int asked = 0;
        QStringList problems;
        const auto fetch = [&](const std::string& url) {
            ++asked;
            const QString address = QString::fromStdString(url);
            const QUrlQuery query(QUrl(address).query());
            const QString search = query.queryItemValue(u"euquery"_s, QUrl::FullyDecoded);
            for (const auto& [name, value] : {std::pair{"action", "query"},
                                              {"list", "exturlusage"},
                                              {"eunamespace", "0"},
                                              {"eulimit", "max"},
                                              {"maxlag", "5"},
                                              {"format", "json"}})
                if (query.queryItemValue(QLatin1StringView(name)) != QLatin1StringView(value))
                    problems << address;
            if (!address.startsWith(u"http://api.test/w/api.php?"_s))
                problems << address;
            ExturlFetch out;
            out.answered = true;
            out.status = 200;
            switch (asked == failRequest ? failure : Failure::None) {
            case Failure::NoAnswer:
            case Failure::OutOfTime:
                out.answered = false;
                out.failure = "no route";
                out.outOfTime = failure == Failure::OutOfTime;
                return out;
            case Failure::ApiError:
                out.body =
                    R"({"error":{"code":"readapidenied","info":"You need read permission."}})";
                return out;
            case Failure::MaxLag:
                out.body = R"({"error":{"code":"maxlag","info":"Waiting: 9 seconds lagged"}})";
                return out;
            case Failure::ServerError:
                out.status = 503;
                out.body = "<html>unavailable</html>";
                return out;
            case Failure::Junk:
                out.body = "<html>maintenance</html>";
                return out;
            case Failure::None:
                break;
            }
            if (search != u"example.com"_s && search != u"*.example.com"_s)
                problems << u"asked for "_s + search;
            const QList<qint64>& all = search == u"example.com"_s ? siteLinks : underLinks;
            const int offset = query.queryItemValue(u"eucontinue"_s).toInt();
            QVector<std::int64_t> ids;
            for (int i = offset; i < all.size() && i < offset + pageSize; ++i)
                ids << all[i];
            out.body = apiPage(ids, offset + pageSize < all.size() ? offset + pageSize : 0);
            return out;
        };
        const ExturlWalk walk =
            walkExturlUsage("http://api.test/w/api.php", "example.com", cap, fetch);
        QTEST(walk.result.kind, "kind");
        QTEST(quint64(walk.result.value), "value");
        QTEST(QString::fromStdString(walk.result.reason), "reason");
        QCOMPARE(walk.requests, requests);
        QCOMPARE(asked, requests);
        QCOMPARE(problems, QStringList{});
    }

    void requestUrl()
    {
        QCOMPARE(exturlRequestUrl("https://en.wikipedia.org/w/api.php", "*.bücher.de",
                                  {{"eucontinue", "a b|&="}}),
                 std::string("https://en.wikipedia.org/w/api.php?action=query&format=json"
                             "&formatversion=2&list=exturlusage&euprop=ids&eunamespace=0"
                             "&eulimit=max&maxlag=5&euquery=%2A.b%C3%BCcher.de"
                             "&eucontinue=a%20b%7C%26%3D"));
        QVERIFY(exturlRequestUrl("http://w/api.php?key=1", "x.org", {})
                    .rfind("http://w/api.php?key=1&action=query", 0) == 0);
    }

    // A failing piece of work reaches the callers that waited for it instead of leaving them
    // waiting for ever.
    void coalescerError()
    {
        Coalescer<int> flights;
        std::atomic<bool> started{false};
        std::promise<void> go;
        std::shared_future<void> released = go.get_future().share();
        auto leader = std::async(std::launch::async, [&] {
            return flights.run("a", [&]() -> int {
                started = true;
                released.wait();
                throw std::runtime_error("upstream gone");
            });
        });
        QTRY_VERIFY(started.load());
        auto follower =
            std::async(std::launch::async, [&] { return flights.run("a", [] { return 1; }); });
        QTRY_COMPARE(flights.waiting("a"), std::size_t(1));
        go.set_value();
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, leader.get());
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, follower.get());
    }
};

QTEST_GUILESS_MAIN(HostLogicTest)
#include "tst_hostlogic.moc"

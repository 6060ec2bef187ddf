// SPDX-License-Identifier: MIT
// brandle-host's sources against local fakes of their upstreams, and the log nobody reads.

#include "BingSource.h"
#include "CommonCrawlSource.h"
#include "DataForSeoSource.h"
#include "ExturlWalk.h"
#include "Fakes.h"
#include "HostServer.h"
#include "LinkStore.h"
#include "LogWriter.h"
#include "MajesticSource.h"
#include "MozSource.h"
#include "Psl.h"
#include "WikipediaSource.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

#include <ctime>
#include <future>
#include <set>
#include <sstream>

using namespace brandle::host;

namespace {

// The figure the lookup reads off the source's answer page; -1: no count.
qint64 pageCount(const Source& source, const LinkCount& result)
{
    return readCount(source.answerPage(source.engines()[0], "site", result));
}

qint64 countOf(Source& source, const std::string& site)
{
    return pageCount(source, source.lookup(source.engines()[0], site));
}

std::string deadUrl() // where nothing listens
{
    return "http://" + brandle::deadHostPort().toStdString() + "/";
}

const Logger quiet = [](const std::string&) {
};

// A release of the fake web graph. In-degrees: com.example 3 (its self-link left out),
// de.xn--bcher-kva 2, io.github 4, org.lonely and org.other 0, uk.co.example 1.
const QStringList kNames{u"com.example"_s, u"de.xn--bcher-kva"_s, u"io.github"_s,
                         u"org.lonely"_s,  u"org.other"_s,        u"uk.co.example"_s};
const FakeCrawl::Edges kEdges{{0, 0}, {0, 1}, {0, 2}, {0, 5}, {1, 0}, {1, 2},
                              {2, 0}, {4, 0}, {4, 2}, {5, 1}, {5, 2}};

CommonCrawlSettings crawlSettings(const FakeCrawl& fake, const QString& cache)
{
    CommonCrawlSettings settings;
    settings.indexUrl = fake.indexUrl();
    settings.dataUrl = fake.dataUrl();
    settings.cacheDir = cache.toStdString();
    return settings;
}

} // namespace

Q_DECLARE_METATYPE(FakeCrawl::Edges)
Q_DECLARE_METATYPE(FakeWiki::Mode)
Q_DECLARE_METATYPE(FakeKeyedApis::Mode)

class HostSourcesTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    std::vector<std::unique_ptr<LinkStore>> stores_;
    std::vector<std::unique_ptr<Keys>> keys_;
    std::unique_ptr<FakeCrawl> crawl_; // made for the first test that asks for it
    std::unique_ptr<CommonCrawlSource> crawlSource_;

    // The source of the release cc-1 of kNames and kEdges, read whole in the cache dir_/cc.
    CommonCrawlSource& crawlSource()
    {
        if (!crawl_) {
            crawl_ = std::make_unique<FakeCrawl>();
            crawl_->release("cc-1", kNames, kEdges);
            crawlSource_ = std::make_unique<CommonCrawlSource>(
                crawlSettings(*crawl_, dir_.filePath(u"cc"_s)), quiet);
            crawlSource_->refresh();
        }
        return *crawlSource_;
    }

    // An empty store that lives as long as the test object.
    LinkStore& newStore()
    {
        std::string error;
        const QString file = dir_.filePath(u"db%1.sqlite"_s.arg(stores_.size()));
        return *stores_.emplace_back(LinkStore::open(file.toStdString(), error));
    }
    MajesticSettings majesticSettings(const std::string& url)
    {
        MajesticSettings settings;
        settings.url = url;
        settings.cacheDir = dir_.path().toStdString();
        return settings;
    }
    // A source asked with these keys of the settings file (no keyring), with a store of its own.
    std::unique_ptr<KeyedSource> keyedSource(const QString& id, const std::string& api,
                                             std::map<std::string, std::string> fileKeys,
                                             std::chrono::milliseconds mozInterval = {})
    {
        KeyedSettings settings;
        settings.apiUrl = api;
        settings.answerTime = std::chrono::seconds(10); // generous: no answer waits
        LinkStore& store = newStore();
        Keys& keys = *keys_.emplace_back(
            std::make_unique<Keys>(std::string(), std::move(fileKeys), KeyringRead(), quiet));
        if (id == u"bing"_s)
            return std::make_unique<BingSource>(settings, store, keys, quiet);
        if (id == u"moz"_s)
            return std::make_unique<MozSource>(settings, mozInterval, store, keys, quiet);
        return std::make_unique<DataForSeoSource>(settings, store, keys, quiet);
    }
    static WikipediaSettings wikiSettings(const std::string& api)
    {
        WikipediaSettings settings;
        settings.apiUrl = api;
        settings.userAgent = "brandle-host/test (https://brandle.test/)";
        return settings;
    }

private slots:
    // A failed load leaves the list in use; a good one replaces it whole, without bad lines.
    void listSwap_data()
    {
        QTest::addColumn<QString>("csv");
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<QString>("error");  // empty: the new list replaces the old one
        QTest::addColumn<qint64>("subnets"); // of new.com in the new list
        const QString header = QString::fromLatin1(kMajesticHeader) + u'\n';
        const QString line = QString::fromStdString(majesticLine(1, "new.com", 5, 6));
        const auto withBad = [&](const char* bad) {
            return header + QString::fromUtf8(bad) + u'\n' + line;
        };
        // clang-format off
        QTest::newRow("byte order mark, CRLF") << u"\uFEFF"_s + header.trimmed() + u"\r\n"_s + line + u"\r\n"_s << false << "" << 5LL;
        QTest::newRow("other column order") << "Domain,RefIPs,RefSubNets,IDN_Domain\nnew.com,6,5,new.com" << false << "" << 5LL;
        QTest::newRow("quoted fields") << header + u"1,1,\"new.com\",com,\"5\",6,new.com,com,1,1,5,6"_s << false << "" << 5LL;
        QTest::newRow("count of 19 digits") << withBad("2,2,bad.com,com,1000000000000000000,1,bad.com,com,2,2,1,1") << false << "" << 5LL;
        QTest::newRow("IDN of another name") << withBad("2,2,bad.com,com,3,4,new.com,com,2,2,3,4") << false << "" << 5LL;
        QTest::newRow("11 fields") << withBad("2,2,bad.com,com,3,4,bad.com,com,2,2,3") << false << "" << 5LL;
        QTest::newRow("letters in a count") << withBad("2,2,bad.com,com,3a,4,bad.com,com,2,2,3,4") << false << "" << 5LL;
        QTest::newRow("domain with a blank") << withBad("2,2,b ad.com,com,3,4,b ad.com,com,2,2,3,4") << false << "" << 5LL;
        QTest::newRow("unterminated quote") << withBad("2,2,\"bad.com,com,3,4,bad.com,com,2,2,3,4") << false << "" << 5LL;
        QTest::newRow("cancelled") << header + line + u'\n' << true << "cancelled" << 0LL;
        QTest::newRow("no IDN_Domain") << "GlobalRank,Domain,RefSubNets,RefIPs\n1,new.com,5,6" << false << "expected header" << 0LL;
        QTest::newRow("Domain twice") << "Domain,RefSubNets,RefIPs,IDN_Domain,Domain\nnew.com,5,6,new.com,new.com" << false << "expected header" << 0LL;
        QTest::newRow("only bad lines") << header + u"x,y\n1,2,3"_s << false << "no usable line" << 0LL;
        QTest::newRow("empty") << "" << false << "empty" << 0LL;
        // clang-format on
    }
    void listSwap()
    {
        QFETCH(QString, csv);
        QFETCH(bool, cancel);
        QFETCH(QString, error);
        LinkStore& store = newStore();
        std::istringstream oldList(majesticList({majesticLine(1, "old.com", 1, 2)}));
        QVERIFY(store.loadMajestic(oldList, {"http://a/", "\"e1\"", "", 100, 0}).replaced);
        std::string text = csv.toStdString();
        if (cancel) // the flag is seen after 4096 lines
            text += majesticRows(5000, 1);
        std::istringstream in(text);
        const std::atomic<bool> stop{cancel};
        const MajesticLoad load =
            store.loadMajestic(in, {"http://b/", "\"e2\"", "", 200, 0}, &stop);
        const bool replaced = error.isEmpty();
        QCOMPARE(load.replaced, replaced);
        QVERIFY2(QString::fromStdString(load.error).contains(error), load.error.c_str());
        QCOMPARE(bool(store.majestic("old.com", "old.com")), !replaced);
        const auto counts = store.majestic("new.com", "new.com");
        QTEST(counts ? qint64(counts->refSubNets) : 0LL, "subnets");
        QCOMPARE(counts ? counts->refIps : 0u, replaced ? 6u : 0u);
        const MajesticMeta meta = store.majesticMeta();
        QCOMPARE(meta.etag, replaced ? "\"e2\"" : "\"e1\"");
        QCOMPARE(meta.checkedAt, replaced ? 200 : 100);
        QCOMPARE(meta.rows, 1); // no malformed line was taken
    }

    // A cache file that is no database is put aside and a new one made.
    void brokenDatabase()
    {
        const QString file = dir_.filePath(u"broken.sqlite"_s);
        QVERIFY(brandle::writeFile(file, QByteArray(8192, 'x')));
        std::string error;
        auto store = LinkStore::open(file.toStdString(), error);
        QVERIFY2(store, error.c_str());
        QVERIFY(QFile::exists(file + u".broken"_s));
        QVERIFY(store->storeCount("api", "a.org", {3, false, std::time(nullptr)}, error));
        QCOMPARE(store->cachedCount("api", "a.org", std::chrono::hours(1))->pages, 3u);
    }

    // Loads the list, skipping malformed lines and keeping a domain's first line; asks again
    // with the ETag, and an answer 304 keeps the list.
    void majestic()
    {
        const std::string body = majesticList({majesticLine(1, "google.com", 345862, 2029543),
                                               "broken", majesticLine(2, "google.com", 1, 1),
                                               "4,4,bad count.com,com,x,y,a,b,c,d,e,f"});
        brandle::TestServer upstream;
        upstream.server().Get("/m.csv", [&](const httplib::Request& req, httplib::Response& res) {
            if (req.get_header_value("If-None-Match") == "\"v1\"")
                return void(res.status = 304);
            res.set_header("ETag", "\"v1\"");
            res.set_content(body, "text/csv");
        });
        upstream.start();
        MajesticSettings settings = majesticSettings(upstream.url(u"/m.csv"_s).toStdString());
        settings.limits.maxBytes = body.size(); // exactly at the cap
        QString log;
        MajesticSource source(
            settings, newStore(), {"majestic-subnets"},
            [&log](const std::string& line) { log += QString::fromStdString(line); });
        QCOMPARE(countOf(source, "google.com"), -1);
        // A download that a host left behind when it ended is removed.
        QVERIFY(brandle::writeFile(dir_.filePath(u"majestic_million.csv.1234.part"_s), "x"));
        QVERIFY(source.refresh());
        QCOMPARE(QDir(dir_.path()).entryList({u"*.part"_s}), QStringList());
        QCOMPARE(countOf(source, "google.com"), 345862);
        QVERIFY2(log.contains(u"skipped 2 malformed lines (the first is line 3)"_s),
                 qPrintable(log));
        QVERIFY(source.refresh());
        QVERIFY2(log.contains(u"the list is unchanged"_s), qPrintable(log));
        QCOMPARE(countOf(source, "google.com"), 345862);
    }

    // A refresh that fails keeps the list in use (4 lines), says why and leaves no partial file;
    // a list of fewer than half as many lines is taken only when the user says so.
    void majesticRefresh_data()
    {
        QTest::addColumn<QByteArray>("answer"); // the whole HTTP answer
        QTest::addColumn<bool>("acceptSmaller");
        QTest::addColumn<int>("rows");      // of the list in use afterwards
        QTest::addColumn<QString>("error"); // empty: the new list is taken
        const auto ok = [](int lines) {
            const std::string body = majesticRows(lines, 1);
            return "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) +
                   "\r\n\r\n" + QByteArray::fromStdString(body);
        };
        // clang-format off
        QTest::newRow("cut short") << ok(60).left(1500) << false << 4 << "failed";
        QTest::newRow("too large, no length") << "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + QByteArray::fromStdString(majesticRows(200, 1)) << false << 4 << "larger than 4,096 bytes";
        QTest::newRow("server error") << QByteArray("HTTP/1.1 500 Oops\r\nContent-Length: 0\r\n\r\n") << false << 4 << "answered HTTP 500";
        QTest::newRow("redirect to a file") << QByteArray("HTTP/1.1 302 Found\r\nLocation: file:///etc/hostname\r\n\r\n") << false << 4 << "failed";
        QTest::newRow("under half") << ok(1) << false << 4 << "1 usable lines, fewer than half of the 4 of the list in use";
        QTest::newRow("half") << ok(2) << false << 2 << "";
        QTest::newRow("under half, accepted") << ok(1) << true << 1 << "";
        // clang-format on
    }
    void majesticRefresh()
    {
        QFETCH(QByteArray, answer);
        QFETCH(bool, acceptSmaller);
        QFETCH(QString, error);
        brandle::FakeServiceHost upstream; // sends the answer to every request
        upstream.engines({brandle::rawAnswer(u"e"_s, answer)});
        MajesticSettings settings = majesticSettings(upstream.engineUrl(0, {}).toStdString());
        settings.limits.maxBytes = 4096;
        settings.acceptSmallerList = acceptSmaller;
        LinkStore& store = newStore();
        std::istringstream in(majesticRows(4, 10));
        QVERIFY(store.loadMajestic(in, {settings.url, "", "", 0, 0}).replaced);
        MajesticSource source(settings, store, {"majestic-subnets"}, quiet);
        QCOMPARE(source.refresh(), error.isEmpty());
        QTEST(int(store.majesticMeta().rows), "rows");
        QVERIFY2(QString::fromStdString(source.lastError()).contains(error),
                 source.lastError().c_str());
        QCOMPARE(QDir(dir_.path()).entryList({u"*.part"_s}), QStringList());
        QCOMPARE(countOf(source, "d0.com"), error.isEmpty() ? 1 : 10);
    }

    // Distinct pages over both searches; "at least" past the cap; kept a day, by API.
    void wikipedia_data()
    {
        QTest::addColumn<QList<qint64>>("siteLinks");  // page ids of links to the site itself
        QTest::addColumn<QList<qint64>>("underLinks"); // ... and to names under it
        QTest::addColumn<int>("cap");
        QTest::addColumn<qint64>("count");
        QTest::addColumn<bool>("atLeast");
        QTest::addColumn<int>("requests"); // pages of 2
        using L = QList<qint64>;
        QTest::newRow("distinct") << L{1, 2, 3, 4, 5} << L{5, 6, 6, 7} << 40 << 7LL << false << 5;
        QTest::newRow("ends at the cap") << L{1, 2, 3, 4} << L{} << 3 << 4LL << false << 3;
        QTest::newRow("cap one short") << L{1, 2, 3, 4} << L{} << 2 << 4LL << true << 2;
    }
    void wikipedia()
    {
        QFETCH(QList<qint64>, siteLinks);
        QFETCH(QList<qint64>, underLinks);
        QFETCH(int, cap);
        QFETCH(bool, atLeast);
        QFETCH(int, requests);
        FakeWiki fake;
        fake.setLinks("example.com", siteLinks);
        fake.setLinks("*.example.com", underLinks);
        LinkStore& store = newStore();
        std::string error; // a day-old answer is asked again
        QVERIFY(store.storeCount(fake.api(), "example.com", {99, false, std::time(nullptr) - 86400},
                                 error));
        for (const std::string& api : {fake.api(), fake.api(), fake.api() + "?lang=de"}) {
            WikipediaSettings settings = wikiSettings(api);
            settings.maxRequestsPerSite = cap;
            WikipediaSource source(settings, store, quiet);
            const LinkCount result = source.lookup(source.engines()[0], "example.com");
            QCOMPARE(result.kind == LinkCount::Kind::AtLeast, atLeast);
            QTEST(pageCount(source, result), "count");
        }
        QCOMPARE(fake.requests(), 2 * requests);
    }

    // A fault gives no count, or "at least" the pages that came in time, and is not kept: the
    // next lookup asks again (not after maxlag).
    void wikipediaFaults_data()
    {
        QTest::addColumn<FakeWiki::Mode>("mode");
        QTest::addColumn<int>("fromRequest");
        QTest::addColumn<bool>("reachable");
        QTest::addColumn<qint64>("count");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<qint64>("next"); // the count of the next lookup
        using M = FakeWiki::Mode;
        // clang-format off
        QTest::newRow("api error") << M::ApiError << 1 << true << -1LL << "the Wikipedia API answered an error: internal_api_error_DBQueryError (A database query error has occurred. <output" << 3LL;
        QTest::newRow("unavailable") << M::Unavailable << 1 << true << -1LL << "Wikipedia answered HTTP 503" << 3LL;
        QTest::newRow("no list") << M::NoList << 1 << true << -1LL << "the Wikipedia API answered something unreadable" << 3LL;
        QTest::newRow("out of time, no page yet") << M::Held << 2 << true << -1LL << "Wikipedia did not answer in time" << 3LL;
        QTest::newRow("out of time after a page") << M::Held << 3 << true << 2LL << "" << 3LL;
        QTest::newRow("unreachable") << M::Normal << 1 << false << -1LL << "Wikipedia could not be reached" << -1LL;
        QTest::newRow("maxlag") << M::MaxLag << 1 << true << -1LL << "Wikipedia is busy (its databases lag behind); try again later" << -1LL;
        // clang-format on
    }
    void wikipediaFaults()
    {
        QFETCH(FakeWiki::Mode, mode);
        QFETCH(int, fromRequest);
        QFETCH(bool, reachable);
        QFETCH(QString, reason);
        FakeWiki fake;
        fake.setLinks("*.example.net", {1, 2, 3}); // the first search finds nothing
        fake.setMode(mode, fromRequest);
        WikipediaSettings settings = wikiSettings(reachable ? fake.api() : deadUrl());
        settings.answerTime = std::chrono::milliseconds(3000);
        WikipediaSource source(settings, newStore(), quiet);
        const LinkCount result = source.lookup(source.engines()[0], "example.net");
        QTEST(pageCount(source, result), "count");
        QVERIFY2(QString::fromStdString(result.reason).startsWith(reason), result.reason.c_str());
        fake.setMode(FakeWiki::Mode::Normal);
        QTEST(countOf(source, "example.net"), "next");
    }

    // Clients asking for one site at once share one walk; the API gets one request at a time.
    void wikipediaAtOnce()
    {
        FakeWiki fake;
        for (const char* site : {"a.org", "b.org", "c.org"})
            fake.setLinks(site, {1, 2, 3});
        fake.setMode(FakeWiki::Mode::Held);
        WikipediaSource source(wikiSettings(fake.api()), newStore(), quiet);
        std::vector<std::future<qint64>> clients;
        for (const char* site : {"a.org", "a.org", "a.org", "a.org", "b.org", "c.org"})
            clients.push_back(
                std::async(std::launch::async, [&, site] { return countOf(source, site); }));
        QTRY_COMPARE_WITH_TIMEOUT(fake.requests(), 1, brandle::WaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(source.waitingFor("a.org"), std::size_t(3), brandle::WaitMs);
        QCOMPARE(fake.requests(), 1);
        fake.setMode(FakeWiki::Mode::Normal);
        for (auto& client : clients)
            QCOMPARE(client.get(), 3);
        QCOMPARE(fake.requests(), 3 * 3);
        QCOMPARE(fake.mostAtOnce(), 1);
    }

    // Referring domains of the registered domain (ICANN rules), never of a platform's node.
    void commonCrawl_data()
    {
        QTest::addColumn<QString>("site");
        QTest::addColumn<qint64>("count"); // -1: no count
        QTest::addColumn<QString>("shown");
        // clang-format off
        QTest::newRow("www") << "www.example.com" << 3LL << "</output> referring domains (Common Crawl cc-1)";
        QTest::newRow("IDN") << "bücher.de" << 2LL << "";
        QTest::newRow("under co.uk") << "shop.example.co.uk" << 1LL << "";
        QTest::newRow("no in-links") << "lonely.org" << 0LL << "";
        QTest::newRow("absent") << "example.org" << -1LL << "not in Common Crawl&#39;s graph cc-1";
        QTest::newRow("platform site") << "alice.github.io" << -1LL << "shares its Common Crawl entry with every site on github.io";
        QTest::newRow("the platform") << "github.io" << 4LL << "";
        // clang-format on
    }
    void commonCrawl()
    {
        QFETCH(QString, site);
        QFETCH(QString, shown);
        CommonCrawlSource& source = crawlSource();
        const EngineInfo& e = source.engines()[0];
        const std::string accepted = source.acceptSite(site.toStdString()).value_or("");
        const std::string page = source.answerPage(e, "site", source.lookup(e, accepted));
        QTEST(readCount(page), "count");
        QVERIFY2(QString::fromStdString(page).contains(shown), page.c_str());
    }

    // A release is served once read whole, and kept over a restart without a new download. A
    // cut-short newer one never replaces it: its files go, the failure shows and it is not
    // downloaded again. A good newer one replaces it and the old files go.
    void commonCrawlReleases()
    {
        FakeCrawl fake;
        fake.release("cc-1", kNames, kEdges);
        QTemporaryDir cache;
        const CommonCrawlSettings settings = crawlSettings(fake, cache.path());
        const QString dir = cache.filePath(u"commoncrawl"_s);
        const std::string vertices = FakeCrawl::graphPath("cc-1") + "/cc-1-domain-vertices.txt.gz";
        // A download broken off by an earlier run goes on where it stopped.
        QVERIFY(brandle::writeFile(
            dir + u"/cc-1-domain-vertices.txt.gz.part"_s,
            brandle::readBytes(QString::fromStdString(fake.file(vertices))).left(10)));
        {
            CommonCrawlSource source(settings, quiet);
            QCOMPARE(source.status().state, SourceStatus::State::Loading);
            QCOMPARE(source.lookup(source.engines()[0], "example.com").reason,
                     "Common Crawl data is being prepared: 0 %");
            QVERIFY(source.refresh());
            QCOMPARE(fake.requests(vertices + " bytes=10-"), 1);
        }
        const int graphRequests = fake.requests(".gz");
        CommonCrawlSource source(settings, quiet);
        QCOMPARE(countOf(source, "example.com"), 3);
        QVERIFY(source.refresh());
        QCOMPARE(fake.requests(".gz"), graphRequests);

        fake.release("cc-2", kNames, {{0, 1}}, 20);
        QVERIFY(!source.refresh());
        const int brokenRequests = fake.requests("cc-2");
        QVERIFY(!source.refresh());
        QCOMPARE(fake.requests("cc-2"), brokenRequests);
        const SourceStatus status = source.status();
        QCOMPARE(status.state, SourceStatus::State::Ready);
        QCOMPARE(status.release, "cc-1");
        QVERIFY2(status.error.find("release cc-2 is unusable") == 0, status.error.c_str());
        QCOMPARE(countOf(source, "example.com"), 3);
        QCOMPARE(QDir(dir).entryList(QDir::Files),
                 (QStringList{u"cc-1.index"_s, u"current"_s, u"failed"_s}));

        fake.release("cc-3", kNames, {{1, 0}});
        QVERIFY(source.refresh());
        QCOMPARE(countOf(source, "example.com"), 1);
        QCOMPARE(source.status().error, "");
        QCOMPARE(QDir(dir).entryList(QDir::Files),
                 (QStringList{u"cc-3.index"_s, u"current"_s, u"failed"_s}));
    }

    // A release whose files are not a whole, consistent graph gives no index.
    void graphFaults_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<FakeCrawl::Edges>("edges");
        QTest::addColumn<int>("cut"); // bytes missing at the end of the edges file
        QTest::addColumn<qint64>("statedEdges");
        QTest::addColumn<QString>("error");
        const QStringList names{u"com.a"_s, u"com.b"_s};
        using E = FakeCrawl::Edges;
        // clang-format off
        QTest::newRow("cut short") << names << E{{0, 1}, {1, 0}} << 9 << 2LL << "edges.txt.gz: the gzip data ends inside a member";
        QTest::newRow("id past the last") << names << E{{0, 2}} << 0 << 1LL << "edges.txt.gz line 1: an id past the last vertex";
        QTest::newRow("names out of order") << QStringList{u"com.b"_s, u"com.a"_s} << E{{0, 1}} << 0 << 1LL << "vertices.txt.gz line 2: the name is empty";
        QTest::newRow("fewer edges than stated") << names << E{{0, 1}} << 0 << 2LL << "the edges file has 1 lines where the release states 2";
        // clang-format on
    }
    void graphFaults()
    {
        QFETCH(QStringList, names);
        QFETCH(FakeCrawl::Edges, edges);
        QFETCH(int, cut);
        QFETCH(qint64, statedEdges);
        QFETCH(QString, error);
        FakeCrawl fake;
        fake.release("r", names, edges, cut);
        GraphImport job;
        job.vertices = fake.file(FakeCrawl::graphPath("r") + "/r-domain-vertices.txt.gz");
        job.edges = fake.file(FakeCrawl::graphPath("r") + "/r-domain-edges.txt.gz");
        job.index = dir_.filePath(u"faulty.index"_s).toStdString();
        job.release = "r";
        job.expectedEdges = statedEdges;
        const GraphImportResult result = importGraph(job);
        QVERIFY(!result.ok && result.badData);
        QVERIFY2(QString::fromStdString(result.error).contains(error), result.error.c_str());
    }

    // One host exports its release as shards; another reads them at most one shard per site,
    // keeps them for the release and never fetches the graph.
    void commonCrawlMirror()
    {
        QCOMPARE(crawlSource().status().release, "cc-1");
        FakeCrawl& fake = *crawl_;
        const int graphRequests = fake.requests("cc-1/");
        std::string error;
        QVERIFY2(exportShards(commonCrawlDir(dir_.filePath(u"cc"_s).toStdString()),
                              fake.file("mirror"), quiet, error, 16),
                 error.c_str());
        QTemporaryDir mirrorCache;
        CommonCrawlSettings settings = crawlSettings(fake, mirrorCache.path());
        settings.shardsUrl = fake.dataUrl() + "mirror/";
        CommonCrawlSource mirror(settings, quiet);
        QVERIFY(mirror.refresh());
        const auto layout = parseShardLayout(
            brandle::readBytes(QString::fromStdString(fake.file("mirror/commoncrawl.json")))
                .toStdString(),
            error);
        QVERIFY(layout && layout->shards > 4);
        std::set<std::uint32_t> shards;
        const std::vector<std::pair<const char*, qint64>> sites{
            {"example.com", 3}, {"www.example.com", 3}, {"lonely.org", 0}, {"example.org", -1}};
        for (int round = 0; round < 2; ++round) {
            for (const auto& [site, count] : sites) {
                QCOMPARE(countOf(mirror, site), count);
                shards.insert(shardOf(reversedName(graphDomain(site).domain), layout->shards));
            }
        }
        QCOMPARE(fake.requests("mirror/cc-1/"), int(shards.size()));
        QCOMPARE(fake.requests("cc-1/"), graphRequests + int(shards.size()));
    }

    // A count is kept a day; a failure gives its reason (never the key the answer echoes), is
    // not kept and is what GET /sources reports.
    void keyedSources_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("site");
        QTest::addColumn<bool>("rightKey"); // else a wrong one, which the fake echoes
        QTest::addColumn<FakeKeyedApis::Mode>("mode");
        QTest::addColumn<qint64>("count"); // -1: no count
        QTest::addColumn<QString>("reason");
        QTest::addColumn<int>("requests"); // upstream requests of two lookups
        using M = FakeKeyedApis::Mode;
        // clang-format off
        QTest::newRow("bing, summed over pages") << "bing" << "example.com" << true << M::Normal << 26LL << "" << 4;
        QTest::newRow("bing, not verified") << "bing" << "unverified.org" << true << M::Normal << -1LL << "not verified in your Bing Webmaster account" << 2;
        QTest::newRow("bing, key refused") << "bing" << "example.com" << false << M::Normal << -1LL << "Bing Webmaster refused the key (ERROR!!! InvalidApiKey ***)" << 2;
        QTest::newRow("bing, throttled") << "bing" << "example.com" << true << M::Limit << -1LL << "Bing Webmaster's quota or rate limit is reached" << 2;
        QTest::newRow("bing, unreadable") << "bing" << "example.com" << true << M::Unreadable << -1LL << "Bing Webmaster answered something unreadable" << 2;
        QTest::newRow("moz") << "moz" << "example.com" << true << M::Normal << 321LL << "" << 1;
        QTest::newRow("moz, token refused") << "moz" << "example.com" << false << M::Normal << -1LL << "Moz refused the key (bad token ***)" << 2;
        QTest::newRow("moz, rate limit") << "moz" << "example.com" << true << M::Limit << -1LL << "Moz's quota or rate limit is reached (HTTP 429)" << 2;
        QTest::newRow("moz, unreadable") << "moz" << "example.com" << true << M::Unreadable << -1LL << "Moz answered something unreadable" << 2;
        QTest::newRow("dataforseo") << "dataforseo" << "example.com" << true << M::Normal << 654LL << "" << 1;
        QTest::newRow("dataforseo, login refused") << "dataforseo" << "example.com" << false << M::Normal << -1LL << "DataForSEO refused the key (40100 Unauthorized: Basic ***)" << 2;
        QTest::newRow("dataforseo, no money") << "dataforseo" << "example.com" << true << M::Limit << -1LL << "DataForSEO's quota or rate limit is reached (40210 " << 2;
        QTest::newRow("dataforseo, unreadable") << "dataforseo" << "example.com" << true << M::Unreadable << -1LL << "DataForSEO answered something unreadable" << 2;
        QTest::newRow("unreachable") << "moz" << "" << true << M::Normal << -1LL << "Moz could not be reached" << 0;
        // clang-format on
    }
    void keyedSources()
    {
        QFETCH(QString, id);
        QFETCH(QString, site);
        QFETCH(bool, rightKey);
        QFETCH(FakeKeyedApis::Mode, mode);
        QFETCH(QString, reason);
        FakeKeyedApis fake;
        fake.setMode(mode);
        const std::string wrong = "wrong/KEY+" + id.toStdString();
        auto source =
            keyedSource(id, site.isEmpty() ? deadUrl() : fake.api(id.toStdString()),
                        {{"bing-key", rightKey ? FakeKeyedApis::kBingKey : wrong},
                         {"moz-token", rightKey ? FakeKeyedApis::kMozToken : wrong},
                         {"dataforseo-login", FakeKeyedApis::kLogin},
                         {"dataforseo-password", rightKey ? FakeKeyedApis::kPassword : wrong}});
        for (int lookup = 0; lookup < 2; ++lookup) {
            const LinkCount result = source->lookup(
                source->engines()[0], site.isEmpty() ? "example.com" : site.toStdString());
            QTEST(pageCount(*source, result), "count");
            QVERIFY2(QString::fromStdString(result.reason).startsWith(reason),
                     result.reason.c_str());
            for (const std::string& key :
                 {std::string(FakeKeyedApis::kPassword), wrong, urlEncode(wrong)})
                QVERIFY2(result.reason.find(key) == std::string::npos, result.reason.c_str());
            QCOMPARE(source->status().error, result.reason);
        }
        QTEST(fake.requests(id.toStdString()), "requests");
    }

    // No key: no count, no request, and the source is off.
    void keyedSourceWithoutKey()
    {
        FakeKeyedApis fake;
        auto source = keyedSource(u"dataforseo"_s, fake.api("dataforseo"),
                                  {{"dataforseo-login", FakeKeyedApis::kLogin}});
        QCOMPARE(source->lookup(source->engines()[0], "example.com").reason,
                 "no key for DataForSEO: store it in the Sources tab of Brandle's settings, or as "
                 "dataforseo-password in the host's settings file");
        QCOMPARE(fake.requests("dataforseo"), 0);
        QCOMPARE(source->status().key + " " + source->status().error,
                 "none no dataforseo-password is stored");
    }

    // Requests to Moz keep the interval; a lookup whose turn would come too late gets none.
    void mozSpacing()
    {
        FakeKeyedApis fake;
        const std::map<std::string, std::string> token{{"moz-token", FakeKeyedApis::kMozToken}};
        constexpr auto interval = std::chrono::milliseconds(300);
        auto spaced = keyedSource(u"moz"_s, fake.api("moz"), token, interval);
        const auto start = std::chrono::steady_clock::now();
        for (const char* site : {"a.org", "b.org", "c.org"})
            QCOMPARE(countOf(*spaced, site), 321);
        QVERIFY(std::chrono::steady_clock::now() - start >= 2 * interval); // two waited their turn
        auto slow = keyedSource(u"moz"_s, fake.api("moz"), token, std::chrono::seconds(10));
        QCOMPARE(countOf(*slow, "d.org"), 321);
        const LinkCount late = slow->lookup(slow->engines()[0], "e.org");
        QCOMPARE(late.reason, "waiting for Moz's request limit");
        QCOMPARE(fake.requests("moz"), 4);
    }

    // The keyring's key comes first, else the settings file's, read again when it changes and
    // refused once others may read it; every key seen is redacted, also percent-encoded.
    void keys()
    {
        const QString file = dir_.filePath(u"keys.conf"_s);
        const auto write = [&](const QByteArray& text, QFile::Permissions permissions) {
            return brandle::writeFile(file, text) && QFile::setPermissions(file, permissions);
        };
        const QFile::Permissions owner = QFile::ReadOwner | QFile::WriteOwner;
        QVERIFY(write("bing-key = from/file\n", owner));
        KeyringAnswer keyring;
        Keys keys(
            file.toStdString(), {{"bing-key", "from/file"}},
            [&](const std::string&) { return keyring; }, quiet);
        QCOMPARE(keys.get("bing-key").value, "from/file");
        keyring = {KeyringAnswer::Kind::Found, " from-keyring\n", {}};
        QCOMPARE(keys.get("bing-key").value, "from-keyring");
        QCOMPARE(int(keys.get("bing-key").origin), int(KeyOrigin::Keyring));
        keyring = {KeyringAnswer::Kind::Missing, {}, {}};
        QVERIFY(write("bing-key = edited\n", owner));
        QCOMPARE(keys.get("bing-key").value, "edited");
        QVERIFY(write("bing-key = readable\n", owner | QFile::ReadGroup));
        const Key refused = keys.get("bing-key");
        QCOMPARE(int(refused.origin), int(KeyOrigin::None));
        QVERIFY2(refused.problem.find("can be read by others") != std::string::npos,
                 refused.problem.c_str());
        QCOMPARE(keys.redact("a from/file b from%2Ffile c from-keyring d edited e readable"),
                 "a *** b *** c *** d *** e readable");
    }

    // A head that does not come in time is refused; a lookup that finds no engine thread in time
    // is answered as late while the others still run.
    void frontTimes()
    {
        FrontLimits limits;
        limits.headTimeout = std::chrono::milliseconds(300);
        limits.engineThreads = 1;
        limits.engineWait = std::chrono::milliseconds(300);
        HostServer server(limits, {}, quiet);
        std::promise<void> release;
        std::shared_future<void> released = release.get_future().share();
        std::atomic<int> running{0};
        server.Get("/engines/e/search", [&](const httplib::Request&, httplib::Response& res) {
            if (HostServer::requestIsLate())
                return res.set_content("late", "text/plain");
            ++running;
            released.wait();
            res.set_content("counted", "text/plain");
        });
        const int port = server.bind_to_any_port("127.0.0.1");
        std::thread listener([&] { server.listen_after_bind(); });
        const auto ask = [port] {
            return httplib::Client("127.0.0.1", port).Get("/engines/e/search")->body;
        };
        auto first = std::async(std::launch::async, ask);
        QTRY_COMPARE_WITH_TIMEOUT(running.load(), 1, brandle::WaitMs);
        QCOMPARE(ask(), "late");
        QCOMPARE(rawStatus(port, "GET / HTTP/1.1\r\nHost: localhost\r\n"), 408);
        release.set_value();
        QCOMPARE(first.get(), "counted");
        server.stop();
        listener.join();
    }

    // An unread log never holds up the host: lines past the backlog are dropped and counted.
    void unreadLog()
    {
        int fds[2];
        QCOMPARE(::pipe(fds), 0);
        std::FILE* out = ::fdopen(fds[1], "w");
        constexpr int kLines = 20000; // about 2 MB, far more than a pipe holds
        std::future<QString> reader;
        {
            LogWriter log(out, 10);
            for (int i = 0; i < kLines; ++i)
                log.line("line " + std::string(100, 'x'));
            reader = std::async(std::launch::async, [&] { // all of that returned while nobody read
                QFile in;
                in.open(fds[0], QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
                return QString::fromUtf8(in.readAll());
            });
        } // writes what is queued
        std::fclose(out);
        const QString all = reader.get();
        int dropped = 0;
        for (auto m = QRegularExpression(u"(\\d+) log lines dropped"_s).globalMatch(all);
             m.hasNext();)
            dropped += m.next().captured(1).toInt();
        QCOMPARE(all.count(u"line x"_s) + dropped, kLines);
        QVERIFY(all.count(u"line x"_s) < kLines / 2);
    }
};

QTEST_GUILESS_MAIN(HostSourcesTest)
#include "tst_hostsources.moc"

// SPDX-License-Identifier: MIT
// brandle-host's sources against local fakes of their upstreams, and the log nobody reads.

#include "Fakes.h"
#include "LinkStore.h"
#include "LogWriter.h"
#include "MajesticSource.h"
#include "WikipediaSource.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

#include <ctime>
#include <future>
#include <sstream>

using namespace brandle::host;

namespace {

// The figure the lookup reads off the source's answer page; -1: no count.
qint64 pageCount(const Source& source, const LinkCount& result)
{
    const EngineInfo& e = source.engines()[0];
    return readCount(source.answerPage(e, "site", result), e.leftString, e.rightString);
}

qint64 countOf(Source& source, const std::string& site)
{
    return pageCount(source, source.lookup(source.engines()[0], site));
}

// An upstream that sends these bytes to every request; none: it refuses connections.
struct Upstream {
    explicit Upstream(const QByteArray& answer)
    {
        host.engines(
            {answer.isEmpty() ? brandle::unreachable(u"e"_s) : brandle::rawAnswer(u"e"_s, answer)});
    }
    std::string url() const { return host.engineUrl(0, {}).toStdString(); }
    brandle::FakeServiceHost host;
};

const Logger quiet = [](const std::string&) {
};

} // namespace

Q_DECLARE_METATYPE(FakeWiki::Mode)

class HostSourcesTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    int dbNumber_ = 0;

    std::unique_ptr<LinkStore> newStore()
    {
        std::string error;
        return LinkStore::open(dir_.filePath(u"db%1.sqlite"_s.arg(++dbNumber_)).toStdString(),
                               error);
    }
    MajesticSettings majesticSettings(const std::string& url)
    {
        MajesticSettings settings;
        settings.url = url;
        settings.cacheDir = dir_.path().toStdString();
        return settings;
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
        QTest::newRow("new list") << header + line << false << "" << 5LL;
        QTest::newRow("byte order mark, CRLF") << u"\uFEFF"_s + header.trimmed() + u"\r\n"_s + line + u"\r\n"_s << false << "" << 5LL;
        QTest::newRow("other column order") << "Domain,RefIPs,RefSubNets,IDN_Domain\nnew.com,6,5,new.com" << false << "" << 5LL;
        QTest::newRow("quoted fields") << header + u"1,1,\"new.com\",com,\"5\",6,new.com,com,1,1,5,6"_s << false << "" << 5LL;
        QTest::newRow("largest count") << header + u"1,1,new.com,com,2147483647,6,new.com,com,1,1,5,6"_s << false << "" << 2147483647LL;
        QTest::newRow("count over 32 bits") << withBad("2,2,bad.com,com,2147483648,1,bad.com,com,2,2,1,1") << false << "" << 5LL;
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
        auto store = newStore();
        QVERIFY(store && !store->hasMajestic());
        std::istringstream oldList(majesticList({majesticLine(1, "old.com", 1, 2)}));
        QVERIFY(store->loadMajestic(oldList, {"http://a/", "\"e1\"", "", 100, 0}).replaced);
        std::string text = csv.toStdString();
        for (int i = 0; cancel && i < 5000; ++i) // the flag is seen after 4096 lines
            text += majesticLine(i + 2, "filler" + std::to_string(i) + ".com", 1, 1) + "\n";
        std::istringstream in(text);
        const std::atomic<bool> stop{cancel};
        const MajesticLoad load =
            store->loadMajestic(in, {"http://b/", "\"e2\"", "", 200, 0}, &stop);
        const bool replaced = error.isEmpty();
        QCOMPARE(load.replaced, replaced);
        QVERIFY2(QString::fromStdString(load.error).contains(error), load.error.c_str());
        QCOMPARE(bool(store->majestic("old.com", "old.com")), !replaced);
        const auto counts = store->majestic("new.com", "new.com");
        QTEST(counts ? qint64(counts->refSubNets) : 0LL, "subnets");
        QCOMPARE(counts ? counts->refIps : 0u, replaced ? 6u : 0u);
        const MajesticMeta meta = store->majesticMeta();
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
        QVERIFY(store->storeWikipedia("api", "a.org", {3, false, 5}, error));
        QCOMPARE(store->wikipedia("api", "a.org")->pages, 3u);
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
        auto store = newStore();
        QString log;
        MajesticSource source(
            settings, *store, {"majestic-subnets"},
            [&log](const std::string& line) { log += QString::fromStdString(line); });
        QCOMPARE(countOf(source, "google.com"), -1);
        QVERIFY(source.refresh());
        QCOMPARE(countOf(source, "google.com"), 345862);
        QVERIFY2(log.contains(u"skipped 2 malformed lines (the first is line 3)"_s),
                 qPrintable(log));
        QVERIFY(source.refresh());
        QVERIFY2(log.contains(u"the list is unchanged"_s), qPrintable(log));
        QCOMPARE(countOf(source, "google.com"), 345862);
        QVERIFY(!QFile::exists(dir_.filePath(u"majestic_million.csv.part"_s)));
    }

    // A failed refresh keeps the list in use, says why in the log and leaves no partial file.
    void majesticFaults_data()
    {
        QTest::addColumn<QByteArray>("answer"); // the whole HTTP answer; empty: nothing listens
        QTest::addColumn<QString>("reason");
        std::string lines; // about 7 KB
        for (int i = 0; i < 200; ++i)
            lines += majesticLine(i + 2, "site" + std::to_string(i) + ".org", 1, 1) + "\n";
        const QByteArray body =
            QByteArray::fromStdString(majesticList({majesticLine(1, "google.com", 99, 99), lines}));
        const QByteArray ok = "HTTP/1.1 200 OK\r\nContent-Length: ";
        QTest::newRow("cut short") << ok + "3000\r\n\r\n" + body.left(2000) << "failed";
        QTest::newRow("too large") << ok + QByteArray::number(body.size()) + "\r\n\r\n" + body
                                   << "larger than 4,096 bytes";
        QTest::newRow("too large, no length")
            << "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + body << "larger than 4,096 bytes";
        QTest::newRow("server error")
            << QByteArray("HTTP/1.1 500 Oops\r\nContent-Length: 0\r\n\r\n") << "answered HTTP 500";
        QTest::newRow("redirect to a file")
            << QByteArray("HTTP/1.1 302 Found\r\nLocation: file:///etc/hostname\r\n\r\n")
            << "failed";
    }
    void majesticFaults()
    {
        QFETCH(QByteArray, answer);
        QFETCH(QString, reason);
        const Upstream upstream(answer);
        MajesticSettings settings = majesticSettings(upstream.url());
        settings.limits.maxBytes = 4096;
        auto store = newStore();
        QString log;
        MajesticSource source(
            settings, *store, {"majestic-subnets"},
            [&log](const std::string& line) { log += QString::fromStdString(line); });
        std::istringstream in(majesticList({majesticLine(1, "google.com", 10, 20)}));
        QVERIFY(store->loadMajestic(in, {settings.url, "", "", 0, 0}).replaced);
        QVERIFY(!source.refresh());
        QVERIFY2(log.contains(reason), qPrintable(log));
        QVERIFY(!QFile::exists(dir_.filePath(u"majestic_million.csv.part"_s)));
        QCOMPARE(countOf(source, "google.com"), 10);
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
        // clang-format off
        QTest::newRow("continue, distinct") << L{1, 2, 3, 4, 5} << L{5, 6, 6, 7} << 40 << 7LL << false << 3 + 2;
        QTest::newRow("ends at the cap") << L{1, 2, 3, 4} << L{} << 3 << 4LL << false << 3;
        QTest::newRow("cap one short") << L{1, 2, 3, 4} << L{} << 2 << 4LL << true << 2;
        // clang-format on
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
        auto store = newStore();
        std::string error; // a day-old answer is asked again
        QVERIFY(store->storeWikipedia(fake.api(), "example.com",
                                      {99, false, std::time(nullptr) - 86400}, error));
        for (const std::string& api : {fake.api(), fake.api(), fake.api() + "?lang=de"}) {
            WikipediaSettings settings = wikiSettings(api);
            settings.maxRequestsPerSite = cap;
            WikipediaSource source(settings, *store, quiet);
            const LinkCount result = source.lookup(source.engines()[0], "example.com");
            QCOMPARE(result.kind == LinkCount::Kind::AtLeast, atLeast);
            QTEST(pageCount(source, result), "count");
        }
        QCOMPARE(fake.requests(), 2 * requests);
        QVERIFY2(fake.lastUserAgent().find("https://brandle.test/") != std::string::npos,
                 fake.lastUserAgent().c_str());
    }

    // A fault gives no count and is not kept, the next lookup asks again (not after maxlag).
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
        QTest::newRow("api error after a page") << M::ApiError << 2 << true << -1LL << "the Wikipedia API answered an error" << 3LL;
        QTest::newRow("unavailable") << M::Unavailable << 1 << true << -1LL << "Wikipedia answered HTTP 503" << 3LL;
        QTest::newRow("no list") << M::NoList << 1 << true << -1LL << "the Wikipedia API answered something unreadable" << 3LL;
        QTest::newRow("slow") << M::Slow << 1 << true << -1LL << "Wikipedia did not answer in time" << 3LL;
        QTest::newRow("out of time after a page") << M::Held << 2 << true << 2LL << "" << 2LL;
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
        fake.setLinks("example.net", {1, 2, 3});
        fake.setMode(mode, fromRequest);
        auto store = newStore();
        const Upstream dead{QByteArray()};
        WikipediaSettings settings = wikiSettings(reachable ? fake.api() : dead.url());
        settings.answerTime = std::chrono::milliseconds(3000);
        WikipediaSource source(settings, *store, quiet);
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
        auto store = newStore();
        WikipediaSource source(wikiSettings(fake.api()), *store, quiet);
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

    // An unread log never holds up the host: lines past the backlog are dropped and counted.
    void unreadLog()
    {
        int fds[2];
        QCOMPARE(::pipe(fds), 0);
        std::FILE* out = ::fdopen(fds[1], "w");
        constexpr int kLines = 20000; // about 2 MB, far more than a pipe holds
        std::string text;
        std::future<void> reader;
        {
            LogWriter log(out, 10);
            for (int i = 0; i < kLines; ++i)
                log.line("line " + std::string(100, 'x'));
            reader = std::async(std::launch::async, [&] { // all of that returned while nobody read
                char buffer[65536];
                for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;)
                    text.append(buffer, std::size_t(n));
            });
        } // writes what is queued
        std::fclose(out);
        reader.get();
        ::close(fds[0]);
        const QString all = QString::fromStdString(text);
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

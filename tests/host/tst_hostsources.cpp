// SPDX-License-Identifier: MIT
// Tests of brandle-host's sources against local fakes of their upstreams: the database and
// its list swap, the Majestic download and refresh, the Wikipedia walk with its cache, and
// the upstream client's limits.

#include "EnginePage.h"
#include "Fakes.h"
#include "HttpFetch.h"
#include "LinkStore.h"
#include "LogWriter.h"
#include "MajesticSource.h"
#include "WikipediaSource.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <future>
#include <sstream>

using namespace brandle::host;
using namespace Qt::Literals::StringLiterals;

namespace {

std::string list(const std::vector<std::string>& lines)
{
    std::string out = std::string(kMajesticHeader) + "\r\n";
    for (const std::string& line : lines)
        out += line + "\r\n";
    return out;
}

// What a source wrote to the host log.
struct LogLines {
    std::shared_ptr<std::mutex> mutex = std::make_shared<std::mutex>();
    std::shared_ptr<QStringList> lines = std::make_shared<QStringList>();
    Logger logger() const
    {
        return [m = mutex, l = lines](const std::string& line) {
            std::lock_guard<std::mutex> lock(*m);
            *l << QString::fromStdString(line);
        };
    }
    QString all() const
    {
        std::lock_guard<std::mutex> lock(*mutex);
        return lines->join(u'\n');
    }
};

// The figure of an answer as the lookup reads it off the engine page; -1: no count.
qint64 pageCount(const Source& source, const EngineInfo& engine, const LinkCount& result)
{
    const std::optional<std::uint64_t> n =
        readCount(source.answerPage(engine, "site", result), engine.leftString, engine.rightString);
    return n ? qint64(*n) : -1;
}

// A port on 127.0.0.1 where nothing listens: bound once to learn a free one, then closed.
int closedPort()
{
    const int sock = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof addr;
    ::bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::getsockname(sock, reinterpret_cast<sockaddr*>(&addr), &length);
    ::close(sock);
    return ntohs(addr.sin_port);
}

const Logger quiet = [](const std::string&) {
};

enum class ListFault { CutShort, ServerError, NoHeader, NoUsableLine, TooLarge, Unreachable };

} // namespace

Q_DECLARE_METATYPE(ListFault)
Q_DECLARE_METATYPE(FakeWiki::Mode)
Q_DECLARE_METATYPE(FetchResult::Outcome)

class HostSourcesTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    int dbNumber_ = 0;

    std::unique_ptr<LinkStore> newStore()
    {
        std::string error;
        auto store =
            LinkStore::open(dir_.filePath(u"db%1.sqlite"_s.arg(++dbNumber_)).toStdString(), error);
        if (!store)
            qWarning("%s", error.c_str());
        return store;
    }

    MajesticSettings majesticSettings(const std::string& url)
    {
        MajesticSettings settings;
        settings.url = url;
        settings.cacheDir = dir_.path().toStdString();
        settings.userAgent = "brandle-host/test";
        return settings;
    }

    WikipediaSettings wikiSettings(const std::string& api)
    {
        WikipediaSettings settings;
        settings.apiUrl = api;
        settings.userAgent = "brandle-host/test (https://brandle.test/)";
        return settings;
    }

private slots:
    // A load that fails at any point leaves the list in use as it was; one that succeeds
    // replaces it as a whole.
    void listSwap_data()
    {
        QTest::addColumn<QString>("csv");
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<bool>("replaced");
        QTest::addColumn<QString>("error");
        const QString newList = QString::fromStdString(list({majesticLine(1, "new.com", 5, 6)}));
        // clang-format off
        QTest::newRow("new list") << newList << false << true << "";
        QTest::newRow("cancelled") << newList << true << false << "cancelled";
        QTest::newRow("no header") << "1,1,new.com,com,5,6,new.com,com,1,1,5,6\n" << false << false << "expected header";
        QTest::newRow("html instead") << "<html><body>Moved</body></html>\n" << false << false << "expected header";
        QTest::newRow("header only") << QString::fromLatin1(kMajesticHeader) << false << false << "no usable line";
        QTest::newRow("only bad lines") << QString::fromLatin1(kMajesticHeader) + u"\nx,y\n1,2,3\n"_s << false << false << "no usable line";
        QTest::newRow("empty") << "" << false << false << "empty";
        // clang-format on
    }
    void listSwap()
    {
        QFETCH(QString, csv);
        QFETCH(bool, cancel);
        QFETCH(bool, replaced);
        QFETCH(QString, error);
        auto store = newStore();
        QVERIFY(store);
        QVERIFY(!store->hasMajestic());
        std::istringstream oldList(list({majesticLine(1, "old.com", 1, 2)}));
        QVERIFY(store->loadMajestic(oldList, {"http://a/", "\"e1\"", "", 100, 0}).replaced);

        // A cancel flag set before the load stops it at its first check, after 4096 lines.
        std::string text = csv.toStdString();
        for (int i = 0; cancel && i < 5000; ++i)
            text += majesticLine(i + 2, "filler" + std::to_string(i) + ".com", 1, 1) + "\n";
        std::istringstream in(text);
        const std::atomic<bool> stop{cancel};
        const MajesticLoad load =
            store->loadMajestic(in, {"http://b/", "\"e2\"", "", 200, 0}, &stop);
        QCOMPARE(load.replaced, replaced);
        QVERIFY2(QString::fromStdString(load.error).contains(error), load.error.c_str());
        QCOMPARE(bool(store->majestic("old.com", "old.com")), !replaced);
        QCOMPARE(bool(store->majestic("new.com", "new.com")), replaced);
        const MajesticMeta meta = store->majesticMeta();
        QCOMPARE(meta.etag, std::string(replaced ? "\"e2\"" : "\"e1\""));
        QCOMPARE(meta.checkedAt, replaced ? 200 : 100);
        QCOMPARE(meta.rows, 1);
    }

    // Malformed lines are skipped and counted, a repeated domain keeps its first line, the
    // Unicode form finds a domain, and all of it is still there after reopening.
    void listLoad()
    {
        const QString file = dir_.filePath(u"reopen.sqlite"_s);
        std::string error;
        {
            auto store = LinkStore::open(file.toStdString(), error);
            QVERIFY(store);
            std::istringstream in(
                list({majesticLine(1, "google.com", 345862, 2029543), "this is not a line",
                      majesticLine(2, "xn--bcher-kva.de", 12, 34, "bücher.de"),
                      majesticLine(3, "google.com", 1, 1), "4,4,bad count.com,com,x,y,a,b,c,d,e,f",
                      ""}));
            const MajesticLoad load = store->loadMajestic(in, {"u", "", "", 1, 0});
            QVERIFY(load.replaced);
            QCOMPARE(load.rows, 2u);
            QCOMPARE(load.skipped, 2u);
            QCOMPARE(load.firstSkipped, 3u);
            QCOMPARE(load.duplicates, 1u);
        }
        auto store = LinkStore::open(file.toStdString(), error);
        QVERIFY(store);
        QVERIFY(store->hasMajestic());
        const auto google = store->majestic("google.com", "google.com");
        QVERIFY(google);
        QCOMPARE(google->refSubNets, 345862u);
        QCOMPARE(google->refIps, 2029543u);
        QVERIFY(store->majestic("unrelated", "bücher.de"));
        QVERIFY(!store->majestic("bücher.de", "nothing"));
        QVERIFY(!store->majestic("oogle.com", "oogle.com"));
        QCOMPARE(store->majesticMeta().rows, 2);
    }

    // A cache file that is no database is put aside and a new one made.
    void brokenDatabase()
    {
        const QString file = dir_.filePath(u"broken.sqlite"_s);
        QFile junk(file);
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write(QByteArray(8192, 'x'));
        junk.close();
        std::string error;
        auto store = LinkStore::open(file.toStdString(), error);
        QVERIFY2(store, error.c_str());
        QVERIFY(QFile::exists(file + u".broken"_s));
        QVERIFY(store->storeWikipedia("api", "a.org", {3, false, 5}, error));
        QCOMPARE(store->wikipedia("api", "a.org")->pages, 3u);
        QVERIFY(!store->wikipedia("other api", "a.org"));
    }

    // Download, lookups of both engines, the conditional refresh and a changed list.
    void majestic()
    {
        FakeMajestic fake;
        fake.setList(list({majesticLine(1, "google.com", 345862, 2029543),
                           majesticLine(2, "xn--bcher-kva.de", 12, 34, "bücher.de"), "broken",
                           "also broken"}),
                     "\"v1\"");
        fake.start();
        auto store = newStore();
        LogLines log;
        MajesticSource source(majesticSettings(fake.url()), *store,
                              {"majestic-subnets", "majestic-ips"}, log.logger());
        QCOMPARE(source.engines().size(), std::size_t(2));
        const EngineInfo& subnets = source.engines()[0];
        const EngineInfo& ips = source.engines()[1];
        QCOMPARE(subnets.name, std::string("Majestic referring subnets"));
        QCOMPARE(ips.name, std::string("Majestic referring IPs"));
        QCOMPARE(pageCount(source, subnets, source.lookup(subnets, "google.com")), -1);

        QVERIFY(source.refresh());
        QVERIFY2(log.all().contains(u"skipped 2 malformed lines (the first is line 4)"_s),
                 qPrintable(log.all()));
        QCOMPARE(pageCount(source, subnets, source.lookup(subnets, "google.com")), 345862);
        QCOMPARE(pageCount(source, ips, source.lookup(ips, "google.com")), 2029543);
        QCOMPARE(pageCount(source, ips, source.lookup(ips, *source.acceptSite("WWW.Bücher.de"))),
                 34);
        const LinkCount outside = source.lookup(subnets, "example.com");
        QCOMPARE(pageCount(source, subnets, outside), -1);
        QCOMPARE(outside.reason, std::string("not among the million most linked domains"));

        QVERIFY(source.refresh());
        QCOMPARE(fake.downloads(), 1);
        QCOMPARE(fake.notModified(), 1);
        QCOMPARE(pageCount(source, subnets, source.lookup(subnets, "google.com")), 345862);

        fake.setList(list({majesticLine(1, "google.com", 345900, 2030000)}), "\"v2\"");
        QVERIFY(source.refresh());
        QCOMPARE(fake.downloads(), 2);
        QCOMPARE(pageCount(source, subnets, source.lookup(subnets, "google.com")), 345900);
        QCOMPARE(pageCount(source, subnets, source.lookup(subnets, "bücher.de")), -1);
        QVERIFY(!QFile::exists(dir_.filePath(u"majestic_million.csv.part"_s)));
    }

    // Every fault of a refresh keeps the list in use, says why in the log, and leaves no
    // partial download behind; without a list the engines give the reason instead.
    void majesticFaults_data()
    {
        QTest::addColumn<ListFault>("fault");
        QTest::addColumn<QString>("reason");
        // clang-format off
        QTest::newRow("cut short") << ListFault::CutShort << "failed";
        QTest::newRow("server error") << ListFault::ServerError << "answered HTTP 500";
        QTest::newRow("no header") << ListFault::NoHeader << "expected header";
        QTest::newRow("no usable line") << ListFault::NoUsableLine << "no usable line";
        QTest::newRow("too large") << ListFault::TooLarge << "larger than 4,096 bytes";
        QTest::newRow("unreachable") << ListFault::Unreachable << "failed";
        // clang-format on
    }
    void majesticFaults()
    {
        QFETCH(ListFault, fault);
        QFETCH(QString, reason);
        const std::string good = list({majesticLine(1, "google.com", 10, 20)});
        std::string big;
        for (int i = 0; i < 200; ++i)
            big += majesticLine(i + 2, "site" + std::to_string(i) + ".org", 1, 1) + "\n";
        FakeMajestic fake;
        fake.start();
        MajesticSettings settings = majesticSettings(
            fault == ListFault::Unreachable
                ? "http://127.0.0.1:" + std::to_string(closedPort()) + "/majestic_million.csv"
                : fake.url());
        settings.limits.maxBytes = 4096;

        for (const bool hadList : {true, false}) {
            auto store = newStore();
            LogLines log;
            MajesticSource source(settings, *store, {"majestic-subnets"}, log.logger());
            const EngineInfo& engine = source.engines()[0];
            if (hadList) {
                std::istringstream in(good);
                QVERIFY(store->loadMajestic(in, {fake.url(), "", "", 0, 0}).replaced);
            }
            fake.setMode(FakeMajestic::Mode::Normal);
            switch (fault) {
            case ListFault::CutShort:
                fake.setList(list({majesticLine(1, "google.com", 99, 99), big}), "\"x\"");
                fake.setMode(FakeMajestic::Mode::CutShort);
                break;
            case ListFault::ServerError:
                fake.setMode(FakeMajestic::Mode::ServerError);
                break;
            case ListFault::NoHeader:
                fake.setList(majesticLine(1, "google.com", 99, 99) + "\n", "\"x\"");
                break;
            case ListFault::NoUsableLine:
                fake.setList(std::string(kMajesticHeader) + "\n1,2,3\n", "\"x\"");
                break;
            case ListFault::TooLarge:
                fake.setList(list({majesticLine(1, "google.com", 99, 99), big + big}), "\"x\"");
                break;
            case ListFault::Unreachable:
                break;
            }
            QVERIFY(!source.refresh());
            QVERIFY2(log.all().contains(reason), qPrintable(log.all()));
            QVERIFY(!QFile::exists(dir_.filePath(u"majestic_million.csv.part"_s)));
            const LinkCount answer = source.lookup(engine, "google.com");
            QCOMPARE(pageCount(source, engine, answer), hadList ? 10 : -1);
            if (!hadList)
                QVERIFY2(QString::fromStdString(answer.reason).contains(reason),
                         answer.reason.c_str());
        }
    }

    // The background refresh loads a missing list by itself and stops promptly.
    void majesticBackground()
    {
        FakeMajestic fake;
        fake.setList(list({majesticLine(1, "google.com", 10, 20)}), "\"v1\"");
        fake.start();
        auto store = newStore();
        MajesticSource source(majesticSettings(fake.url()), *store, {"majestic-ips"}, quiet);
        source.start();
        QTRY_VERIFY(store->hasMajestic());
        source.stop();
        QCOMPARE(fake.downloads(), 1);
        QCOMPARE(pageCount(source, source.engines()[0],
                           source.lookup(source.engines()[0], "google.com")),
                 20);
    }

    // Distinct articles over both searches and their continue pages, kept for a day, also
    // for the next start of the host; the requests say who asks.
    void wikipedia()
    {
        FakeWiki fake;
        fake.setLinks("example.com", {1, 2, 3, 4, 5, 6, 7});
        fake.setLinks("*.example.com", {7, 8, 8, 9});
        fake.start();
        auto store = newStore();
        {
            WikipediaSource source(wikiSettings(fake.api()), *store, quiet);
            const EngineInfo& engine = source.engines()[0];
            QCOMPARE(engine.name, std::string("Wikipedia articles linking"));
            QCOMPARE(pageCount(source, engine, source.lookup(engine, "example.com")), 9);
            QCOMPARE(fake.requests(), 3 + 2);
            QVERIFY2(fake.lastUserAgent().find("https://brandle.test/") != std::string::npos,
                     fake.lastUserAgent().c_str());
            QCOMPARE(pageCount(source, engine, source.lookup(engine, "example.com")), 9);
            QCOMPARE(fake.requests(), 5);
        }
        WikipediaSource again(wikiSettings(fake.api()), *store, quiet);
        QCOMPARE(
            pageCount(again, again.engines()[0], again.lookup(again.engines()[0], "example.com")),
            9);
        QCOMPARE(fake.requests(), 5);
        // Another API (another language) does not share the answers.
        WikipediaSource other(wikiSettings(fake.api() + "?lang=de"), *store, quiet);
        QCOMPARE(
            pageCount(other, other.engines()[0], other.lookup(other.engines()[0], "example.com")),
            9);
        QCOMPARE(fake.requests(), 10);
    }

    // Past the request cap the page says "at least" and carries the pages seen.
    void wikipediaCap()
    {
        FakeWiki fake;
        QVector<std::int64_t> many;
        for (int i = 1; i <= 100; ++i)
            many << i;
        fake.setLinks("example.org", many);
        fake.setPageSize(10);
        fake.start();
        auto store = newStore();
        WikipediaSettings settings = wikiSettings(fake.api());
        settings.maxRequestsPerSite = 4;
        WikipediaSource source(settings, *store, quiet);
        const EngineInfo& engine = source.engines()[0];
        const LinkCount result = source.lookup(engine, "example.org");
        QCOMPARE(result.kind, LinkCount::Kind::AtLeast);
        QCOMPARE(pageCount(source, engine, result), 40);
        QVERIFY(source.answerPage(engine, "example.org", result).find("at least <output") !=
                std::string::npos);
        QCOMPARE(fake.requests(), 4);
        QCOMPARE(source.lookup(engine, "example.org").kind, LinkCount::Kind::AtLeast);
        QCOMPARE(fake.requests(), 4);
    }

    // Each fault gives no count with its reason and is not kept: once the API answers again,
    // the next lookup asks it.
    void wikipediaFaults_data()
    {
        QTest::addColumn<FakeWiki::Mode>("mode");
        QTest::addColumn<bool>("reachable");
        QTest::addColumn<QString>("reason");
        using M = FakeWiki::Mode;
        // clang-format off
        QTest::newRow("api error") << M::ApiError << true << "the Wikipedia API answered an error: internal_api_error_DBQueryError (A database query error has occurred.)";
        QTest::newRow("server error") << M::ServerError << true << "Wikipedia answered HTTP 503";
        QTest::newRow("not json") << M::NotJson << true << "the Wikipedia API answered something unreadable";
        QTest::newRow("slow") << M::Slow << true << "Wikipedia did not answer in time";
        QTest::newRow("unreachable") << M::Normal << false << "Wikipedia could not be reached";
        // clang-format on
    }
    void wikipediaFaults()
    {
        QFETCH(FakeWiki::Mode, mode);
        QFETCH(bool, reachable);
        QFETCH(QString, reason);
        FakeWiki fake;
        fake.setLinks("example.net", {1, 2});
        fake.setMode(mode);
        fake.start();
        auto store = newStore();
        WikipediaSettings settings = wikiSettings(
            reachable ? fake.api()
                      : "http://127.0.0.1:" + std::to_string(closedPort()) + "/w/api.php");
        settings.answerTime = std::chrono::milliseconds(1500);
        WikipediaSource source(settings, *store, quiet);
        const EngineInfo& engine = source.engines()[0];
        const LinkCount result = source.lookup(engine, "example.net");
        QCOMPARE(pageCount(source, engine, result), -1);
        QVERIFY2(QString::fromStdString(result.reason).startsWith(reason), result.reason.c_str());
        if (!reachable)
            return;
        fake.setMode(FakeWiki::Mode::Normal);
        QCOMPARE(pageCount(source, engine, source.lookup(engine, "example.net")), 2);
    }

    // When the lookup's time runs out after some pages, the page gives the pages seen as a
    // lower bound instead of nothing.
    void wikipediaOutOfTime()
    {
        FakeWiki fake;
        QVector<std::int64_t> many;
        for (int i = 1; i <= 30; ++i)
            many << i;
        fake.setLinks("example.net", many);
        fake.setPageSize(1);
        fake.holdAfter(1); // the first page comes at once, the second never
        fake.start();
        auto store = newStore();
        WikipediaSettings settings = wikiSettings(fake.api());
        settings.answerTime = std::chrono::milliseconds(2000);
        WikipediaSource source(settings, *store, quiet);
        const LinkCount result = source.lookup(source.engines()[0], "example.net");
        QCOMPARE(result.kind, LinkCount::Kind::AtLeast);
        QCOMPARE(result.value, 1);
    }

    // A maxlag answer makes the source wait the Retry-After time before it asks again.
    void wikipediaMaxlag()
    {
        FakeWiki fake;
        fake.setLinks("example.net", {1, 2});
        fake.setMode(FakeWiki::Mode::MaxLag);
        fake.start();
        auto store = newStore();
        WikipediaSource source(wikiSettings(fake.api()), *store, quiet);
        const EngineInfo& engine = source.engines()[0];
        QCOMPARE(source.lookup(engine, "example.net").reason,
                 std::string("Wikipedia is busy (its databases lag behind); try again later"));
        QCOMPARE(fake.requests(), 1);
        fake.setMode(FakeWiki::Mode::Normal);
        const LinkCount waiting = source.lookup(engine, "example.org");
        QCOMPARE(waiting.kind, LinkCount::Kind::NoCount);
        QVERIFY2(waiting.reason.find("asked to wait") != std::string::npos, waiting.reason.c_str());
        QCOMPARE(fake.requests(), 1);
    }

    // Clients asking for the same site at once cause one walk; all get its figure.
    void wikipediaCoalesces()
    {
        FakeWiki fake;
        fake.setLinks("example.com", {1, 2, 3, 4});
        fake.setPageSize(2);
        fake.hold();
        fake.start();
        auto store = newStore();
        WikipediaSource source(wikiSettings(fake.api()), *store, quiet);
        const EngineInfo& engine = source.engines()[0];
        std::vector<std::future<LinkCount>> clients;
        for (int i = 0; i < 6; ++i)
            clients.push_back(std::async(std::launch::async,
                                         [&] { return source.lookup(engine, "example.com"); }));
        QTRY_COMPARE(fake.requests(), 1);
        // Time for the other clients to reach the source; without coalescing they would ask too.
        QTest::qWait(300);
        fake.release();
        for (auto& client : clients)
            QCOMPARE(pageCount(source, engine, client.get()), 4);
        QCOMPARE(fake.requests(), 3);
    }

    // Lookups of different sites at once still ask the API one request at a time.
    void wikipediaOneRequestAtATime()
    {
        FakeWiki fake;
        for (const char* site : {"a.org", "b.org", "c.org"})
            fake.setLinks(site, {1, 2, 3});
        fake.setPageSize(1);
        fake.setDelayMs(20);
        fake.start();
        auto store = newStore();
        WikipediaSource source(wikiSettings(fake.api()), *store, quiet);
        const EngineInfo& engine = source.engines()[0];
        std::vector<std::future<LinkCount>> clients;
        for (const char* site : {"a.org", "b.org", "c.org"})
            clients.push_back(
                std::async(std::launch::async, [&, site] { return source.lookup(engine, site); }));
        for (auto& client : clients)
            QCOMPARE(pageCount(source, engine, client.get()), 3);
        QCOMPARE(fake.requests(), 3 * 4);
        QCOMPARE(fake.mostAtOnce(), 1);
    }

    // A log that nobody reads never holds up the host: lines past the backlog are dropped,
    // counted and said so once the log moves again.
    void unreadLog()
    {
        int fds[2];
        QCOMPARE(::pipe(fds), 0);
        std::FILE* out = ::fdopen(fds[1], "w");
        QVERIFY(out);
        constexpr int kLines = 20000; // about 2 MB, far more than a pipe holds
        std::string text;
        std::thread reader;
        {
            LogWriter log(out, 10);
            const std::string filler(100, 'x');
            for (int i = 0; i < kLines; ++i)
                log.line("line " + std::to_string(i) + " " + filler);
            // All of that returned while nobody read; now the log is read.
            reader = std::thread([&] {
                char buffer[65536];
                for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;)
                    text.append(buffer, std::size_t(n));
            });
        } // writes what is queued
        std::fclose(out);
        reader.join();
        ::close(fds[0]);
        int dropped = 0;
        auto notices = QRegularExpression(u"(\\d+) log lines dropped"_s)
                           .globalMatch(QString::fromStdString(text));
        while (notices.hasNext())
            dropped += notices.next().captured(1).toInt();
        int written = 0;
        for (std::size_t at = 0; (at = text.find("line ", at)) != std::string::npos; at += 5)
            ++written;
        QCOMPARE(written + dropped, kLines);
        QVERIFY(written < kLines / 2);
    }

    void fetchLimits_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<FetchResult::Outcome>("outcome");
        QTest::addColumn<int>("status");
        using O = FetchResult::Outcome;
        // clang-format off
        QTest::newRow("at the cap") << "/bytes/1000" << O::Done << 200;
        QTest::newRow("one byte over the cap") << "/bytes/1001" << O::TooLarge << 0;
        QTest::newRow("over the cap, no length") << "/chunked/3000" << O::TooLarge << 0;
        QTest::newRow("slow") << "/slow" << O::TimedOut << 0;
        QTest::newRow("redirect to a file") << "/redirect-file" << O::Failed << 0;
        // clang-format on
    }
    void fetchLimits()
    {
        QFETCH(QString, path);
        QFETCH(FetchResult::Outcome, outcome);
        QFETCH(int, status);
        FakeServer server;
        auto& s = server.server();
        s.Get(R"(/bytes/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
            res.set_content(std::string(std::stoul(req.matches[1]), 'x'), "text/plain");
        });
        s.Get(R"(/chunked/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
            const std::size_t total = std::stoul(req.matches[1]);
            res.set_chunked_content_provider(
                "text/plain", [total](std::size_t offset, httplib::DataSink& sink) {
                    if (offset >= total) {
                        sink.done();
                        return true;
                    }
                    return sink.write(std::string(100, 'y').data(), 100);
                });
        });
        s.Get("/slow", [](const httplib::Request&, httplib::Response& res) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1500));
            res.set_content("late", "text/plain");
        });
        s.Get("/redirect-file", [](const httplib::Request&, httplib::Response& res) {
            res.set_redirect("file:///etc/hostname");
        });
        server.start();
        FetchLimits limits;
        limits.maxBytes = 1000;
        limits.totalTimeout = std::chrono::milliseconds(300);
        const FetchResult r = fetchText({server.base() + path.toStdString(), "test", {}}, limits);
        QCOMPARE(r.outcome, outcome);
        if (r.done())
            QCOMPARE(int(r.status), status);
        else
            QVERIFY(!r.error.empty());
    }
};

QTEST_GUILESS_MAIN(HostSourcesTest)
#include "tst_hostsources.moc"

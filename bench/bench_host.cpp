// SPDX-License-Identifier: MIT
// bench_host: brandle-host with its real engines and local upstreams. Loads a generated
// Majestic Million list of 1,000,000 lines (the host's own load time from its log, and its
// resident memory after it), then measures answers per second for a site whose figures the
// host holds, with 50 clients asking at once.

#include <httplib.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr int kRows = 1000000;
constexpr int kClients = 50;
constexpr auto kRunTime = std::chrono::seconds(5);

std::string generatedList()
{
    std::string out =
        "GlobalRank,TldRank,Domain,TLD,RefSubNets,RefIPs,IDN_Domain,IDN_TLD,PrevGlobalRank,"
        "PrevTldRank,PrevRefSubNets,PrevRefIPs\n";
    out.reserve(std::size_t(kRows) * 72);
    char line[256];
    for (int i = 1; i <= kRows; ++i) {
        const int subnets = 400000 / i + 20;
        const int ips = subnets * 3 + i % 17;
        std::snprintf(
            line, sizeof line,
            "%d,%d,site-%07d.example.com,com,%d,%d,site-%07d.example.com,com,%d,%d,%d,%d\n", i, i,
            i, subnets, ips, i, i + 3, i + 1, subnets + 1, ips - 1);
        out += line;
    }
    return out;
}

long rssKb(qint64 pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            long kb = 0;
            status >> kb;
            return kb;
        }
        status.ignore(4096, '\n');
    }
    return -1;
}

// Answers per second of one engine page, with kClients clients asking without pause.
double answersPerSecond(int port, const std::string& path, const std::string& expected)
{
    std::atomic<long> answers{0};
    std::atomic<long> wrong{0};
    std::atomic<bool> stop{false};
    std::vector<std::thread> clients;
    const auto started = std::chrono::steady_clock::now();
    for (int i = 0; i < kClients; ++i) {
        clients.emplace_back([&] {
            httplib::Client client("127.0.0.1", port);
            client.set_keep_alive(true);
            while (!stop) {
                const auto res = client.Get(path);
                if (res && res->status == 200 && res->body.find(expected) != std::string::npos)
                    ++answers;
                else if (wrong++ == 0)
                    std::fprintf(stderr, "bench_host: first wrong answer: %d %s\n",
                                 res ? res->status : -1,
                                 res ? res->body.substr(0, 400).c_str()
                                     : httplib::to_string(res.error()).c_str());
            }
        });
    }
    std::this_thread::sleep_for(kRunTime);
    stop = true;
    for (std::thread& t : clients)
        t.join();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (wrong > 0)
        std::fprintf(stderr, "bench_host: %ld answers without the expected figure\n", wrong.load());
    return double(answers) / seconds;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir cache;

    const std::string list = generatedList();
    httplib::Server upstream;
    upstream.Get("/majestic_million.csv", [&](const httplib::Request&, httplib::Response& res) {
        // Not a text type, so the test server sends it as it is instead of compressing it first.
        res.set_content(list, "application/octet-stream");
    });
    upstream.Get("/w/api.php", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(
            R"({"batchcomplete":true,"query":{"exturlusage":[{"pageid":1},{"pageid":2}]}})",
            "application/json");
    });
    const int upstreamPort = upstream.bind_to_any_port("127.0.0.1");
    std::thread upstreamThread([&] { upstream.listen_after_bind(); });
    const std::string base = "http://127.0.0.1:" + std::to_string(upstreamPort);

    // The host's log goes to a file, read here, so the host never waits on its output.
    const QString logFile = cache.filePath(u"host.log"_s);
    QProcess host;
    host.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    host.setStandardOutputFile(logFile);
    const auto started = std::chrono::steady_clock::now();
    host.start(QString::fromUtf8(BRANDLE_HOST_BIN),
               {u"--port"_s, u"0"_s, u"--cache"_s, cache.path(), u"--majestic-url"_s,
                QString::fromStdString(base + "/majestic_million.csv"), u"--wikipedia-api"_s,
                QString::fromStdString(base + "/w/api.php")});
    QString log;
    int port = 0;
    QString loadMs;
    const QRegularExpression listening(u"listening on http://127\\.0\\.0\\.1:(\\d+)"_s);
    const QRegularExpression loaded(u"majestic: loaded (\\d+) domains in (\\d+) ms"_s);
    while (loadMs.isEmpty() && host.state() != QProcess::NotRunning &&
           std::chrono::steady_clock::now() - started < std::chrono::minutes(2)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        QFile file(logFile);
        if (file.open(QIODevice::ReadOnly))
            log = QString::fromUtf8(file.readAll());
        port = listening.match(log).captured(1).toInt();
        const auto m = loaded.match(log);
        if (m.hasMatch()) {
            loadMs = m.captured(2);
            if (m.captured(1).toInt() != kRows)
                std::fprintf(stderr, "bench_host: loaded %s rows\n", qPrintable(m.captured(1)));
        }
    }
    const double readyMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started)
            .count();
    const auto finish = [&](int status) {
        host.terminate();
        host.waitForFinished(5000);
        upstream.stop();
        upstreamThread.join();
        return status;
    };
    if (port == 0 || loadMs.isEmpty()) {
        std::fprintf(stderr, "bench_host: the host did not load the list:\n%s\n", qPrintable(log));
        return finish(1);
    }
    std::printf("csv_load_ms_1m_rows: %s\n", qPrintable(loadMs));
    std::printf("start_to_loaded_ms: %.0f\n", readyMs);
    std::printf("rss_mb_after_load: %.1f\n", rssKb(host.processId()) / 1024.0);

    const std::string site = "site-0000042.example.com";
    std::printf("answers_per_s: %.0f\n",
                answersPerSecond(port, "/engines/majestic-subnets/search?site=" + site,
                                 "<output id=\"count\">9,543</output>"));
    // The first ask fills the per-site cache; the rest are answered from it.
    httplib::Client("127.0.0.1", port).Get("/engines/wikipedia/search?site=" + site);
    std::printf("answers_per_s_wikipedia_cached: %.0f\n",
                answersPerSecond(port, "/engines/wikipedia/search?site=" + site,
                                 "<output id=\"count\">2</output>"));
    std::printf("rss_mb_after_answers: %.1f\n", rssKb(host.processId()) / 1024.0);

    return finish(0);
}

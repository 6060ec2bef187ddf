// SPDX-License-Identifier: MIT
// bench_lookup: the wall time of a lookup of ten slow engines, the same with a service host 50 ms
// away, and the CPU time of one lookup. Local servers play the service host and ten engines,
// each engine answering a 50 KB page. The last figures repeat the wall time with the settings
// and the program's folder on a disk that another process keeps busy, writing and flushing a
// file in a loop.
//
// The busy-disk folder is made in BENCH_DISK_DIR, else in the current folder; it should be on a
// real disk (not tmpfs): the program prints the file system it found.
#include "engine/LookupRun.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <ctime>
#include <functional>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;
using namespace brandle;

namespace {

constexpr int engineCount = 10;
constexpr int engineDelayMs = 200;
constexpr int hostRoundTripMs = 50;

std::atomic<int> delayMs{engineDelayMs};

std::string schema(int port)
{
    std::string s = "<Bench><About/><Engines>";
    for (int i = 0; i < engineCount; ++i) {
        const std::string n = std::to_string(i);
        s += "<Engine><EngineName>Engine " + n +
             "</EngineName><EngineHome>http://127.0.0.1:" + std::to_string(port) +
             "/</EngineHome><LeftURL>http://127.0.0.1:" + std::to_string(port) + "/e/" + n +
             "?q=</LeftURL><RightURL></RightURL><LeftString><![CDATA[<b class=\"n\">]]>"
             "</LeftString><RightString><![CDATA[</b>]]></RightString>"
             "<ReplaceDot>.</ReplaceDot></Engine>";
    }
    s += "</Engines><WinSleep>60</WinSleep><LPResults></LPResults></Bench>";
    return s;
}

const char* const styleSheet =
    "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
    "<xsl:output method=\"html\"/><xsl:template match=\"/\"><html><body><table>"
    "<xsl:for-each select=\"//Results/Engine\"><tr><td><xsl:value-of select=\"Name\"/></td>"
    "<td><xsl:value-of select=\"Count\"/></td></tr></xsl:for-each>"
    "</table></body></html></xsl:template></xsl:stylesheet>";

// About 50 KB of page text with the count in the middle.
std::string answerPage(const std::string& engine)
{
    std::string filler;
    while (filler.size() < 25000)
        filler += "<p>Lorem ipsum dolor sit amet, result for a link query of the bench.</p>\n";
    return "<html><body>" + filler + "<b class=\"n\">" + std::to_string(1000 + engine.size()) +
           ",234</b>" + filler + "</body></html>";
}

// The name of the file system that holds path, from its magic number.
const char* fileSystemName(const QString& path)
{
    struct statfs info {};
    if (::statfs(QFile::encodeName(path).constData(), &info) != 0)
        return "unknown";
    switch (static_cast<unsigned long>(info.f_type)) {
    case 0xEF53:
        return "ext4";
    case 0x58465342:
        return "xfs";
    case 0x9123683E:
        return "btrfs";
    case 0x01021994:
        return "tmpfs";
    case 0x794C7630:
        return "overlayfs";
    default:
        return "other";
    }
}

// Another process that writes 4 MB to a file in folder and flushes it to the disk, over and
// over (starting again at 64 MB), until it is killed.
pid_t startBusyWriter(const QString& folder)
{
    const QByteArray path = QFile::encodeName(folder + "/busy-writer.dat"_L1);
    const pid_t pid = ::fork();
    if (pid != 0)
        return pid;
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0)
        ::_exit(1);
    std::vector<char> block(4 * 1024 * 1024, 'x');
    for (off_t written = 0;; written += off_t(block.size())) {
        if (written >= 64 * 1024 * 1024) {
            (void)::ftruncate(fd, 0);
            (void)::lseek(fd, 0, SEEK_SET);
            written = 0;
        }
        if (::write(fd, block.data(), block.size()) < 0 || ::fdatasync(fd) != 0)
            ::_exit(1);
    }
}

double threadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

} // namespace

// A plain HTTP/1.1 server: one thread per connection, connections kept open for further
// requests, a listen queue long enough for every engine, so the figures measure the lookup and
// not the server. roundTripMs imitates a server that far away: every answer comes that much
// later, and a new connection costs one round trip more (its handshake) when handshakes is set.
class BenchServer {
public:
    std::function<std::pair<std::string, std::string>(const std::string&)> handler;
    std::atomic<int> roundTripMs{0};
    std::atomic<bool> handshakes{false};
    std::atomic<int> connections{0};

    BenchServer()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        const int on = 1;
        ::setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(m_fd, 128) != 0) {
            std::perror("bench server");
            std::exit(1);
        }
        socklen_t length = sizeof address;
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
    }
    int port() const { return m_port; }

    void start()
    {
        std::thread([this] {
            for (;;) {
                const int client = ::accept(m_fd, nullptr, nullptr);
                if (client < 0)
                    return;
                ++connections;
                std::thread([this, client] { serve(client); }).detach();
            }
        }).detach();
    }

private:
    void serve(int client)
    {
        const int on = 1;
        ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        bool first = true;
        std::string pending;
        char buffer[4096];
        for (;;) {
            while (pending.find("\r\n\r\n") == std::string::npos) {
                const ssize_t n = ::read(client, buffer, sizeof buffer);
                if (n <= 0) {
                    ::close(client);
                    return;
                }
                pending.append(buffer, size_t(n));
            }
            const size_t end = pending.find("\r\n\r\n") + 4;
            const std::string request = pending.substr(0, end);
            pending.erase(0, end);
            const size_t start = request.find(' ') + 1;
            std::string path = request.substr(start, request.find(' ', start) - start);
            path = path.substr(0, path.find('?'));
            const int wait = roundTripMs.load() * (first && handshakes.load() ? 2 : 1);
            first = false;
            if (wait > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(wait));
            const auto [body, type] = handler(path);
            const std::string response = "HTTP/1.1 200 OK\r\nContent-Type: " + type +
                                         "\r\nContent-Length: " + std::to_string(body.size()) +
                                         "\r\n\r\n" + body;
            for (size_t sent = 0; sent < response.size();) {
                const ssize_t n = ::write(client, response.data() + sent, response.size() - sent);
                if (n <= 0) {
                    ::close(client);
                    return;
                }
                sent += size_t(n);
            }
        }
    }

    int m_fd = -1;
    int m_port = 0;
};

// Points the settings and the program's folder into folder.
void useFolders(const QString& folder)
{
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(folder + "/config"_L1));
    qputenv("BRANDLE_HOME", QFile::encodeName(folder + "/home"_L1));
}

int main(int argc, char* argv[])
{
    QTemporaryDir sandbox;
    const QString diskBase = qEnvironmentVariableIsSet("BENCH_DISK_DIR")
                                 ? qEnvironmentVariable("BENCH_DISK_DIR")
                                 : QDir::currentPath();
    QTemporaryDir disk(diskBase + "/bench_lookup-XXXXXX"_L1);
    if (!disk.isValid()) {
        std::fprintf(stderr, "cannot make a folder in %s\n", qPrintable(diskBase));
        return 1;
    }
    useFolders(sandbox.path());
    QCoreApplication app(argc, argv);

    BenchServer host;
    BenchServer engines;
    const std::string schemaText = schema(engines.port());
    host.handler = [&](const std::string& path) -> std::pair<std::string, std::string> {
        if (path == "/parlo/System/Link-Popularity-Status.txt")
            return {"Active", "text/plain"};
        if (path == "/parlo/System/Link-Popularity-Schema.xml")
            return {schemaText, "text/xml"};
        if (path == "/parlo/System/Link-Popularity-Schema.xsl")
            return {styleSheet, "text/xml"};
        return {"not here", "text/plain"};
    };
    engines.handler = [&](const std::string& path) -> std::pair<std::string, std::string> {
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs.load()));
        return {answerPage(path), "text/html"};
    };
    host.start();
    engines.start();
    qputenv("BRANDLE_SERVICE_HOST", QByteArray("127.0.0.1:") + QByteArray::number(host.port()));

    clsProps props;
    LookupUi ui;
    auto lookup = [&] {
        const LookupOutcome outcome = RunLookup(u"example.com"_s, props, ui);
        if (outcome.kind != LookupOutcome::Kind::PageWritten) {
            std::fprintf(stderr, "lookup failed: %s\n",
                         outcome.error ? qPrintable(outcome.error->userText()) : "no page");
            std::exit(1);
        }
    };
    // The median wall time of the lookups.
    auto medianWallMs = [&](int lookups) {
        std::vector<double> walls;
        for (int i = 0; i < lookups; ++i) {
            QElapsedTimer timer;
            timer.start();
            lookup();
            walls.push_back(double(timer.nsecsElapsed()) / 1e6);
        }
        std::sort(walls.begin(), walls.end());
        return walls[walls.size() / 2];
    };

    // Wall time with slow engines.
    const double wall = medianWallMs(5);

    // The same with the service host a round trip away: per answer, and once more per connection.
    host.roundTripMs = hostRoundTripMs;
    const double farWall = medianWallMs(5);
    host.handshakes = true;
    const int connectionsBefore = host.connections;
    const double handshakeWall = medianWallMs(5);
    const double hostConnections = double(host.connections - connectionsBefore) / 5;
    host.handshakes = false;
    host.roundTripMs = 0;

    // The same on a real disk that another process keeps busy.
    useFolders(disk.path());
    const pid_t writer = startBusyWriter(disk.path());
    lookup(); // the first lookup of a folder writes every value for the first time
    const double busyWall = medianWallMs(9);
    ::kill(writer, SIGKILL);
    ::waitpid(writer, nullptr, 0);
    useFolders(sandbox.path());

    // CPU time of the lookup's own thread with engines that answer at once.
    delayMs = 0;
    lookup();
    constexpr int rounds = 20;
    const double cpuStart = threadCpuMs();
    for (int i = 0; i < rounds; ++i)
        lookup();
    const double cpu = (threadCpuMs() - cpuStart) / rounds;

    std::printf("wall_ms: %.1f\n", wall);
    std::printf("ratio: %.2f\n", wall / engineDelayMs);
    std::printf("rtt50_wall_ms: %.1f\n", farWall);
    std::printf("rtt50_over_engine_ms: %.1f\n", farWall - engineDelayMs);
    std::printf("rtt50_handshake_wall_ms: %.1f\n", handshakeWall);
    std::printf("rtt50_host_connections: %.1f\n", hostConnections);
    std::printf("cpu_ms_per_lookup: %.2f\n", cpu);
    std::printf("busy_disk_filesystem: %s\n", fileSystemName(disk.path()));
    std::printf("wall_ms_busy_disk: %.1f\n", busyWall);
    std::printf("ratio_busy_disk: %.2f\n", busyWall / engineDelayMs);
    return 0;
}

// SPDX-License-Identifier: MIT
// brandle-host: serves the service files Brandle fetches before each lookup and answers as a
// few demo search engines, so the whole program can be run and tested on one machine.

#include "DemoEngine.h"
#include "FileRoot.h"

#include <httplib.h>

#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <mutex>
#include <optional>
#include <pthread.h>
#include <sstream>
#include <string>
#include <thread>

#ifndef BRANDLE_SERVICE_ROOT
#define BRANDLE_SERVICE_ROOT ""
#endif

namespace fs = std::filesystem;
using namespace brandle::host;

namespace {

constexpr int kDefaultPort = 8750;
constexpr const char* kDefaultBind = "127.0.0.1";
constexpr long kMaxDelayMs = 600000;

struct Options {
    std::string root;
    std::string bind = kDefaultBind;
    int port = kDefaultPort;
    bool help = false;
};

void printUsage(std::ostream& out)
{
    out << "Usage: brandle-host [--root DIR] [--port N] [--bind ADDR]\n"
           "\n"
           "Serves the files of DIR over HTTP and answers as the demo engines\n"
           "alpha, beta and gamma at /engines/<id>/search.\n"
           "\n"
           "Options:\n"
           "  --root DIR   folder to serve (default: the service folder next to the\n"
           "               program, in ../share/brandle, or in the source tree)\n"
           "  --port N     port to listen on, 0 picks a free one (default: "
        << kDefaultPort
        << ")\n"
           "  --bind ADDR  address to listen on (default: "
        << kDefaultBind
        << ")\n"
           "  --help       show this text\n"
           "\n"
           "In .xml, .xsl, .htm and .html files every {host} is replaced by the\n"
           "address the server is reached at (ADDR:PORT).\n"
           "\n"
           "Environment:\n"
           "  BRANDLE_HOST_DELAY_MS  wait this many milliseconds before each engine\n"
           "                         answer, to imitate slow engines\n";
}

bool parsePort(const std::string& text, int& port)
{
    if (text.empty() || text.size() > 5 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    const int value = std::stoi(text);
    if (value > 65535) {
        return false;
    }
    port = value;
    return true;
}

// Accepts "--name value" and "--name=value".
std::optional<Options> parseArguments(int argc, char** argv, std::string& error)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool hasValue = false;
        if (const auto eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg.resize(eq);
            hasValue = true;
        }
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            continue;
        }
        if (arg != "--root" && arg != "--port" && arg != "--bind") {
            error = "unknown option: " + arg;
            return std::nullopt;
        }
        if (!hasValue) {
            if (i + 1 >= argc) {
                error = "missing value after " + arg;
                return std::nullopt;
            }
            value = argv[++i];
        }
        if (arg == "--root") {
            options.root = value;
        } else if (arg == "--port") {
            if (!parsePort(value, options.port)) {
                error = "invalid port: " + value;
                return std::nullopt;
            }
        } else {
            if (value.empty()) {
                error = "empty bind address";
                return std::nullopt;
            }
            options.bind = value;
        }
    }
    return options;
}

fs::path defaultRoot()
{
    std::error_code error;
    const fs::path exe = fs::read_symlink("/proc/self/exe", error);
    if (!error) {
        const fs::path dir = exe.parent_path();
        for (const fs::path& candidate :
             {dir / "service", dir / ".." / "share" / "brandle" / "service"}) {
            if (fs::is_directory(candidate, error)) {
                return candidate;
            }
        }
    }
    return fs::path(BRANDLE_SERVICE_ROOT);
}

long delayFromEnvironment()
{
    const char* text = std::getenv("BRANDLE_HOST_DELAY_MS");
    if (text == nullptr || *text == '\0') {
        return 0;
    }
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (*end != '\0' || value < 0) {
        std::cerr << "brandle-host: ignoring invalid BRANDLE_HOST_DELAY_MS=" << text << '\n';
        return 0;
    }
    return std::min(value, kMaxDelayMs);
}

// Lets delayed engine answers end early when the server shuts down.
class ShutdownGate {
public:
    void open()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            closing_ = true;
        }
        cond_.notify_all();
    }

    // Waits up to ms milliseconds; false when interrupted by shutdown.
    bool sleep(long ms)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return !cond_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return closing_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable cond_;
    bool closing_ = false;
};

std::mutex logMutex;

// Request targets come from the network: keep control characters off the terminal.
std::string printable(const std::string& text)
{
    std::string out = text;
    for (char& c : out) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f) {
            c = '?';
        }
    }
    return out;
}

void setText(httplib::Response& res, int status, const std::string& text)
{
    res.status = status;
    res.set_content(text + "\n", "text/plain; charset=utf-8");
}

bool readFile(const fs::path& file, std::string& content)
{
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return false;
    }
    std::ostringstream buffer;
    buffer << in.rdbuf();
    if (in.bad()) {
        return false;
    }
    content = buffer.str();
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    // Block the stop signals first thing, before any thread starts: every thread inherits
    // the mask and only the watcher below takes them, and a signal that arrives during
    // start-up waits for it instead of killing the process.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    std::string error;
    const std::optional<Options> options = parseArguments(argc, argv, error);
    if (!options) {
        std::cerr << "brandle-host: " << error << "\n\n";
        printUsage(std::cerr);
        return 2;
    }
    if (options->help) {
        printUsage(std::cout);
        return 0;
    }

    const fs::path rootArg = options->root.empty() ? defaultRoot() : fs::path(options->root);
    std::error_code fsError;
    const fs::path root = fs::canonical(rootArg, fsError);
    if (fsError || !fs::is_directory(root, fsError)) {
        std::cerr << "brandle-host: root folder not found: " << rootArg.string() << '\n';
        return 1;
    }

    const long delayMs = delayFromEnvironment();
    ShutdownGate gate;
    httplib::Server server;
    std::string host; // "addr:port" written into templated files, set once bound

    // Only SO_REUSEADDR: the library default also sets SO_REUSEPORT, which would let a
    // second host share a port that is already in use.
    server.set_socket_options([](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    server.set_keep_alive_timeout(1);

    server.Get(
        R"(/engines/([^/]+)/search)", [&](const httplib::Request& req, httplib::Response& res) {
            const DemoEngineInfo* engine = findDemoEngine(req.matches[1].str());
            if (engine == nullptr) {
                setText(res, 404, "Not found");
                return;
            }
            // The query is already percent-decoded here, so a dot sent as %2E is a dot again.
            const std::string param(engine->siteParam);
            const std::string site = req.get_param_value(param);
            if (site.empty()) {
                setText(res, 400, "Missing parameter: " + param);
                return;
            }
            if (delayMs > 0 && !gate.sleep(delayMs)) {
                setText(res, 503, "Shutting down");
                return;
            }
            const std::uint64_t count = demoCount(engine->id, site, hourKey(std::time(nullptr)));
            res.set_content(demoAnswerPage(*engine, site, count), "text/html; charset=utf-8");
        });

    server.Get(R"(/engines/([^/]+)/?)", [](const httplib::Request& req, httplib::Response& res) {
        const DemoEngineInfo* engine = findDemoEngine(req.matches[1].str());
        if (engine == nullptr) {
            setText(res, 404, "Not found");
            return;
        }
        res.set_content(demoHomePage(*engine), "text/html; charset=utf-8");
    });

    server.Get(R"(/.*)", [&](const httplib::Request& req, httplib::Response& res) {
        const std::optional<fs::path> file = resolveUnderRoot(root, req.path);
        std::string content;
        if (!file || !readFile(*file, content)) {
            setText(res, 404, "Not found");
            return;
        }
        if (isHostTemplated(*file)) {
            content = replaceAll(std::move(content), "{host}", host);
        }
        res.set_header("Cache-Control", "no-cache");
        res.set_content(content, contentTypeFor(*file));
    });

    // Gives a short text body to the errors the library answers by itself (no route,
    // unsupported method); answers that already carry a text keep it.
    const httplib::Server::HandlerWithResponse errorHandler = [](const httplib::Request&,
                                                                 httplib::Response& res) {
        if (!res.body.empty()) {
            return httplib::Server::HandlerResponse::Unhandled;
        }
        setText(res, res.status, res.status == 404 ? "Not found" : "Request refused");
        return httplib::Server::HandlerResponse::Handled;
    };
    server.set_error_handler(errorHandler);

    server.set_logger([](const httplib::Request& req, const httplib::Response& res) {
        std::lock_guard<std::mutex> lock(logMutex);
        std::cout << req.method << ' ' << printable(req.target) << ' ' << res.status << std::endl;
    });

    int port = options->port;
    bool bound = false;
    if (port == 0) {
        port = server.bind_to_any_port(options->bind);
        bound = port > 0;
    } else {
        bound = server.bind_to_port(options->bind, port);
    }
    if (!bound) {
        std::cerr << "brandle-host: cannot listen on " << options->bind << ':' << options->port
                  << '\n';
        return 1;
    }
    host = hostToken(options->bind, port);

    std::cout << "brandle-host listening on http://" << host << " (root: " << root.string() << ')'
              << std::endl;

    std::atomic<bool> serverDone{false};
    std::atomic<bool> stopRequested{false};
    std::thread watcher([&] {
        const timespec tick{0, 100 * 1000 * 1000};
        while (!serverDone) {
            const int sig = sigtimedwait(&stopSignals, nullptr, &tick);
            if (sig != SIGINT && sig != SIGTERM) {
                continue;
            }
            stopRequested = true;
            gate.open();
            // stop() only acts on a running server; the signal may come before
            // listen_after_bind() got going.
            while (!serverDone && !server.is_running()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            if (!serverDone) {
                server.stop();
            }
            return;
        }
    });

    const bool listened = server.listen_after_bind();
    serverDone = true;
    watcher.join();

    if (stopRequested) {
        std::cout << "brandle-host stopped" << std::endl;
        return 0;
    }
    if (!listened) {
        std::cerr << "brandle-host: server stopped unexpectedly\n";
        return 1;
    }
    return 0;
}

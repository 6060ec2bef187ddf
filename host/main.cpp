// SPDX-License-Identifier: MIT
// brandle-host: serves the service files Brandle fetches before each lookup and answers as the
// engines those files list: real link figures from open link data (the Majestic Million list,
// Wikipedia's external links) or, for trying Brandle offline, the demo engines.

#include "DemoSource.h"
#include "EnginePage.h"
#include "FileRoot.h"
#include "HostConfig.h"
#include "LinkStore.h"
#include "LogWriter.h"
#include "MajesticSource.h"
#include "Text.h"
#include "WikipediaSource.h"

#include <curl/curl.h>
#include <httplib.h>

#include <sys/socket.h>

#include <algorithm>
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
#include <memory>
#include <mutex>
#include <optional>
#include <pthread.h>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#ifndef BRANDLE_SERVICE_ROOT
#define BRANDLE_SERVICE_ROOT ""
#endif
#ifndef BRANDLE_PROJECT_URL
#define BRANDLE_PROJECT_URL ""
#endif

namespace fs = std::filesystem;
using namespace brandle::host;

namespace {

constexpr long kMaxDelayMs = 600000;
// Worker threads of the server. A Wikipedia lookup can hold one for most of a minute, so
// there are enough that such lookups never stop the host from answering the others.
constexpr std::size_t kWorkerThreads = 32;
constexpr const char* kSchemaFile = "parlo/System/Link-Popularity-Schema.xml";

void printUsage(std::ostream& out)
{
    out << "Usage: brandle-host [options]\n"
           "Serves the service documents of Brandle over HTTP and answers as the engines\n"
           "that the served engine schema lists, at /engines/<id>/search?site=SITE.\n"
           "\n"
           "Options (each but --config, --help and --version is also a key of the\n"
           "settings file):\n"
           "  -h, --help                   Shows this help and ends.\n"
           "  -v, --version                Shows the version and ends.\n"
           "  --config <FILE>              The settings file (default:\n"
           "                               $XDG_CONFIG_HOME/brandle/brandle-host.conf).\n"
           "  --engines <LIST>             The engines, comma-separated, in schema order\n"
           "                               (default: majestic-subnets,majestic-ips,\n"
           "                               wikipedia; demo: the made-up demo engines).\n"
           "  --demo                       The same as --engines demo.\n"
           "  --majestic-url <URL>         Where the Majestic Million list is downloaded\n"
           "                               (default: Majestic's own address, in\n"
           "                               brandle-host(1)).\n"
           "  --wikipedia-api <URL>        The MediaWiki API to ask (default: the API of\n"
           "                               the Wikipedia of --wikipedia-language).\n"
           "  --wikipedia-language <CODE>  Which Wikipedia (default: en).\n"
           "  --cache <DIR>                Downloaded data and answers (default:\n"
           "                               $XDG_CACHE_HOME/brandle-host).\n"
           "  --contact <TEXT>             Your e-mail or web address, sent in the\n"
           "                               User-Agent of requests to Wikipedia and\n"
           "                               Majestic.\n"
           "  --root <DIR>                 The folder to serve (default: the service\n"
           "                               folder next to the program, in ../share/brandle,\n"
           "                               or in the source tree).\n"
           "  --port <N>                   The port to listen on, 0 picks a free one\n"
           "                               (default: "
        << kDefaultPort
        << ").\n"
           "  --bind <ADDR>                The address to listen on (default: "
        << kDefaultBind
        << ").\n"
           "\n"
           "The settings file holds \"key = value\" lines, e.g. \"engines = wikipedia\".\n"
           "In .xml, .xsl, .htm and .html files every {host} is replaced by the address\n"
           "the server is reached at (ADDR:PORT).\n"
           "\n"
           "Environment:\n"
           "  BRANDLE_HOST_DELAY_MS        Wait this many milliseconds before each engine\n"
           "                               answer, to imitate slow engines.\n";
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

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
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

std::string userAgent(const HostConfig& config)
{
    std::string agent = "brandle-host/" BRANDLE_VERSION " (Brandle link counts";
    const std::string project = BRANDLE_PROJECT_URL;
    if (!project.empty()) {
        agent += "; " + project;
    }
    if (!config.contact.empty()) {
        agent += "; " + config.contact;
    }
    return agent + ") libcurl/" + curl_version_info(CURLVERSION_NOW)->version;
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

LogWriter* hostLog = nullptr;

void logLine(const std::string& line)
{
    hostLog->line(line);
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

// The enabled engines in schema order, each with the source that answers for it.
struct Engines {
    std::unique_ptr<LinkStore> store; // first, so that it outlives the sources using it
    std::vector<std::unique_ptr<Source>> sources;
    std::vector<std::pair<EngineInfo, Source*>> list;

    const std::pair<EngineInfo, Source*>* find(const std::string& id) const
    {
        for (const auto& entry : list) {
            if (entry.first.id == id) {
                return &entry;
            }
        }
        return nullptr;
    }
};

bool setUpEngines(const HostConfig& config, Engines& engines, std::string& error)
{
    if (config.needsCache()) {
        std::error_code ec;
        fs::create_directories(config.cache, ec);
        if (ec) {
            error = "cannot make the cache folder " + config.cache + ": " + ec.message();
            return false;
        }
        engines.store = LinkStore::open(fs::path(config.cache) / "brandle-host.sqlite", error);
        if (!engines.store) {
            return false;
        }
    }
    const std::string agent = userAgent(config);
    if (config.wants(kEngineDemo)) {
        engines.sources.push_back(std::make_unique<DemoSource>());
    }
    std::vector<std::string> majesticIds;
    for (const std::string& id : config.engines) {
        if (id == kEngineMajesticSubnets || id == kEngineMajesticIps) {
            majesticIds.push_back(id);
        }
    }
    if (!majesticIds.empty()) {
        MajesticSettings settings;
        settings.url = config.majesticUrl;
        settings.cacheDir = config.cache;
        settings.userAgent = agent;
        engines.sources.push_back(
            std::make_unique<MajesticSource>(settings, *engines.store, majesticIds, logLine));
    }
    if (config.wants(kEngineWikipedia)) {
        WikipediaSettings settings;
        settings.apiUrl = config.wikipediaApiUrl();
        settings.userAgent = agent;
        engines.sources.push_back(
            std::make_unique<WikipediaSource>(settings, *engines.store, logLine));
    }
    // "demo" stands for all three demo engines; every other id for one engine.
    for (const std::string& id : config.engines) {
        for (const auto& source : engines.sources) {
            const bool demo = dynamic_cast<const DemoSource*>(source.get()) != nullptr;
            for (const EngineInfo& engine : source->engines()) {
                if (id == kEngineDemo ? demo : engine.id == id) {
                    engines.list.emplace_back(engine, source.get());
                }
            }
        }
    }
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
    curl_global_init(CURL_GLOBAL_DEFAULT);
    LogWriter log(stdout);
    hostLog = &log;

    std::string error;
    const std::optional<CommandLine> commandLine =
        parseCommandLine(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!commandLine) {
        std::cerr << "brandle-host: " << error << "\n"
                  << "Usage: brandle-host [options]\n"
                  << "Try 'brandle-host --help' for more information.\n";
        return 2;
    }
    if (commandLine->help) {
        printUsage(std::cout);
        return 0;
    }
    if (commandLine->version) {
        std::cout << "brandle-host " BRANDLE_VERSION "\n";
        return 0;
    }
    const HostEnvironment env{environment("HOME"), environment("XDG_CONFIG_HOME"),
                              environment("XDG_CACHE_HOME")};
    const std::optional<HostConfig> config = loadHostConfig(*commandLine, env, error);
    if (!config) {
        std::cerr << "brandle-host: " << error << '\n';
        return 2;
    }

    const fs::path rootArg = config->root.empty() ? defaultRoot() : fs::path(config->root);
    std::error_code fsError;
    const fs::path root = fs::canonical(rootArg, fsError);
    if (fsError || !fs::is_directory(root, fsError)) {
        std::cerr << "brandle-host: root folder not found: " << rootArg.string() << '\n';
        return 1;
    }

    Engines engines;
    if (!setUpEngines(*config, engines, error)) {
        std::cerr << "brandle-host: " << error << '\n';
        return 1;
    }
    std::vector<EngineInfo> schemaEngines;
    std::vector<SourceCredit> credits;
    {
        std::vector<const Source*> credited;
        for (const auto& [engine, source] : engines.list) {
            schemaEngines.push_back(engine);
            if (std::find(credited.begin(), credited.end(), source) == credited.end()) {
                credited.push_back(source);
                credits.push_back(source->credit());
            }
        }
    }
    // The schema file, however a request names it, lists the enabled engines.
    const fs::path schemaFile = fs::weakly_canonical(root / kSchemaFile, fsError);
    const std::string schemaEntries = schemaEngineEntries(schemaEngines);
    const std::string schemaCredits = schemaSources(credits);

    const long delayMs = delayFromEnvironment();
    ShutdownGate gate;
    httplib::Server server;
    std::string host; // "addr:port" written into templated files, set once bound

    server.new_task_queue = [] {
        return new httplib::ThreadPool(kWorkerThreads);
    };
    // Only SO_REUSEADDR: the library default also sets SO_REUSEPORT, which would let a
    // second host share a port that is already in use.
    socket_t listenSocket = INVALID_SOCKET;
    server.set_socket_options([&listenSocket](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        listenSocket = sock;
    });
    server.set_keep_alive_timeout(1);
    // Small answers go out at once instead of waiting for the client's acknowledgement.
    server.set_tcp_nodelay(true);

    server.Get(
        R"(/engines/([^/]+)/search)", [&](const httplib::Request& req, httplib::Response& res) {
            const auto* entry = engines.find(req.matches[1].str());
            if (entry == nullptr) {
                setText(res, 404, "Not found");
                return;
            }
            const auto& [engine, source] = *entry;
            // The query is already percent-decoded here, so a dot sent as %2E is a dot again.
            const std::string site = req.get_param_value(engine.siteParam.c_str());
            if (site.empty()) {
                setText(res, 400, "Missing parameter: " + engine.siteParam);
                return;
            }
            const std::optional<std::string> accepted = source->acceptSite(site);
            if (!accepted) {
                setText(res, 400, "Not a host name: " + printable(site));
                return;
            }
            if (delayMs > 0 && !gate.sleep(delayMs)) {
                setText(res, 503, "Shutting down");
                return;
            }
            const LinkCount result = source->lookup(engine, *accepted);
            res.set_header("Cache-Control", "no-cache");
            res.set_content(source->answerPage(engine, site, result), "text/html; charset=utf-8");
        });

    server.Get(R"(/engines/([^/]+)/?)", [&](const httplib::Request& req, httplib::Response& res) {
        const auto* entry = engines.find(req.matches[1].str());
        if (entry == nullptr) {
            setText(res, 404, "Not found");
            return;
        }
        res.set_content(entry->second->homePage(entry->first), "text/html; charset=utf-8");
    });

    server.Get(R"(/.*)", [&](const httplib::Request& req, httplib::Response& res) {
        const std::optional<fs::path> file = resolveUnderRoot(root, req.path);
        std::string content;
        if (!file || !readFile(*file, content)) {
            setText(res, 404, "Not found");
            return;
        }
        if (*file == schemaFile) {
            std::optional<std::string> merged = mergeSchema(content, schemaEntries, schemaCredits);
            if (!merged) {
                logLine("brandle-host: " + file->string() + " has no <Engines> element");
                setText(res, 500, "The engine schema template has no <Engines> element");
                return;
            }
            content = std::move(*merged);
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
        logLine(req.method + ' ' + printable(req.target) + ' ' + std::to_string(res.status));
    });

    int port = config->port;
    bool bound = false;
    if (port == 0) {
        port = server.bind_to_any_port(config->bind);
        bound = port > 0;
    } else {
        bound = server.bind_to_port(config->bind, port);
    }
    if (!bound) {
        std::cerr << "brandle-host: cannot listen on " << config->bind << ':' << config->port
                  << '\n';
        return 1;
    }
    host = hostToken(config->bind, port);
    // The library listens with a backlog of 5; when more clients connect at once the kernel
    // drops their handshakes and they wait seconds to retry. Listening again raises it.
    ::listen(listenSocket, SOMAXCONN);

    std::string engineIds;
    for (const auto& entry : engines.list) {
        engineIds += (engineIds.empty() ? "" : ",") + entry.first.id;
    }
    logLine("brandle-host listening on http://" + host + " (root: " + root.string() +
            "; engines: " + engineIds + (engines.store ? "; cache: " + config->cache : "") + ")");

    for (const auto& source : engines.sources) {
        source->start();
    }

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
            for (const auto& source : engines.sources) {
                source->stop();
            }
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
    for (const auto& source : engines.sources) {
        source->stop();
    }

    if (stopRequested) {
        logLine("brandle-host stopped");
        return 0;
    }
    if (!listened) {
        std::cerr << "brandle-host: server stopped unexpectedly\n";
        return 1;
    }
    return 0;
}

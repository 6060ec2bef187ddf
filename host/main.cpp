// SPDX-License-Identifier: MIT
// brandle-host: serves the service files Brandle fetches before each lookup and answers as the
// engines those files list: real link figures from open link data (the Majestic Million list,
// Wikipedia's external links) or, for trying Brandle offline, the demo engines.

#include "BingSource.h"
#include "CacheLock.h"
#include "CommonCrawlSource.h"
#include "DataForSeoSource.h"
#include "DemoSource.h"
#include "EnginePage.h"
#include "FileRoot.h"
#include "HostConfig.h"
#include "HostServer.h"
#include "Keyring.h"
#include "Keys.h"
#include "LinkStore.h"
#include "LogWriter.h"
#include "MajesticSource.h"
#include "MozSource.h"
#include "Text.h"
#include "WikipediaSource.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>

#include <curl/curl.h>
#include <httplib.h>

#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <clocale>
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
using namespace Qt::StringLiterals;

namespace {

constexpr long kMaxDelayMs = 600000;
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
           "                               wikipedia; also commoncrawl; demo: the made-up\n"
           "                               demo engines; bing, moz, dataforseo: asked with\n"
           "                               your own key).\n"
           "  --demo                       The same as --engines demo.\n"
           "  --majestic-url <URL>         Where the Majestic Million list is downloaded\n"
           "                               (default: Majestic's own address, in\n"
           "                               brandle-host(1)).\n"
           "  --accept-smaller-list        Take a downloaded list even when it has fewer\n"
           "                               than half the rows of the list in use.\n"
           "  --wikipedia-api <URL>        The MediaWiki API to ask (default: the API of\n"
           "                               the Wikipedia of --wikipedia-language).\n"
           "  --wikipedia-language <CODE>  Which Wikipedia (default: en).\n"
           "  --commoncrawl-index <URL>    The list of Common Crawl's web graph releases\n"
           "                               (default: Common Crawl's own, in\n"
           "                               brandle-host(1)).\n"
           "  --commoncrawl-data <URL>     Where the graph files lie (default: Common\n"
           "                               Crawl's own).\n"
           "  --commoncrawl-release <ID>   The release to serve (default: the newest); the\n"
           "                               engine commoncrawl downloads its domain graph\n"
           "                               (about 14-18 GB) once and keeps an index of\n"
           "                               about 3 GB.\n"
           "  --commoncrawl-shards <URL>   Read the shards another host exported instead.\n"
           "  --commoncrawl-export <DIR>   Write the release served as shards into DIR and\n"
           "                               end.\n"
           "  --bing-api <URL>             The Bing Webmaster API (default: Bing's own).\n"
           "  --moz-api <URL>              The Moz API (default: Moz's own).\n"
           "  --moz-interval <S>           Seconds between two requests to Moz\n"
           "                               (default: "
        << kDefaultMozInterval
        << ").\n"
           "  --dataforseo-api <URL>       The DataForSEO API (default: DataForSEO's own).\n"
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
           "  --allow-host <NAMES>         Names (comma-separated) a request may give in its\n"
           "                               Host header besides localhost and the --bind\n"
           "                               address.\n"
           "\n"
           "The settings file holds \"key = value\" lines, e.g. \"engines = wikipedia\".\n"
           "The keys of the engines bing, moz and dataforseo (bing-key, moz-token,\n"
           "dataforseo-login, dataforseo-password) are read from the desktop keyring, else\n"
           "from the settings file, which must then be private (chmod 600); never from the\n"
           "command line.\n"
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

// A request that a browser made for a web page: it names the page's origin, or says that it
// comes from another site (Brandle's programs send neither).
bool fromWebPage(const httplib::Request& req)
{
    const std::string site = req.get_header_value("Sec-Fetch-Site");
    return req.has_header("Origin") || (!site.empty() && site != "none");
}

// The enabled engines in schema order, each with the source that answers for it.
struct Engines {
    std::unique_ptr<CacheLock> cacheLock; // held until the host ends
    std::unique_ptr<LinkStore> store;     // before the sources, so that it outlives them
    std::unique_ptr<brandle::keyring::Reader> keyring;
    std::unique_ptr<Keys> keys; // the keys of the sources asked with the user's own account
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

// The sources asked with the user's own keys, which the keyring holds or the settings file.
void setUpKeyedSources(const HostConfig& config, const std::string& agent, Engines& engines)
{
    if (!config.wants(kEngineBing) && !config.wants(kEngineMoz) &&
        !config.wants(kEngineDataForSeo)) {
        return;
    }
    engines.keyring = std::make_unique<brandle::keyring::Reader>();
    const KeyringRead read = [reader = engines.keyring.get()](const std::string& name) {
        const brandle::keyring::Answer answer =
            reader->read(QString::fromStdString(name), std::chrono::seconds(10));
        return KeyringAnswer{answer.kind == brandle::keyring::Answer::Kind::Done
                                 ? KeyringAnswer::Kind::Found
                             : answer.kind == brandle::keyring::Answer::Kind::Missing
                                 ? KeyringAnswer::Kind::Missing
                                 : KeyringAnswer::Kind::Unavailable,
                             answer.value.toStdString(), answer.error.toStdString()};
    };
    engines.keys = std::make_unique<Keys>(config.configFile, config.keys, read, logLine);
    const auto settings = [&](const std::string& api) {
        KeyedSettings keyed;
        keyed.apiUrl = api;
        keyed.userAgent = agent;
        return keyed;
    };
    if (config.wants(kEngineBing)) {
        engines.sources.push_back(std::make_unique<BingSource>(
            settings(config.bingApi), *engines.store, *engines.keys, logLine));
    }
    if (config.wants(kEngineMoz)) {
        engines.sources.push_back(std::make_unique<MozSource>(
            settings(config.mozApi), std::chrono::seconds(config.mozInterval), *engines.store,
            *engines.keys, logLine));
    }
    if (config.wants(kEngineDataForSeo)) {
        engines.sources.push_back(std::make_unique<DataForSeoSource>(
            settings(config.dataForSeoApi), *engines.store, *engines.keys, logLine));
    }
}

bool setUpEngines(const HostConfig& config, Engines& engines, std::string& error)
{
    if (config.needsCache()) {
        std::error_code ec;
        fs::create_directories(config.cache, ec);
        if (ec) {
            error = "cannot make the cache folder " + config.cache + ": " + ec.message();
            return false;
        }
        engines.cacheLock = CacheLock::acquire(config.cache, error);
        if (!engines.cacheLock) {
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
        settings.acceptSmallerList = config.acceptSmallerList;
        engines.sources.push_back(
            std::make_unique<MajesticSource>(settings, *engines.store, majesticIds, logLine));
    }
    if (config.wants(kEngineCommonCrawl)) {
        CommonCrawlSettings settings;
        settings.indexUrl = config.commoncrawlIndex;
        settings.dataUrl = config.commoncrawlData;
        settings.release = config.commoncrawlRelease;
        settings.shardsUrl = config.commoncrawlShards;
        settings.cacheDir = config.cache;
        settings.userAgent = agent;
        engines.sources.push_back(std::make_unique<CommonCrawlSource>(settings, logLine));
    }
    if (config.wants(kEngineWikipedia)) {
        WikipediaSettings settings;
        settings.apiUrl = config.wikipediaApiUrl();
        settings.userAgent = agent;
        engines.sources.push_back(
            std::make_unique<WikipediaSource>(settings, *engines.store, logLine));
    }
    setUpKeyedSources(config, agent, engines);
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
    // The keyring is reached over D-Bus, which wants an application object. The numbers the
    // host writes stay in the C locale whatever it sets.
    QCoreApplication application(argc, argv);
    std::setlocale(LC_NUMERIC, "C");

    if (!config->commoncrawlExport.empty()) {
        // Reads the cache folder only, so a host may go on serving from it meanwhile.
        if (!exportShards(commonCrawlDir(config->cache), config->commoncrawlExport, logLine,
                          error)) {
            std::cerr << "brandle-host: " << error << '\n';
            return 1;
        }
        return 0;
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
    std::vector<const Source*> credited;
    for (const auto& [engine, source] : engines.list) {
        schemaEngines.push_back(engine);
        if (std::find(credited.begin(), credited.end(), source) == credited.end()) {
            credited.push_back(source);
        }
    }
    // The credits name what is served now (a source's data may change while the host runs).
    const auto schemaCredits = [&credited] {
        std::vector<SourceCredit> credits;
        for (const Source* source : credited) {
            credits.push_back(source->credit());
        }
        return schemaSources(credits);
    };
    // The schema file, however a request names it, lists the enabled engines.
    const fs::path schemaFile = fs::weakly_canonical(root / kSchemaFile, fsError);
    const std::string schemaEntries = schemaEngineEntries(schemaEngines);

    const long delayMs = delayFromEnvironment();
    ShutdownGate gate;
    std::vector<std::string> allowedHosts = config->allowHosts;
    allowedHosts.push_back(toLowerAscii(config->bind));
    HostServer server(FrontLimits{}, allowedHosts, logLine);
    std::string host; // "addr:port" written into templated files, set once bound

    // Only SO_REUSEADDR: the library default also sets SO_REUSEPORT, which would let a
    // second host share a port that is already in use.
    socket_t listenSocket = INVALID_SOCKET;
    server.set_socket_options([&listenSocket](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        listenSocket = sock;
    });
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
            // A lookup with the user's key may cost money: no web page may make one.
            if (dynamic_cast<const KeyedSource*>(source) != nullptr && fromWebPage(req)) {
                setText(res, 403, "Refused: a request of a web page");
                return;
            }
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
            if (HostServer::requestIsLate()) {
                const LinkCount busy = LinkCount::none("the host is busy");
                res.set_content(source->answerPage(engine, site, busy), "text/html; charset=utf-8");
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

    // What each enabled source serves and is doing (state, progress, release, last error).
    server.Get("/sources", [&](const httplib::Request&, httplib::Response& res) {
        std::vector<SourceStatus> statuses;
        for (const auto& source : engines.sources) {
            statuses.push_back(source->status());
            const SourceCredit credit = source->credit();
            statuses.back().terms = creditText(credit);
            statuses.back().termsLink =
                credit.licenceLink.empty() ? credit.link : credit.licenceLink;
        }
        res.set_header("Cache-Control", "no-cache");
        res.set_content(sourcesJson(statuses), "application/json; charset=utf-8");
    });

    // One lookup of a source asked with a key, whatever the cache holds: the settings window's
    // "Test", POST /sources/<id>/test?site=SITE without a body. A request from a web page is
    // refused (a browser's cross-site POST always names its origin): no page can spend the
    // user's paid requests.
    server.Post(
        R"(/sources/([^/]+)/test)", [&](const httplib::Request& req, httplib::Response& res) {
            auto* source = [&]() -> KeyedSource* {
                for (const auto& candidate : engines.sources) {
                    auto* keyed = dynamic_cast<KeyedSource*>(candidate.get());
                    if (keyed != nullptr && keyed->engines().front().id == req.matches[1].str()) {
                        return keyed;
                    }
                }
                return nullptr;
            }();
            if (source == nullptr) {
                setText(res, 404, "Not found");
                return;
            }
            if (fromWebPage(req)) {
                setText(res, 403, "Refused: a request of a web page");
                return;
            }
            const QString asked = QString::fromStdString(req.get_param_value("site"));
            const std::optional<std::string> site = source->acceptSite(asked.toStdString());
            if (!site) {
                setText(res, 400, "Not a host name: " + printable(asked.toStdString()));
                return;
            }
            const LinkCount result = source->test(*site);
            QJsonObject answer{{"id"_L1, QString::fromStdString(source->engines().front().id)},
                               {"site"_L1, QString::fromStdString(*site)},
                               {"unit"_L1, QString::fromStdString(source->engines().front().unit)}};
            if (result.kind == LinkCount::Kind::NoCount) {
                answer.insert("reason"_L1, QString::fromStdString(result.reason));
            } else {
                answer.insert("count"_L1, double(result.value));
                answer.insert("atLeast"_L1, result.kind == LinkCount::Kind::AtLeast);
            }
            res.set_header("Cache-Control", "no-cache");
            res.set_content(QJsonDocument(answer).toJson(QJsonDocument::Compact).toStdString(),
                            "application/json; charset=utf-8");
        });

    server.Get(R"(/.*)", [&](const httplib::Request& req, httplib::Response& res) {
        const std::optional<fs::path> file = resolveUnderRoot(root, req.path);
        std::string content;
        if (!file || !readFile(*file, content)) {
            setText(res, 404, "Not found");
            return;
        }
        if (*file == schemaFile) {
            std::optional<std::string> merged =
                mergeSchema(content, schemaEntries, schemaCredits());
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
    if (!HostServer::hostAllowed(config->bind, {})) {
        std::cerr << "brandle-host: warning: " << config->bind
                  << " can be reached from other computers, and the host answers whoever reaches "
                     "it (requests must name localhost, "
                  << config->bind << " or a name of allow-host in their Host header)\n";
    }
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

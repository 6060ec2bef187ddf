// SPDX-License-Identifier: MIT
#include "HostConfig.h"

#include "GraphImport.h"
#include "Text.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace brandle::host {

namespace fs = std::filesystem;

namespace {

constexpr std::array<std::string_view, 8> kKnownEngines{kEngineMajesticSubnets,
                                                        kEngineMajesticIps,
                                                        kEngineWikipedia,
                                                        kEngineCommonCrawl,
                                                        kEngineDemo,
                                                        kEngineBing,
                                                        kEngineMoz,
                                                        kEngineDataForSeo};

constexpr std::array<std::string_view, 21> kKeys{"engines",
                                                 "majestic-url",
                                                 "wikipedia-api",
                                                 "wikipedia-language",
                                                 "cache",
                                                 "root",
                                                 "bind",
                                                 "port",
                                                 "contact",
                                                 "demo",
                                                 "accept-smaller-list",
                                                 "allow-host",
                                                 "commoncrawl-index",
                                                 "commoncrawl-data",
                                                 "commoncrawl-release",
                                                 "commoncrawl-shards",
                                                 "commoncrawl-export",
                                                 "bing-api",
                                                 "moz-api",
                                                 "dataforseo-api",
                                                 "moz-interval"};

constexpr std::size_t kMaxContactLength = 200;
constexpr std::size_t kMaxKeyLength = 512;
constexpr int kMaxMozInterval = 3600;

bool isSecretKey(std::string_view key)
{
    return std::find(kSecretKeys.begin(), kSecretKeys.end(), key) != kSecretKeys.end();
}

bool isKnownKey(std::string_view key)
{
    return std::find(kKeys.begin(), kKeys.end(), key) != kKeys.end() || isSecretKey(key);
}

bool hasControlChars(std::string_view text)
{
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u < 0x20 || u == 0x7f;
    });
}

bool isHttpUrl(std::string_view url)
{
    const std::string lower = toLowerAscii(url.substr(0, 8));
    const std::size_t scheme = lower.rfind("https://", 0) == 0  ? 8
                               : lower.rfind("http://", 0) == 0 ? 7
                                                                : 0;
    return scheme > 0 && url.size() > scheme && url.find(' ') == std::string_view::npos &&
           !hasControlChars(url);
}

std::optional<bool> parseBool(std::string_view text)
{
    const std::string lower = toLowerAscii(text);
    if (lower == "true" || lower == "yes" || lower == "on" || lower == "1") {
        return true;
    }
    if (lower == "false" || lower == "no" || lower == "off" || lower == "0") {
        return false;
    }
    return std::nullopt;
}

bool parseEngines(std::string_view list, std::vector<std::string>& engines, std::string& error)
{
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t comma = list.find(',', start);
        if (comma == std::string_view::npos) {
            comma = list.size();
        }
        const std::string id(trimBlanks(list.substr(start, comma - start)));
        start = comma + 1;
        if (id.empty()) {
            error = "empty engine name in the engine list";
            return false;
        }
        if (std::find(kKnownEngines.begin(), kKnownEngines.end(), id) == kKnownEngines.end()) {
            error = "unknown engine: " + printable(id) +
                    " (known: majestic-subnets, majestic-ips, wikipedia, commoncrawl, demo, "
                    "bing, moz, dataforseo)";
            return false;
        }
        if (std::find(out.begin(), out.end(), id) != out.end()) {
            error = "engine listed twice: " + id;
            return false;
        }
        out.push_back(id);
    }
    engines = std::move(out);
    return true;
}

// The items of a comma-separated list, blanks around each dropped.
std::vector<std::string> commaItems(std::string_view list)
{
    std::vector<std::string> items;
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t comma = std::min(list.find(',', start), list.size());
        items.emplace_back(trimBlanks(list.substr(start, comma - start)));
        start = comma + 1;
    }
    return items;
}

// A comma-separated list of host names or addresses, kept in lower case.
bool parseAllowHosts(std::string_view list, std::vector<std::string>& hosts, std::string& error)
{
    std::vector<std::string> names = commaItems(toLowerAscii(list));
    for (const std::string& name : names) {
        if (name.empty() || hasControlChars(name) ||
            name.find_first_of(" /@\"") != std::string::npos) {
            error = "allow-host: not a host name: " + printable(name);
            return false;
        }
    }
    hosts = std::move(names);
    return true;
}

bool isLanguageCode(std::string_view code)
{
    if (code.size() < 2 || code.size() > 20 || code.front() < 'a' || code.front() > 'z') {
        return false;
    }
    return std::all_of(code.begin(), code.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
    });
}

std::string environmentFolder(const std::string& xdgValue, const std::string& home,
                              std::string_view homeRelative)
{
    // A relative XDG value is invalid and ignored, as the XDG base directory rules say.
    if (!xdgValue.empty() && xdgValue.front() == '/') {
        return xdgValue;
    }
    return home + "/" + std::string(homeRelative);
}

} // namespace

bool HostConfig::wants(std::string_view engineId) const
{
    return std::find(engines.begin(), engines.end(), engineId) != engines.end();
}

bool HostConfig::needsCache() const
{
    return wants(kEngineMajesticSubnets) || wants(kEngineMajesticIps) || wants(kEngineWikipedia) ||
           wants(kEngineCommonCrawl) || wants(kEngineBing) || wants(kEngineMoz) ||
           wants(kEngineDataForSeo);
}

std::string HostConfig::wikipediaApiUrl() const
{
    if (!wikipediaApi.empty()) {
        return wikipediaApi;
    }
    return "https://" + wikipediaLanguage + ".wikipedia.org/w/api.php";
}

std::string defaultConfigFile(const HostEnvironment& env)
{
    return environmentFolder(env.xdgConfigHome, env.home, ".config") + "/brandle/brandle-host.conf";
}

std::string defaultCacheDir(const HostEnvironment& env)
{
    return environmentFolder(env.xdgCacheHome, env.home, ".cache") + "/brandle-host";
}

std::optional<CommandLine> parseCommandLine(const std::vector<std::string>& args,
                                            std::string& error)
{
    CommandLine out;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        std::string value;
        bool hasValue = false;
        if (const auto eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg.resize(eq);
            hasValue = true;
        }
        if (arg == "--help" || arg == "-h") {
            out.help = true;
            continue;
        }
        if (arg == "--version" || arg == "-v") {
            out.version = true;
            continue;
        }
        if ((arg == "--demo" || arg == "--accept-smaller-list") && !hasValue) {
            out.settings.emplace_back(arg.substr(2), "true");
            continue;
        }
        const std::string key = arg.rfind("--", 0) == 0 ? arg.substr(2) : std::string();
        if (isSecretKey(key)) {
            error = arg + ": a key is not taken from the command line, where every user of this "
                          "machine can read it in the process list; store it in the keyring (the "
                          "Sources tab of Brandle's settings) or in the settings file";
            return std::nullopt;
        }
        if (key != "config" && !isKnownKey(key)) {
            error = "unknown option: " + printable(arg);
            return std::nullopt;
        }
        if (!hasValue) {
            if (i + 1 >= args.size()) {
                error = "missing value after " + arg;
                return std::nullopt;
            }
            value = args[++i];
        }
        if (key == "config") {
            if (value.empty()) {
                error = "empty value after --config";
                return std::nullopt;
            }
            out.configFile = value;
        } else {
            out.settings.emplace_back(key, value);
        }
    }
    return out;
}

bool applySetting(HostConfig& config, std::string_view key, std::string_view rawValue,
                  std::string& error)
{
    const std::string value(trimBlanks(rawValue));
    const std::string name(key);
    if (key == "engines") {
        return parseEngines(value, config.engines, error);
    }
    if (key == "demo" || key == "accept-smaller-list") {
        const std::optional<bool> on = parseBool(value);
        if (!on) {
            error = name + ": not true or false: " + printable(value);
            return false;
        }
        if (key == "accept-smaller-list") {
            config.acceptSmallerList = *on;
        } else if (*on) {
            config.engines = {std::string(kEngineDemo)};
        }
        return true;
    }
    if (isSecretKey(key)) {
        if (value.empty() || value.size() > kMaxKeyLength || hasControlChars(value)) {
            error = name + ": empty, longer than 512 characters or with control characters";
            return false;
        }
        config.keys[name] = value;
        return true;
    }
    if (key == "allow-host") {
        return parseAllowHosts(value, config.allowHosts, error);
    }
    if (key == "majestic-url" || key == "wikipedia-api" || key == "bing-api" || key == "moz-api" ||
        key == "dataforseo-api") {
        if (!isHttpUrl(value)) {
            error = name + ": not an http:// or https:// address: " + printable(value);
            return false;
        }
        (key == "majestic-url"    ? config.majesticUrl
         : key == "wikipedia-api" ? config.wikipediaApi
         : key == "bing-api"      ? config.bingApi
         : key == "moz-api"       ? config.mozApi
                                  : config.dataForSeoApi) = value;
        return true;
    }
    if (key == "moz-interval") {
        if (value.empty() || value.size() > 4 ||
            value.find_first_not_of("0123456789") != std::string::npos ||
            std::stoi(value) > kMaxMozInterval) {
            error = "moz-interval: not a number of seconds from 0 to 3600: " + printable(value);
            return false;
        }
        config.mozInterval = std::stoi(value);
        return true;
    }
    if (key == "commoncrawl-index" || key == "commoncrawl-data" || key == "commoncrawl-shards") {
        if (!isHttpUrl(value)) {
            error = name + ": not an http:// or https:// address: " + printable(value);
            return false;
        }
        if (key == "commoncrawl-index") {
            config.commoncrawlIndex = value;
        } else { // a folder: file paths are appended to it
            (key == "commoncrawl-data" ? config.commoncrawlData : config.commoncrawlShards) =
                value.back() == '/' ? value : value + "/";
        }
        return true;
    }
    if (key == "commoncrawl-release") {
        if (!isReleaseName(value)) {
            error = "commoncrawl-release: not a release name: " + printable(value);
            return false;
        }
        config.commoncrawlRelease = value;
        return true;
    }
    if (key == "wikipedia-language") {
        if (!isLanguageCode(value)) {
            error = "wikipedia-language: not a language code: " + printable(value);
            return false;
        }
        config.wikipediaLanguage = value;
        return true;
    }
    if (key == "port") {
        if (value.empty() || value.size() > 5 ||
            value.find_first_not_of("0123456789") != std::string::npos ||
            std::stoi(value) > 65535) {
            error = "port: not a port number: " + printable(value);
            return false;
        }
        config.port = std::stoi(value);
        return true;
    }
    if (key == "cache" || key == "root" || key == "bind" || key == "commoncrawl-export") {
        if (value.empty() || hasControlChars(value)) {
            error = name + ": empty or unreadable value";
            return false;
        }
        // A relative folder would follow whatever the working folder is at the start.
        if (key == "cache" && value.front() != '/') {
            error = "cache: not an absolute path: " + printable(value);
            return false;
        }
        (key == "cache"                ? config.cache
         : key == "root"               ? config.root
         : key == "commoncrawl-export" ? config.commoncrawlExport
                                       : config.bind) = value;
        return true;
    }
    if (key == "contact") {
        if (hasControlChars(value) || value.size() > kMaxContactLength) {
            error = "contact: control characters or longer than 200 characters";
            return false;
        }
        config.contact = value;
        return true;
    }
    error = "unknown setting: " + printable(name);
    return false;
}

bool applyIni(HostConfig& config, std::string_view text, std::string& error)
{
    std::size_t lineNo = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const std::string_view line = trimBlanks(text.substr(start, end - start));
        start = end + 1;
        ++lineNo;
        if (line.empty() || line.front() == '#' || line.front() == ';') {
            continue;
        }
        const std::string where = "line " + std::to_string(lineNo) + ": ";
        if (line.front() == '[') {
            if (line != "[brandle-host]") {
                error = where + "unknown section " + printable(line);
                return false;
            }
            continue;
        }
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) {
            error = where + "not a \"key = value\" line";
            return false;
        }
        const std::string_view key = trimBlanks(line.substr(0, eq));
        if (!isKnownKey(key)) {
            error = where + "unknown key " + printable(key);
            return false;
        }
        if (!applySetting(config, key, line.substr(eq + 1), error)) {
            error = where + error;
            return false;
        }
    }
    return true;
}

std::optional<HostConfig> loadHostConfig(const CommandLine& commandLine, const HostEnvironment& env,
                                         std::string& error)
{
    HostConfig config;
    const bool explicitFile = !commandLine.configFile.empty();
    const std::string file = explicitFile ? commandLine.configFile : defaultConfigFile(env);
    // Only a default file that does not exist means the defaults; any other failure is said.
    std::error_code ec;
    const fs::file_status status = fs::status(file, ec);
    if (explicitFile || status.type() != fs::file_type::not_found) {
        std::ifstream in;
        if (!ec && !fs::is_directory(status)) {
            in.open(file, std::ios::binary);
        }
        const std::string why = ec                         ? ec.message()
                                : fs::is_directory(status) ? std::string("a folder")
                                : !in                      ? std::generic_category().message(errno)
                                                           : std::string();
        std::ostringstream text;
        if (why.empty()) {
            text << in.rdbuf();
        }
        if (!why.empty() || in.bad()) {
            error = file + ": cannot be read" + (why.empty() ? "" : " (" + why + ")");
            return std::nullopt;
        }
        if (!applyIni(config, text.str(), error)) {
            error = file + ": " + error;
            return std::nullopt;
        }
        config.configFile = file;
        if (!config.keys.empty()) {
            if (std::string problem = keyFileProblem(file); !problem.empty()) {
                error = std::move(problem);
                return std::nullopt;
            }
        }
    }
    for (const auto& [key, value] : commandLine.settings) {
        if (!applySetting(config, key, value, error)) {
            return std::nullopt;
        }
    }
    if (config.cache.empty()) {
        config.cache = defaultCacheDir(env);
    }
    return config;
}

std::string keyFileProblem(const std::string& file)
{
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0 || (info.st_mode & 077) == 0) {
        return {};
    }
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", unsigned(info.st_mode & 07777));
    return file + " holds a key but can be read by others (mode " + mode +
           "); make it private with: chmod 600 " + file;
}

} // namespace brandle::host

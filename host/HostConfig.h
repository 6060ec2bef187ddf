// SPDX-License-Identifier: MIT
#pragma once

// The settings of brandle-host: an INI file (key = value) whose every key but the secret ones
// is also a command-line option "--key VALUE"; the command line wins.

#include "Keyring.h"

#include <array>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace brandle::host {

inline constexpr std::string_view kEngineMajesticSubnets = "majestic-subnets";
inline constexpr std::string_view kEngineMajesticIps = "majestic-ips";
inline constexpr std::string_view kEngineWikipedia = "wikipedia";
inline constexpr std::string_view kEngineDemo = "demo";
inline constexpr std::string_view kEngineCommonCrawl = "commoncrawl";
inline constexpr std::string_view kEngineBing = "bing";
inline constexpr std::string_view kEngineMoz = "moz";
inline constexpr std::string_view kEngineDataForSeo = "dataforseo";

// The keys of the services asked with the user's own account. They are secrets: taken from
// the keyring or the settings file, never from the command line (where every user of the
// machine reads them in the process list), and never printed.
inline constexpr std::array<std::string_view, 4> kSecretKeys{
    keyring::BingKey, keyring::MozToken, keyring::DataForSeoLogin, keyring::DataForSeoPassword};

inline constexpr std::string_view kDefaultMajesticUrl =
    "https://downloads.majestic.com/majestic_million.csv";
inline constexpr std::string_view kDefaultCommonCrawlIndex =
    "https://index.commoncrawl.org/graphinfo.json";
inline constexpr std::string_view kDefaultCommonCrawlData = "https://data.commoncrawl.org/";
inline constexpr std::string_view kDefaultBingApi = "https://ssl.bing.com/webmaster/api.svc/json/";
inline constexpr std::string_view kDefaultMozApi = "https://api.moz.com/jsonrpc";
inline constexpr std::string_view kDefaultDataForSeoApi = "https://api.dataforseo.com/v3/";
inline constexpr int kDefaultMozInterval = 10; // seconds: the free tier's request limit
inline constexpr int kDefaultPort = 8750;
inline constexpr std::string_view kDefaultBind = "127.0.0.1";

struct HostConfig {
    std::vector<std::string> engines{std::string(kEngineMajesticSubnets),
                                     std::string(kEngineMajesticIps),
                                     std::string(kEngineWikipedia)};
    std::string majesticUrl{kDefaultMajesticUrl};
    std::string wikipediaApi; // empty: the API of wikipediaLanguage
    std::string wikipediaLanguage = "en";
    std::string cache; // empty: the default cache folder
    std::string root;  // empty: the installed service folder
    std::string bind{kDefaultBind};
    int port = kDefaultPort;
    std::string contact;            // added to the User-Agent of upstream requests
    bool acceptSmallerList = false; // take a list with fewer than half the rows of the one in use
    std::vector<std::string> allowHosts; // names a request's Host header may give besides ours
    std::string commoncrawlIndex{kDefaultCommonCrawlIndex};
    std::string commoncrawlData{kDefaultCommonCrawlData}; // ends in '/'
    std::string commoncrawlRelease;                       // empty: the newest
    std::string commoncrawlShards;                        // empty: none; else ends in '/'
    std::string commoncrawlExport; // a folder: export the shards there and end
    std::string bingApi{kDefaultBingApi};
    std::string mozApi{kDefaultMozApi};
    std::string dataForSeoApi{kDefaultDataForSeoApi};
    int mozInterval = kDefaultMozInterval;
    std::map<std::string, std::string> keys; // the secret keys the settings file holds
    std::string configFile;                  // the settings file read; empty when none

    bool wants(std::string_view engineId) const;
    bool needsCache() const; // any engine that keeps data on disk
    std::string wikipediaApiUrl() const;
};

// The environment values the defaults derive from.
struct HostEnvironment {
    std::string home;
    std::string xdgConfigHome;
    std::string xdgCacheHome;
};

// $XDG_CONFIG_HOME/brandle/brandle-host.conf (XDG default: ~/.config).
std::string defaultConfigFile(const HostEnvironment& env);

// $XDG_CACHE_HOME/brandle-host (XDG default: ~/.cache).
std::string defaultCacheDir(const HostEnvironment& env);

// The command line split into what decides which file is read and what overrides it.
struct CommandLine {
    std::vector<std::pair<std::string, std::string>> settings; // key, value in given order
    std::string configFile;                                    // --config, empty when absent
    bool help = false;
    bool version = false;
};

// Accepts "--key VALUE" and "--key=VALUE"; "--demo", "--accept-smaller-list" and "--help"
// take no value. Nothing and an error text for an unknown option or a missing value.
std::optional<CommandLine> parseCommandLine(const std::vector<std::string>& args,
                                            std::string& error);

// Applies the settings of an INI text: "key = value" lines, blank lines, lines starting with
// '#' or ';', and an optional "[brandle-host]" section header. False and an error text
// naming the line for anything else, including an unknown key or section.
bool applyIni(HostConfig& config, std::string_view text, std::string& error);

// Applies one setting; false and an error text for an unknown key or an invalid value. An
// error text never holds the value of a secret key.
bool applySetting(HostConfig& config, std::string_view key, std::string_view value,
                  std::string& error);

// The settings in effect: defaults, then the config file (--config, else the default file
// when it exists), then the command line; the default cache folder when none is set. A config
// file that exists but cannot be read (a folder at its path, say) is an error, and so is a
// cache folder that is not an absolute path. A file that holds a secret key and that its group
// or others may read is refused, as ssh refuses such key files.
std::optional<HostConfig> loadHostConfig(const CommandLine& commandLine, const HostEnvironment& env,
                                         std::string& error);

// Empty when the settings file may hold keys; else why not (it can be read by others).
std::string keyFileProblem(const std::string& file);

} // namespace brandle::host

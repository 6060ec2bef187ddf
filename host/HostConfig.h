// SPDX-License-Identifier: MIT
#pragma once

// The settings of brandle-host: an INI file (key = value) whose every key is also a
// command-line option "--key VALUE"; the command line wins.

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

inline constexpr std::string_view kDefaultMajesticUrl =
    "https://downloads.majestic.com/majestic_million.csv";
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

// Applies one setting; false and an error text for an unknown key or an invalid value.
bool applySetting(HostConfig& config, std::string_view key, std::string_view value,
                  std::string& error);

// The settings in effect: defaults, then the config file (--config, else the default file
// when it exists), then the command line; the default cache folder when none is set. A config
// file that exists but cannot be read (a folder at its path, say) is an error, and so is a
// cache folder that is not an absolute path.
std::optional<HostConfig> loadHostConfig(const CommandLine& commandLine, const HostEnvironment& env,
                                         std::string& error);

} // namespace brandle::host

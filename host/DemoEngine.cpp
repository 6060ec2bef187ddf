// SPDX-License-Identifier: MIT
#include "DemoEngine.h"

#include <array>
#include <cstdint>

namespace brandle::host {

namespace {

// The markers must match LeftString and RightString of Link-Popularity-Schema.xml.
// No right marker occurs inside its left marker: the count is cut by searching the right
// marker from where the left one begins.
constexpr std::array<DemoEngineInfo, 3> kEngines{{
    {"alpha", "Alpha Search", "links", R"(<b id="total">)", "</b> pages", "", "."},
    {"beta", "Beta Find", "site", "Links found: <em>", "</em>", "", "%2E"},
    {"gamma", "Gamma Seek", "url", R"(<td class="count">)", "</td>", "&lang=en", "."},
}};

std::string pageHead(const DemoEngineInfo& engine, std::string_view title)
{
    std::string page = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>";
    page += engine.name;
    page += " - ";
    page += title;
    page += "</title></head>\n<body>\n";
    return page;
}

} // namespace

const DemoEngineInfo* demoEngines(std::size_t* count)
{
    if (count != nullptr) {
        *count = kEngines.size();
    }
    return kEngines.data();
}

const DemoEngineInfo* findDemoEngine(std::string_view id)
{
    for (const DemoEngineInfo& engine : kEngines) {
        if (engine.id == id) {
            return &engine;
        }
    }
    return nullptr;
}

std::string hourKey(std::time_t when)
{
    std::tm local{};
    if (localtime_r(&when, &local) == nullptr) {
        return "1970010100";
    }
    char buffer[32];
    const std::size_t length = std::strftime(buffer, sizeof buffer, "%Y%m%d%H", &local);
    return std::string(buffer, length);
}

std::uint64_t demoCount(std::string_view engineId, std::string_view site, std::string_view hourKey)
{
    // A separator keeps ("ab", "c") and ("a", "bc") apart.
    std::string key(engineId);
    key += '\n';
    key += toLowerAscii(site);

    const std::uint64_t baseSpan = kDemoMaxBase - kDemoMinBase + 1;
    const std::uint64_t base = kDemoMinBase + fnv1a64(key) % baseSpan;

    key += '\n';
    key += hourKey;
    // Signed offset in units of 1/100000 of the base, within the allowed per mille.
    const std::int64_t steps = static_cast<std::int64_t>(kDemoVariationPermille) * 100;
    const std::int64_t offset =
        static_cast<std::int64_t>(fnv1a64(key) % static_cast<std::uint64_t>(2 * steps + 1)) - steps;
    const std::int64_t change = static_cast<std::int64_t>(base) * offset / 100000;
    return static_cast<std::uint64_t>(static_cast<std::int64_t>(base) + change);
}

std::string demoAnswerPage(const DemoEngineInfo& engine, std::string_view site, std::uint64_t count)
{
    const std::string safeSite = htmlEscape(site);
    const std::string number = formatThousands(count);
    std::string page = pageHead(engine, "links to " + safeSite);

    // Each engine lays out its page a little differently, like real ones do.
    if (engine.id == "alpha") {
        page += "<h1>Alpha Search</h1>\n<p>Your query: links to <i>" + safeSite + "</i></p>\n";
        page += "<p>Found ";
        page += engine.leftString;
        page += number;
        page += engine.rightString;
        page += " linking to this site.</p>\n";
    } else if (engine.id == "beta") {
        page += "<div class=\"bar\">Beta Find &middot; " + safeSite + "</div>\n";
        page += "<div class=\"summary\">";
        page += engine.leftString;
        page += number;
        page += engine.rightString;
        page += " for " + safeSite + "</div>\n";
    } else {
        page += "<h2>Gamma Seek</h2>\n<table>\n<tr><td>Site</td><td>" + safeSite + "</td></tr>\n";
        page += "<tr><td>Linking pages</td>";
        page += engine.leftString;
        page += number;
        page += engine.rightString;
        page += "</tr>\n</table>\n";
    }
    page += "<p><a href=\"/engines/";
    page += engine.id;
    page += "/\">New search</a></p>\n</body></html>\n";
    return page;
}

std::string demoHomePage(const DemoEngineInfo& engine)
{
    std::string page = pageHead(engine, "home");
    page += "<h1>";
    page += engine.name;
    page += "</h1>\n<p>A demo engine of brandle-host. Ask it with <code>search?";
    page += engine.siteParam;
    page += "=example.com</code>.</p>\n</body></html>\n";
    return page;
}

} // namespace brandle::host

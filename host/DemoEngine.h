// SPDX-License-Identifier: MIT
#pragma once

// The made-up search engines of brandle-host. Everything here is plain logic without any
// networking, so the counts and answer pages can be checked by unit tests.

#include "Text.h"

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

namespace brandle::host {

struct DemoEngineInfo {
    std::string_view id;          // path segment: /engines/<id>/...
    std::string_view name;        // display name, same as EngineName in the schema
    std::string_view siteParam;   // query parameter that carries the site
    std::string_view leftString;  // text right before the count on the answer page
    std::string_view rightString; // text right after the count on the answer page
    std::string_view rightUrl;    // RightURL of the schema entry
    std::string_view replaceDot;  // ReplaceDot of the schema entry
};

// Smallest and largest stable base count; the hourly variation adds at most
// kDemoVariationPermille per mille on either side.
inline constexpr std::uint64_t kDemoMinBase = 500;
inline constexpr std::uint64_t kDemoMaxBase = 250000;
inline constexpr std::uint64_t kDemoVariationPermille = 30;

// The engines the host knows, in the order of the schema.
const DemoEngineInfo* demoEngines(std::size_t* count);

// The engine with this id, or nullptr.
const DemoEngineInfo* findDemoEngine(std::string_view id);

// "YYYYMMDDHH" of the given moment in local time.
std::string hourKey(std::time_t when);

// Number of pages the demo engine claims to link to the site during the hour named by
// hourKey. Depends only on its arguments; the site's letter case is ignored.
std::uint64_t demoCount(std::string_view engineId, std::string_view site, std::string_view hourKey);

// The answer page of a query: contains leftString + formatted count + rightString.
std::string demoAnswerPage(const DemoEngineInfo& engine, std::string_view site,
                           std::uint64_t count);

// The small home page of an engine.
std::string demoHomePage(const DemoEngineInfo& engine);

} // namespace brandle::host

// SPDX-License-Identifier: MIT
#pragma once

// The plug-in interface of brandle-host: a source of link figures offers one or more engines;
// an engine takes a site and answers a count, a lower bound or no count with a reason.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace brandle::host {

// Where sources write what the host log should say (one line, no line end).
using Logger = std::function<void(const std::string&)>;

// One entry of the served engine schema.
struct EngineInfo {
    std::string id;          // path segment: /engines/<id>/...
    std::string name;        // EngineName in the schema
    std::string siteParam;   // query parameter that carries the site
    std::string rightUrl;    // RightURL: what follows the site in the query address
    std::string replaceDot;  // ReplaceDot
    std::string leftString;  // text right before the count on the answer page
    std::string rightString; // text right after the count
    std::string unit;        // what the count counts, e.g. "referring subnets"
    // Around the reason on a page without a count; none when the engine always counts.
    std::string reasonLeftString;
    std::string reasonRightString;
};

// What an engine answers for a site.
struct LinkCount {
    enum class Kind { Count, AtLeast, NoCount };
    Kind kind = Kind::NoCount;
    std::uint64_t value = 0; // Count and AtLeast
    std::string reason;      // NoCount: why there is no figure
    std::string detail{};    // Count and AtLeast: shown after the unit (e.g. the data's release)

    static LinkCount count(std::uint64_t n) { return {Kind::Count, n, {}}; }
    static LinkCount atLeast(std::uint64_t n) { return {Kind::AtLeast, n, {}}; }
    static LinkCount none(std::string why) { return {Kind::NoCount, 0, std::move(why)}; }
};

// What a source serves and is doing, as GET /sources reports it.
struct SourceStatus {
    enum class State {
        Ready,   // answers from the data it holds (or, without data, from its upstream)
        Loading, // fetching or preparing data; what it already holds is still served
        Failed,  // holds no data and the last attempt to get some failed
        Off,     // enabled but unable to answer (e.g. no key set)
    };
    std::string id;   // "majestic", "wikipedia", "demo" ...
    std::string name; // as credited
    State state = State::Ready;
    double progress = -1;     // 0 to 1 while loading; negative when not known
    std::string release;      // what is served (a release or list name), empty when unnamed
    std::int64_t updated = 0; // when the served data was fetched or confirmed (Unix s), 0: unknown
    std::string error;        // the last failure, kept while older data is still served
    std::string key;          // where the key comes from: "keyring", "file" or "none"; empty
                              // for a source that needs none
    std::string terms;        // the credit line: whose data, under which licence or terms
    std::string termsLink;    // where those terms are

    static SourceStatus ready(std::string id, std::string name)
    {
        SourceStatus status;
        status.id = std::move(id);
        status.name = std::move(name);
        return status;
    }
};

// Who provides the figures, as the style sheet credits them.
struct SourceCredit {
    std::string name;
    std::string owner;   // who makes the data, empty when there is none to name
    std::string link;    // where the data comes from
    std::string licence; // empty when there is none to name
    std::string licenceLink;
    std::string note; // e.g. a limit of the data
};

class Source {
public:
    virtual ~Source() = default;

    virtual const std::vector<EngineInfo>& engines() const = 0;
    virtual SourceCredit credit() const = 0;

    // The site as the engine looks it up, or nothing when the text is not one the engine
    // accepts (the host then refuses the request with 400).
    virtual std::optional<std::string> acceptSite(std::string_view site) const = 0;

    // The figure for a site that acceptSite returned. May block on the network, but must
    // return within the host's answer time.
    virtual LinkCount lookup(const EngineInfo& engine, const std::string& site) = 0;

    // The answer page of an engine for the site as it was asked.
    virtual std::string answerPage(const EngineInfo& engine, std::string_view askedSite,
                                   const LinkCount& result) const;

    // The page at the engine's home address.
    virtual std::string homePage(const EngineInfo& engine) const;

    // What the source serves now; called from any thread.
    virtual SourceStatus status() const = 0;

    // Starts and stops work in the background (downloads, refreshes).
    virtual void start() {}
    virtual void stop() {}
};

} // namespace brandle::host

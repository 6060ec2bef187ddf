// SPDX-License-Identifier: MIT
#pragma once

// The common part of the sources that ask a service with the user's own key (Bing Webmaster,
// Moz, DataForSEO): the keys, a day's cache of each site's answer in the database, one
// upstream lookup for clients asking for the same site at once, the reasons for no count,
// and what GET /sources says. No key ever leaves it: every text it gives out is redacted.

#include "Coalescer.h"
#include "HttpFetch.h"
#include "Keys.h"
#include "LinkStore.h"
#include "Source.h"

#include <QJsonDocument>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <vector>

namespace brandle::host {

struct KeyedSettings {
    std::string apiUrl;
    std::string userAgent;
    // A lookup ends with no count when it has not finished in this time, so the answer
    // reaches a client that waits 60 s.
    std::chrono::milliseconds answerTime{45000};
    FetchLimits limits{}; // per request: 15 s to connect, 60 s in all, 8 MiB
    std::chrono::seconds keepAnswers{24 * 3600};
};

// What one upstream request gave: an answer, or why there is none.
struct Reply {
    bool answered = false;
    long status = 0;
    std::string body;
    std::string failure;    // not answered: the reason as a page shows it
    bool outOfTime = false; // not answered because the lookup's time is up
};

class KeyedSource : public Source {
public:
    using Deadline = std::chrono::steady_clock::time_point;

    // service: the name in reasons ("Bing Webmaster"); keyNames: the keys the service needs.
    KeyedSource(std::string id, std::string service, EngineInfo engine,
                std::vector<std::string> keyNames, KeyedSettings settings, LinkStore& store,
                Keys& keys, Logger log);

    const std::vector<EngineInfo>& engines() const override { return engines_; }
    std::optional<std::string> acceptSite(std::string_view site) const override;
    LinkCount lookup(const EngineInfo& engine, const std::string& site) override;
    SourceStatus status() const override;
    void stop() override { stopping_ = true; }

    // One lookup upstream whatever the cache holds (the settings window's "Test"); a count is
    // kept as a lookup's is.
    LinkCount test(const std::string& site);

protected:
    // Asks the service for the site with the keys (in the order of keyNames).
    virtual LinkCount ask(const std::string& site, const std::vector<std::string>& keys,
                          Deadline deadline) = 0;

    static FetchRequest getRequest(std::string url);
    static FetchRequest jsonPost(std::string url, const QJsonDocument& body);

    // One request by the deadline, never following a redirect (the key would go along).
    Reply send(FetchRequest request, Deadline deadline);

    // The reasons for no count that every service shares.
    LinkCount keyRefused(const std::string& detail) const;
    LinkCount limitReached(const std::string& detail) const;
    LinkCount unreadable() const;
    LinkCount notAnswered(const Reply& reply) const;
    // 401 and 403: the key refused; 429: a limit; any other status but 200: an error.
    std::optional<LinkCount> httpFailure(long status, const std::string& detail) const;

    const KeyedSettings& settings() const { return settings_; }
    const std::string& service() const { return service_; }
    bool stopping() const { return stopping_; }

private:
    LinkCount fresh(const std::string& site, Deadline deadline);
    std::string origin() const { return id_ + " " + settings_.apiUrl; }

    std::string id_;
    std::string service_;
    std::vector<EngineInfo> engines_;
    std::vector<std::string> keyNames_;
    KeyedSettings settings_;
    LinkStore& store_;
    Keys& keys_;
    Logger log_;
    Coalescer<LinkCount> flights_;
    std::atomic<bool> stopping_{false};
    mutable std::mutex errorMutex_;
    std::string lastError_; // of the last lookup that gave no count; a count clears it
};

} // namespace brandle::host

// SPDX-License-Identifier: MIT
#pragma once

// "Wikipedia articles linking": the number of articles of a Wikipedia (any MediaWiki) that
// carry an external link to the site, from the API's exturlusage list. Answers are kept in
// the database for a day; the API is asked one request at a time, with maxlag, and at most
// a fixed number of requests per site.

#include "Coalescer.h"
#include "HttpFetch.h"
#include "LinkStore.h"
#include "Source.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <vector>

namespace brandle::host {

struct WikipediaSettings {
    std::string apiUrl;
    std::string userAgent;
    int maxRequestsPerSite = 40;
    // A lookup ends with no count when it has not finished in this time, so the answer
    // reaches a client that waits 60 s.
    std::chrono::milliseconds answerTime{45000};
    FetchLimits limits{}; // per request: 15 s to connect, 60 s in all, 8 MiB
    std::chrono::seconds keepAnswers{24 * 3600};
};

class WikipediaSource final : public Source {
public:
    WikipediaSource(WikipediaSettings settings, LinkStore& store, Logger log);

    const std::vector<EngineInfo>& engines() const override { return engines_; }
    SourceCredit credit() const override;
    std::optional<std::string> acceptSite(std::string_view site) const override;
    LinkCount lookup(const EngineInfo& engine, const std::string& site) override;
    SourceStatus status() const override;
    // How many lookups of the site wait for the walk of another that asked first.
    std::size_t waitingFor(const std::string& site) const { return flights_.waiting(site); }
    void stop() override { stopping_ = true; }

private:
    LinkCount fresh(const std::string& site, std::chrono::steady_clock::time_point deadline);
    std::optional<LinkCount> cached(const std::string& site);

    WikipediaSettings settings_;
    LinkStore& store_;
    Logger log_;
    std::vector<EngineInfo> engines_;
    Coalescer<LinkCount> flights_;
    std::timed_mutex upstream_; // one request at a time to the API's host
    std::mutex backoffMutex_;
    std::chrono::steady_clock::time_point notBefore_{}; // from a maxlag answer's Retry-After
    std::atomic<bool> stopping_{false};
    mutable std::mutex errorMutex_;
    std::string lastError_; // of the last walk that gave no count; a good walk clears it
};

} // namespace brandle::host

// SPDX-License-Identifier: MIT
#pragma once

// "Majestic referring subnets" and "Majestic referring IPs": the counts of the Majestic
// Million list (the million domains with the most referring subnets, CC BY 3.0). The list is
// downloaded into the cache folder, loaded into the database and refreshed once a day; a
// failed or partial download never replaces the list in use.

#include "HttpFetch.h"
#include "LinkStore.h"
#include "RefreshWorker.h"
#include "Source.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace brandle::host {

struct MajesticSettings {
    std::string url;
    std::filesystem::path cacheDir;
    std::string userAgent;
    std::chrono::seconds refreshAfter{24 * 3600};
    std::chrono::seconds retryAfterFailure{3600};
    std::chrono::seconds retryWhileEmpty{900};
    bool acceptSmallerList = false; // take a list with fewer than half the rows of the one in use
    // The list is about 80 MB: a slow line may take longer than a minute for it, so the
    // download ends when it stalls rather than after a fixed time.
    FetchLimits limits{std::chrono::milliseconds(15000), std::chrono::milliseconds(3600 * 1000),
                       std::chrono::seconds(60), std::uint64_t(512) << 20};
};

class MajesticSource final : public Source {
public:
    // engineIds: which of "majestic-subnets" and "majestic-ips" to offer, in that order.
    MajesticSource(MajesticSettings settings, LinkStore& store,
                   const std::vector<std::string>& engineIds, Logger log);
    ~MajesticSource() override;

    const std::vector<EngineInfo>& engines() const override { return engines_; }
    SourceCredit credit() const override;
    std::optional<std::string> acceptSite(std::string_view site) const override;
    LinkCount lookup(const EngineInfo& engine, const std::string& site) override;
    SourceStatus status() const override;

    // Refreshes in the background: at once when the list is missing, from another address or
    // older than refreshAfter, then whenever it gets that old.
    void start() override;
    void stop() override;

    // One download and load now, whatever the age of the list; true when the list in the
    // database is then current (replaced or confirmed unchanged).
    bool refresh();

    // Why the last refresh failed (a list refused as too small, say); empty after a good one.
    std::string lastError() const;

private:
    void run();

    MajesticSettings settings_;
    LinkStore& store_;
    Logger log_;
    std::vector<EngineInfo> engines_;
    std::atomic<bool> refreshing_{false};
    std::atomic<double> progress_{-1}; // of the download in progress
    mutable std::mutex mutex_;
    std::string lastError_; // of the last refresh, guarded by mutex_
    RefreshWorker worker_;
};

} // namespace brandle::host

// SPDX-License-Identifier: MIT
#pragma once

// "Common Crawl referring domains": how many other domains link to a site's registered domain
// in Common Crawl's domain-level web graph (its in-degree there). The host downloads the
// release into its cache folder, counts the in-degrees in one streaming pass into a mapped
// index and deletes the graph files; it swaps a new release in only once it was read whole.
// With a mirror address it reads the shards another host exported instead of the graph.

#include "CommonCrawlShards.h"
#include "DomainIndex.h"
#include "GraphImport.h"
#include "HttpFetch.h"
#include "RefreshWorker.h"
#include "Source.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace brandle::host {

struct CommonCrawlSettings {
    std::string indexUrl;  // the list of releases (graphinfo.json)
    std::string dataUrl;   // where the graph files lie, ending in '/'
    std::string release;   // the release to serve; empty: the newest
    std::string shardsUrl; // a mirror's folder of shards, ending in '/'; empty: the graph
    std::filesystem::path cacheDir;
    std::string userAgent;
    std::chrono::seconds checkEvery{24 * 3600};
    std::chrono::seconds retryAfterFailure{3600};
    std::chrono::seconds retryWhileEmpty{900};
    // The list of releases, and a mirror's release file and shards (asked while a client
    // waits for its answer).
    FetchLimits listLimits{std::chrono::milliseconds(15000), std::chrono::milliseconds(30000),
                           std::chrono::seconds(0), std::uint64_t(64) << 20};
    // The graph is many GB: a download ends when it stalls rather than after a fixed time.
    FetchLimits downloadLimits{std::chrono::milliseconds(15000), std::chrono::milliseconds(0),
                               std::chrono::seconds(300), std::uint64_t(64) << 30};
};

// The folder of the import under a host's cache folder.
std::filesystem::path commonCrawlDir(const std::filesystem::path& cacheDir);

class CommonCrawlSource final : public Source {
public:
    // Serves at once what the cache folder holds from an earlier run.
    CommonCrawlSource(CommonCrawlSettings settings, Logger log);
    ~CommonCrawlSource() override;

    const std::vector<EngineInfo>& engines() const override { return engines_; }
    SourceCredit credit() const override;
    std::optional<std::string> acceptSite(std::string_view site) const override;
    LinkCount lookup(const EngineInfo& engine, const std::string& site) override;
    SourceStatus status() const override;

    // Checks for the release to serve at once and then once a day.
    void start() override;
    void stop() override;

    // Reads the list of releases (or the mirror's release file) and imports the release to
    // serve (the newest, or the one named) when it is not the one served. True when the
    // release served is then the one wanted.
    bool refresh();

private:
    bool importRelease(const GraphRelease& release);
    // An error text, empty when the file is whole (size: as stated by the server, 0: unknown).
    std::string download(const std::string& url, const std::filesystem::path& file,
                         std::uint64_t size, std::uint64_t doneBefore);
    void removeStrayFiles(const std::string& releaseToKeep);
    bool fail(const std::string& why);
    std::string served() const;
    std::string notReady() const;
    void run();

    CommonCrawlSettings settings_;
    Logger log_;
    std::vector<EngineInfo> engines_;
    const std::filesystem::path dir_;
    std::unique_ptr<ShardMirror> mirror_;

    mutable std::mutex mutex_;
    std::shared_ptr<const DomainIndex> index_; // the release served
    std::int64_t updated_ = 0;                 // when it was imported
    std::string lastError_;
    std::atomic<bool> loading_{false};
    std::atomic<double> progress_{0};
    std::uint64_t workTotal_ = 0; // of an import: bytes to download and to read (worker only)

    RefreshWorker worker_;
};

} // namespace brandle::host

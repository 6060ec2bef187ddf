// SPDX-License-Identifier: MIT
#pragma once

// Shards of a Common Crawl release for a mirror: one host imports the graph and exports the
// counts as static files; any web server hands them to other hosts, which fetch only the
// shard of each site they are asked for.
//
// A mirror folder holds "commoncrawl.json" (the release, the number of shards, the layout)
// and "<release>/<NNNNN>.index", domain indexes of a few MB each; a domain is in the shard
// of number FNV-1a-64(its reversed name, e.g. "uk.co.example") modulo the number of shards.

#include "Coalescer.h"
#include "DomainIndex.h"
#include "HttpFetch.h"
#include "Source.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace brandle::host {

struct ShardLayout {
    std::string release;
    std::uint32_t shards = 1;
    std::uint64_t domains = 0;
};

std::string shardLayoutJson(const ShardLayout& layout);
std::optional<ShardLayout> parseShardLayout(std::string_view json, std::string& error);

std::uint32_t shardOf(std::string_view reversedName, std::uint32_t shards);
std::string shardFile(std::uint32_t shard); // "00042.index"

// Replaces the file with one holding the text (a new file beside it, flushed, renamed).
bool replaceFile(const std::filesystem::path& file, std::string_view text, std::string& error);

// When the file was last written (Unix seconds), 0 when it cannot be read.
std::int64_t modifiedAt(const std::filesystem::path& file);

// The release name of a "current" file of the import's folder; empty when there is none.
std::string servedRelease(const std::filesystem::path& importDir);

// Writes the release served from the import's folder (which it only reads, so a host may
// go on serving it meanwhile) into outDir as shards. An existing export of another release
// is replaced once the new one is complete. False and an error text.
// The shards hold about shardBytes of text each.
bool exportShards(const std::filesystem::path& importDir, const std::filesystem::path& outDir,
                  const Logger& log, std::string& error, std::uint64_t shardBytes = 4 << 20);

// What a mirror's shard says about a name.
struct MirrorAnswer {
    std::optional<std::uint32_t> count;
    std::string release;
    std::string error; // no answer: why
};

// Reads a mirror: its release file, then at most the shard of each name asked for, kept in
// the folder for the release.
class ShardMirror {
public:
    ShardMirror(std::string url, std::filesystem::path dir, std::string userAgent,
                FetchLimits limits, const std::atomic<bool>* cancel);

    // The release file kept from the last reading; false when there is none.
    bool openKept();
    // Reads the mirror's release file; false and an error text when that fails.
    bool refresh(std::string& error);
    std::optional<ShardLayout> layout() const;
    std::int64_t updated() const; // Unix seconds of the last reading, 0: never

    MirrorAnswer find(const std::string& reversedName);

private:
    std::string fetchShard(const ShardLayout& layout, std::uint32_t shard);

    const std::string url_;
    const std::filesystem::path dir_;
    const std::string userAgent_;
    const FetchLimits limits_;
    const std::atomic<bool>* cancel_;
    mutable std::mutex mutex_;
    std::optional<ShardLayout> layout_;
    std::int64_t updated_ = 0;
    std::map<std::uint32_t, std::shared_ptr<const DomainIndex>> open_;
    Coalescer<std::string> fetches_;
};

} // namespace brandle::host

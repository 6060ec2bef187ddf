// SPDX-License-Identifier: MIT
#pragma once

// The host's SQLite database in its cache folder: the Majestic Million list and the per-site
// answers of the sources that ask an upstream (Wikipedia, the services asked with a key). Lookups,
// cache writes and the list load use connections of their own, so a long load never holds up a
// lookup (write-ahead log: readers see the last committed list).

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <istream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

struct sqlite3;

namespace brandle::host {

struct MajesticCounts {
    std::uint64_t refSubNets = 0;
    std::uint64_t refIps = 0;
};

// What the database knows about the list it holds.
struct MajesticMeta {
    std::string sourceUrl; // where it was downloaded from
    std::string etag;      // validators for the next conditional GET
    std::string lastModified;
    std::int64_t checkedAt = 0; // last time the source confirmed it (Unix seconds)
    std::int64_t rows = 0;      // 0: no list loaded
};

struct MajesticLoad {
    bool replaced = false; // the new list is in; otherwise the old one stays
    std::string error;     // why not
    std::uint64_t rows = 0;
    std::uint64_t skipped = 0;      // malformed lines
    std::uint64_t firstSkipped = 0; // line number of the first one (header = line 1)
    std::uint64_t duplicates = 0;   // later lines of a domain already read
    std::uint64_t oversized = 0;    // domains with a figure above kMaxServedCount
    std::chrono::milliseconds elapsed{0};
};

struct CachedCount {
    std::uint64_t pages = 0;
    bool atLeast = false;
    std::int64_t fetchedAt = 0; // Unix seconds
};

class LinkStore {
public:
    // Opens or creates the database file. A file that is not a database (or is damaged) is
    // renamed to "<file>.broken" and a new one made; it only holds data that can be fetched
    // again. Nothing and an error text when the file cannot be opened or made.
    static std::unique_ptr<LinkStore> open(const std::filesystem::path& file, std::string& error);
    ~LinkStore();
    LinkStore(const LinkStore&) = delete;
    LinkStore& operator=(const LinkStore&) = delete;

    bool hasMajestic() const { return majesticRows_.load() > 0; }
    MajesticMeta majesticMeta();

    // The counts of a host name, matched against Domain (ASCII form) and IDN_Domain
    // (Unicode form); nothing when the list does not hold it.
    std::optional<MajesticCounts> majestic(const std::string& asciiName,
                                           const std::string& unicodeName);

    // Reads the list (header line first) and swaps it in for the old one in one transaction,
    // with the meta data given (rows are counted here). The old list stays when the header
    // lacks a needed column, no line is usable, reading fails or cancel is set, and, unless
    // acceptSmaller, when the new list has fewer than half the rows of the one in use.
    MajesticLoad loadMajestic(std::istream& csv, const MajesticMeta& meta,
                              const std::atomic<bool>* cancel = nullptr,
                              bool acceptSmaller = false);

    // Records that the source confirmed the list unchanged (an answer 304) at the time.
    bool markMajesticChecked(std::int64_t when, std::string& error);

    // The answer kept for a site from where it was asked (an API address, or a source and its
    // address), when it was fetched less than maxAge ago (and not in the future).
    std::optional<CachedCount> cachedCount(const std::string& origin, const std::string& site,
                                           std::chrono::seconds maxAge);
    bool storeCount(const std::string& origin, const std::string& site, const CachedCount& count,
                    std::string& error);

private:
    LinkStore() = default;

    sqlite3* lookupDb_ = nullptr; // Majestic lookups
    sqlite3* cacheDb_ = nullptr;  // per-site answers, meta reads
    sqlite3* loadDb_ = nullptr;   // list loads and their meta
    std::mutex lookupMutex_;
    std::mutex cacheMutex_;
    std::mutex loadMutex_;
    std::atomic<std::int64_t> majesticRows_{0};
};

} // namespace brandle::host

// SPDX-License-Identifier: MIT
#include "CommonCrawlShards.h"

#include "GraphImport.h"
#include "Text.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <vector>

using namespace Qt::StringLiterals;

namespace brandle::host {

namespace fs = std::filesystem;

namespace {

constexpr const char* kLayoutFile = "commoncrawl.json";
constexpr const char* kFormat = "brandle-commoncrawl-shards";
constexpr std::uint32_t kMaxShards = 1000000;
constexpr std::uint32_t kWritersAtOnce = 200;    // open files during an export
constexpr std::size_t kMostShardsKeptOpen = 256; // mapped shards of a mirror

bool readText(const fs::path& file, std::string& text)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream buffer;
    buffer << in.rdbuf();
    text = buffer.str();
    return in.good() || in.eof();
}

} // namespace

std::string shardLayoutJson(const ShardLayout& layout)
{
    QJsonObject json;
    json.insert("format"_L1, QLatin1StringView(kFormat));
    json.insert("version"_L1, 1);
    json.insert("release"_L1, QString::fromStdString(layout.release));
    json.insert("shards"_L1, qint64(layout.shards));
    json.insert("domains"_L1, qint64(layout.domains));
    json.insert("hash"_L1, "FNV-1a 64 of the reversed domain name, modulo shards"_L1);
    json.insert("path"_L1, "<release>/<shard as 5 digits>.index"_L1);
    return QJsonDocument(json).toJson().toStdString();
}

std::optional<ShardLayout> parseShardLayout(std::string_view text, std::string& error)
{
    const QJsonObject json =
        QJsonDocument::fromJson(QByteArray(text.data(), qsizetype(text.size()))).object();
    ShardLayout layout;
    layout.release = json["release"_L1].toString().toStdString();
    const qint64 shards = json["shards"_L1].toInteger(0);
    layout.domains = std::uint64_t(std::max<qint64>(json["domains"_L1].toInteger(0), 0));
    if (json["format"_L1].toString() != QLatin1StringView(kFormat) ||
        json["version"_L1].toInteger() != 1 || !isReleaseName(layout.release) || shards < 1 ||
        shards > kMaxShards) {
        error = "not a release file of Common Crawl shards";
        return std::nullopt;
    }
    layout.shards = std::uint32_t(shards);
    return layout;
}

std::uint32_t shardOf(std::string_view reversedName, std::uint32_t shards)
{
    return std::uint32_t(fnv1a64(reversedName) % std::max<std::uint32_t>(shards, 1));
}

std::string shardFile(std::uint32_t shard)
{
    char name[32];
    std::snprintf(name, sizeof name, "%05u.index", unsigned(shard));
    return name;
}

bool replaceFile(const fs::path& file, std::string_view text, std::string& error)
{
    const fs::path temporary = file.string() + ".new";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const bool written = fd >= 0 && ::write(fd, text.data(), text.size()) == ssize_t(text.size()) &&
                         ::fsync(fd) == 0;
    const bool closed = fd >= 0 && ::close(fd) == 0;
    if (!written || !closed || std::rename(temporary.c_str(), file.c_str()) != 0) {
        error = "cannot write " + file.string() + ": " + std::strerror(errno);
        std::error_code ignored;
        fs::remove(temporary, ignored);
        return false;
    }
    return true;
}

std::int64_t modifiedAt(const fs::path& file)
{
    struct stat info {};
    return ::stat(file.c_str(), &info) == 0 ? std::int64_t(info.st_mtime) : 0;
}

std::string servedRelease(const fs::path& importDir)
{
    std::string text;
    if (!readText(importDir / "current", text)) {
        return {};
    }
    const std::string name(trimBlanks(text));
    return isReleaseName(name) ? name : std::string();
}

bool exportShards(const fs::path& importDir, const fs::path& outDir, const Logger& log,
                  std::string& error, std::uint64_t shardBytes)
{
    const std::string release = servedRelease(importDir);
    std::shared_ptr<const DomainIndex> index;
    if (!release.empty()) {
        index = DomainIndex::open(importDir / (release + ".index"), error);
    }
    if (!index) {
        error = "no Common Crawl release has been imported into " + importDir.string() +
                (release.empty() ? std::string() : ": " + error);
        return false;
    }
    const auto shards = std::uint32_t(std::clamp<std::uint64_t>(
        (index->textBytes() + shardBytes - 1) / std::max<std::uint64_t>(shardBytes, 1), 1,
        kMaxShards));
    std::error_code ec;
    const fs::path part = outDir / (release + ".part");
    fs::remove_all(part, ec);
    fs::create_directories(part, ec);
    if (ec) {
        error = "cannot make " + part.string() + ": " + ec.message();
        return false;
    }
    // A group of shards at a time, each group one pass over the index.
    for (std::uint32_t first = 0; first < shards; first += kWritersAtOnce) {
        const std::uint32_t end = std::min(shards, first + kWritersAtOnce);
        std::vector<DomainIndexWriter> writers(end - first);
        for (std::uint32_t shard = first; shard < end; ++shard) {
            if (!writers[shard - first].open(part / shardFile(shard), release, {shard, shards},
                                             error)) {
                return false;
            }
        }
        index->forEach([&](std::string_view name, std::uint32_t count) {
            const std::uint32_t shard = shardOf(name, shards);
            if (shard >= first && shard < end) {
                writers[shard - first].add(name, count);
            }
        });
        for (DomainIndexWriter& writer : writers) {
            if (!writer.finish()) {
                error = writer.error();
                return false;
            }
        }
    }
    std::string previous;
    std::optional<ShardLayout> old;
    if (readText(outDir / kLayoutFile, previous)) {
        std::string ignored;
        old = parseShardLayout(previous, ignored);
    }
    fs::remove_all(outDir / release, ec);
    fs::rename(part, outDir / release, ec);
    if (ec || !replaceFile(outDir / kLayoutFile, shardLayoutJson({release, shards, index->size()}),
                           error)) {
        error = ec ? "cannot move the shards into " + outDir.string() + ": " + ec.message() : error;
        return false;
    }
    if (old && old->release != release) {
        fs::remove_all(outDir / old->release, ec);
    }
    log("commoncrawl: exported release " + release + ": " + formatThousands(index->size()) +
        " domains in " + std::to_string(shards) + " shards to " + outDir.string());
    return true;
}

ShardMirror::ShardMirror(std::string url, fs::path dir, std::string userAgent, FetchLimits limits,
                         const std::atomic<bool>* cancel)
    : url_(std::move(url))
    , dir_(std::move(dir))
    , userAgent_(std::move(userAgent))
    , limits_(limits)
    , cancel_(cancel)
{
}

bool ShardMirror::openKept()
{
    std::string text;
    std::string error;
    if (!readText(dir_ / kLayoutFile, text)) {
        return false;
    }
    std::optional<ShardLayout> layout = parseShardLayout(text, error);
    std::lock_guard<std::mutex> lock(mutex_);
    layout_ = std::move(layout);
    updated_ = modifiedAt(dir_ / kLayoutFile);
    return layout_.has_value();
}

bool ShardMirror::refresh(std::string& error)
{
    const std::string address = url_ + kLayoutFile;
    const FetchResult r = fetchText({address, userAgent_, {}}, limits_, cancel_);
    if (!r.done() || r.status != 200) {
        error = "the mirror's " + address +
                (r.done() ? " answered HTTP " + std::to_string(r.status) : " failed: " + r.error);
        return false;
    }
    std::optional<ShardLayout> layout = parseShardLayout(r.body, error);
    if (!layout) {
        error = address + ": " + error;
        return false;
    }
    std::error_code ec;
    fs::create_directories(dir_, ec);
    if (!replaceFile(dir_ / kLayoutFile, r.body, error)) {
        return false;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (layout_ && layout_->release != layout->release) {
        fs::remove_all(dir_ / layout_->release, ec);
        open_.clear();
    }
    layout_ = std::move(layout);
    updated_ = std::time(nullptr);
    return true;
}

std::optional<ShardLayout> ShardMirror::layout() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return layout_;
}

std::int64_t ShardMirror::updated() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return updated_;
}

MirrorAnswer ShardMirror::find(const std::string& reversedName)
{
    const std::optional<ShardLayout> layout = this->layout();
    if (!layout) {
        return {std::nullopt, {}, "the Common Crawl mirror has not been read yet"};
    }
    const std::uint32_t shard = shardOf(reversedName, layout->shards);
    std::shared_ptr<const DomainIndex> index;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto it = open_.find(shard);
        if (it != open_.end() && it->second->release() == layout->release) {
            index = it->second;
        }
    }
    if (!index) {
        const fs::path file = dir_ / layout->release / shardFile(shard);
        const std::string failure = fetches_.run(layout->release + "/" + shardFile(shard), [&] {
            std::error_code ec;
            return fs::exists(file, ec) ? std::string() : fetchShard(*layout, shard);
        });
        if (!failure.empty()) {
            return {std::nullopt, layout->release, failure};
        }
        std::string error;
        index = DomainIndex::open(file, error);
        if (!index) {
            std::error_code ec;
            fs::remove(file, ec); // fetched again by the next lookup
            return {std::nullopt, layout->release, error};
        }
        std::lock_guard<std::mutex> lock(mutex_);
        if (open_.size() >= kMostShardsKeptOpen) {
            open_.clear();
        }
        open_[shard] = index;
    }
    return {index->find(reversedName), layout->release, {}};
}

std::string ShardMirror::fetchShard(const ShardLayout& layout, std::uint32_t shard)
{
    const std::string address = url_ + layout.release + "/" + shardFile(shard);
    const fs::path folder = dir_ / layout.release;
    const fs::path file = folder / shardFile(shard);
    const fs::path part = file.string() + ".part";
    std::error_code ec;
    fs::create_directories(folder, ec);
    const FetchResult r = fetchToFile({address, userAgent_, {}}, limits_, part, cancel_);
    std::string error;
    if (!r.done() || r.status != 200) {
        error = "the mirror's shard " + address +
                (r.done() ? " answered HTTP " + std::to_string(r.status) : " failed: " + r.error);
    } else if (const auto index = DomainIndex::open(part, error)) {
        const IndexShard is = index->shard();
        if (index->release() != layout.release || is.number != shard || is.count != layout.shards) {
            error = "the mirror's " + address + " is not shard " + std::to_string(shard) + " of " +
                    std::to_string(layout.shards) + " of release " + layout.release;
        } else {
            fs::rename(part, file, ec);
            error = ec ? "cannot keep " + file.string() + ": " + ec.message() : std::string();
        }
    }
    fs::remove(part, ec);
    return error;
}

} // namespace brandle::host

// SPDX-License-Identifier: MIT
#include "CommonCrawlSource.h"

#include "EnginePage.h"
#include "Psl.h"
#include "SiteName.h"
#include "Text.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <fstream>
#include <map>

namespace brandle::host {

namespace fs = std::filesystem;

namespace {

constexpr const char* kEngineId = "commoncrawl";
constexpr const char* kName = "Common Crawl web graph";
constexpr const char* kCurrentFile = "current"; // the release served
constexpr const char* kFailedFile = "failed";   // releases found unusable, and why
constexpr std::size_t kFailedKept = 24;

std::string percent(double fraction)
{
    return std::to_string(int(std::floor(std::clamp(fraction, 0.0, 1.0) * 100))) + " %";
}

// The releases found unusable, each with the reason: "release TAB reason" lines.
std::map<std::string, std::string> failedReleases(const fs::path& dir)
{
    std::ifstream in(dir / kFailedFile, std::ios::binary);
    std::map<std::string, std::string> failed;
    for (std::string line; std::getline(in, line);) {
        const std::size_t tab = line.find('\t');
        if (tab != std::string::npos) {
            failed[line.substr(0, tab)] = line.substr(tab + 1);
        }
    }
    return failed;
}

// Adds a release to the "failed" file, which keeps the last few.
void noteFailed(const fs::path& dir, const std::string& release, const std::string& reason)
{
    std::ifstream in(dir / kFailedFile, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line + "\n");
    }
    lines.push_back(release + "\t" + printable(reason) + "\n");
    std::string text;
    for (std::size_t i = lines.size() > kFailedKept ? lines.size() - kFailedKept : 0;
         i < lines.size(); ++i) {
        text += lines[i];
    }
    std::string error;
    replaceFile(dir / kFailedFile, text, error);
}

std::uint64_t fileSize(const fs::path& file)
{
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(file, ec);
    return ec ? 0 : std::uint64_t(size);
}

LinkCount graphCount(std::optional<std::uint32_t> count, const std::string& release)
{
    if (!count) {
        return LinkCount::none("not in Common Crawl's graph " + release);
    }
    LinkCount result = LinkCount::count(*count);
    result.detail = "(Common Crawl " + release + ")";
    return result;
}

} // namespace

fs::path commonCrawlDir(const fs::path& cacheDir)
{
    return cacheDir / "commoncrawl";
}

CommonCrawlSource::CommonCrawlSource(CommonCrawlSettings settings, Logger log)
    : settings_(std::move(settings))
    , log_(std::move(log))
    , engines_{realEngine(kEngineId, "Common Crawl referring domains", "referring domains")}
    , dir_(commonCrawlDir(settings_.cacheDir))
{
    if (!settings_.shardsUrl.empty()) {
        mirror_ = std::make_unique<ShardMirror>(
            settings_.shardsUrl, settings_.cacheDir / "commoncrawl-shards", settings_.userAgent,
            settings_.listLimits, worker_.cancelFlag());
        mirror_->openKept();
        return;
    }
    const std::string release = servedRelease(dir_);
    if (release.empty()) {
        return;
    }
    std::string error;
    const fs::path file = dir_ / (release + ".index");
    index_ = DomainIndex::open(file, error);
    if (index_ && index_->release() != release) {
        error = file.string() + " holds release " + index_->release();
    }
    if (!error.empty()) {
        index_.reset();
        log_("commoncrawl: the release kept in the cache cannot be used: " + error);
        return;
    }
    updated_ = modifiedAt(file);
    log_("commoncrawl: serving release " + release + " (" + formatThousands(index_->size()) +
         " domains)");
}

CommonCrawlSource::~CommonCrawlSource()
{
    stop();
}

SourceCredit CommonCrawlSource::credit() const
{
    const std::string release = served();
    return {kName,
            "Common Crawl",
            "https://commoncrawl.org/web-graphs",
            "Common Crawl terms of use",
            "https://commoncrawl.org/terms-of-use",
            "Referring domains counted in the domain-level web graph" +
                (release.empty() ? std::string() : ", release " + release) + "."};
}

std::optional<std::string> CommonCrawlSource::acceptSite(std::string_view site) const
{
    return lookupHostName(site);
}

std::string CommonCrawlSource::served() const
{
    if (mirror_) {
        const std::optional<ShardLayout> layout = mirror_->layout();
        return layout ? layout->release : std::string();
    }
    std::lock_guard<std::mutex> lock(mutex_);
    return index_ ? index_->release() : std::string();
}

std::string CommonCrawlSource::notReady() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!loading_ && !lastError_.empty()) {
        return "Common Crawl data could not be prepared: " + lastError_;
    }
    return "Common Crawl data is being prepared: " + percent(loading_ ? progress_.load() : 0.0);
}

LinkCount CommonCrawlSource::lookup(const EngineInfo&, const std::string& site)
{
    const GraphDomain domain = graphDomain(site);
    if (domain.shared) {
        return LinkCount::none("shares its Common Crawl entry with every site on " +
                               unicodeHostName(domain.domain));
    }
    const std::string name = reversedName(domain.domain);
    if (mirror_) {
        if (!mirror_->layout()) {
            return LinkCount::none(notReady());
        }
        const MirrorAnswer answer = mirror_->find(name);
        return answer.error.empty() ? graphCount(answer.count, answer.release)
                                    : LinkCount::none(answer.error);
    }
    std::shared_ptr<const DomainIndex> index;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        index = index_;
    }
    return index ? graphCount(index->find(name), index->release()) : LinkCount::none(notReady());
}

SourceStatus CommonCrawlSource::status() const
{
    SourceStatus status = SourceStatus::ready(kEngineId, kName);
    status.release = served();
    std::lock_guard<std::mutex> lock(mutex_);
    status.updated = mirror_ ? mirror_->updated() : updated_;
    status.error = lastError_;
    if (loading_ || (status.release.empty() && lastError_.empty())) {
        status.state = SourceStatus::State::Loading;
        status.progress = progress_;
    } else if (status.release.empty()) {
        status.state = SourceStatus::State::Failed;
    }
    return status;
}

bool CommonCrawlSource::fail(const std::string& why)
{
    const std::string release = served();
    log_("commoncrawl: " + printable(why) +
         (release.empty() ? std::string() : "; release " + release + " stays in use"));
    std::lock_guard<std::mutex> lock(mutex_);
    lastError_ = why;
    return false;
}

bool CommonCrawlSource::refresh()
{
    if (mirror_) {
        std::string error;
        if (!mirror_->refresh(error)) {
            return fail(error);
        }
        std::lock_guard<std::mutex> lock(mutex_);
        lastError_.clear();
        return true;
    }
    const FetchResult r = fetchText({settings_.indexUrl, settings_.userAgent, {}},
                                    settings_.listLimits, worker_.cancelFlag());
    if (!r.done() || r.status != 200) {
        return fail("the list of releases " + settings_.indexUrl +
                    (r.done() ? " answered HTTP " + std::to_string(r.status)
                              : " could not be read: " + r.error));
    }
    std::string error;
    const std::vector<GraphRelease> releases = parseGraphInfo(r.body, error);
    if (releases.empty()) {
        return fail("the list of releases " + settings_.indexUrl + " is unusable: " + error);
    }
    std::vector<GraphRelease> candidates = releases; // newest first
    if (!settings_.release.empty()) {
        const auto it = std::find_if(releases.begin(), releases.end(),
                                     [this](const auto& r) { return r.id == settings_.release; });
        if (it == releases.end()) {
            return fail("release " + settings_.release + " is not in the list of releases");
        }
        candidates = {*it};
    }
    // A release found unusable is not downloaded again; the newest usable one is served, and
    // the failure of a newer one stays on show.
    const std::map<std::string, std::string> failed = failedReleases(dir_);
    const auto newestFailed = failed.find(candidates.front().id);
    const std::string failure = newestFailed == failed.end() ? "" : newestFailed->second;
    const auto wanted = std::find_if(candidates.begin(), candidates.end(),
                                     [&failed](const auto& r) { return failed.count(r.id) == 0; });
    if (wanted != candidates.end() && wanted->id != served() && !importRelease(*wanted)) {
        return false;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    lastError_ = failure;
    return failure.empty();
}

void CommonCrawlSource::removeStrayFiles(const std::string& releaseToKeep)
{
    const std::string served = this->served();
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir_, ec)) {
        const std::string name = entry.path().filename().string();
        const bool keep = name == kCurrentFile || name == kFailedFile ||
                          name == served + ".index" ||
                          name.rfind(releaseToKeep + "-domain-", 0) == 0;
        if (!keep && entry.is_regular_file(ec)) {
            fs::remove(entry.path(), ec);
        }
    }
}

std::string CommonCrawlSource::download(const std::string& url, const fs::path& file,
                                        std::uint64_t size, std::uint64_t doneBefore)
{
    std::error_code ec;
    if (fs::exists(file, ec)) {
        return {};
    }
    const fs::path part = file.string() + ".part";
    FileFetch how;
    how.resume = true;
    how.progress = [this, doneBefore](std::uint64_t have, std::uint64_t) {
        progress_ = workTotal_ > 0 ? double(doneBefore + have) / double(workTotal_) : -1.0;
    };
    for (int attempt = 0; attempt < 2; ++attempt) {
        const FetchResult r = fetchToFile({url, settings_.userAgent, {}}, settings_.downloadLimits,
                                          part, worker_.cancelFlag(), how);
        if (r.done() && (r.status == 200 || r.status == 206)) {
            // An answer without a length that broke off looks whole; the stated size tells.
            if (size > 0 && fileSize(part) != size) {
                return "download of " + url + " ended after " + formatThousands(fileSize(part)) +
                       " of " + formatThousands(size) + " bytes";
            }
            fs::rename(part, file, ec);
            return ec ? "cannot keep " + file.string() + ": " + ec.message() : std::string();
        }
        if (!r.done() && r.outcome != FetchResult::Outcome::TooLarge) {
            return "download of " + url + " failed: " + r.error; // the part is resumed later
        }
        fs::remove(part, ec);
        if (!r.done() || r.status != 416) { // 416: the part was whole or longer; once more
            return "download of " + url +
                   (r.done() ? " answered HTTP " + std::to_string(r.status) : ": " + r.error);
        }
    }
    return "download of " + url + " failed";
}

bool CommonCrawlSource::importRelease(const GraphRelease& release)
{
    const auto started = std::chrono::steady_clock::now();
    progress_ = 0;
    loading_ = true;
    struct Done {
        std::atomic<bool>& loading;
        ~Done() { loading = false; }
    } done{loading_};
    std::error_code ec;
    fs::create_directories(dir_, ec);
    removeStrayFiles(release.id);

    const std::string id = release.id;
    const std::string base = settings_.dataUrl + "projects/hyperlinkgraph/" + id + "/domain/";
    const std::string names[2] = {id + "-domain-vertices.txt.gz", id + "-domain-edges.txt.gz"};
    const fs::path files[2] = {dir_ / names[0], dir_ / names[1]};
    std::uint64_t sizes[2] = {fileSize(files[0]), fileSize(files[1])};
    for (int i = 0; i < 2; ++i) {
        if (sizes[i] == 0) {
            FetchRequest head{base + names[i], settings_.userAgent, {}};
            head.headOnly = true;
            const FetchResult r = fetchText(head, settings_.listLimits, worker_.cancelFlag());
            const std::string length = r.header("content-length");
            sizes[i] = r.done() && r.status == 200 && !length.empty() && length.size() <= 18 &&
                               length.find_first_not_of("0123456789") == std::string::npos
                           ? std::stoull(length)
                           : 0;
        }
    }
    // Each byte is downloaded once and read again: the vertices twice, the edges once.
    workTotal_ = sizes[0] > 0 && sizes[1] > 0 ? 3 * sizes[0] + 2 * sizes[1] : 0;
    log_("commoncrawl: downloading release " + id + " (" +
         (sizes[0] > 0 && sizes[1] > 0 ? formatThousands(sizes[0] + sizes[1]) + " bytes"
                                       : std::string("size not stated")) +
         ")");
    for (int i = 0; i < 2; ++i) {
        const std::string error =
            download(base + names[i], files[i], sizes[i], i == 0 ? 0 : sizes[0]);
        if (!error.empty()) {
            return worker_.stopping() ? false : fail(error);
        }
    }

    sizes[0] = fileSize(files[0]);
    sizes[1] = fileSize(files[1]);
    const std::uint64_t downloaded = sizes[0] + sizes[1];
    workTotal_ = downloaded + 2 * sizes[0] + sizes[1];
    GraphImport job;
    job.vertices = files[0];
    job.edges = files[1];
    job.index = dir_ / (id + ".index.part");
    job.release = id;
    job.expectedDomains = release.domains;
    job.expectedEdges = release.edges;
    job.cancel = worker_.cancelFlag();
    job.progress = [this, downloaded](std::uint64_t read) {
        progress_ = double(downloaded + read) / double(workTotal_);
    };
    const GraphImportResult result = importGraph(job);
    if (!result.ok) {
        fs::remove(job.index, ec);
        if (worker_.stopping()) {
            return false;
        }
        if (!result.badData) {
            return fail("release " + id + " could not be imported: " + result.error);
        }
        fs::remove(files[0], ec);
        fs::remove(files[1], ec);
        const std::string why =
            "release " + id + " is unusable, its files were removed: " + result.error;
        noteFailed(dir_, id, why);
        return fail(why);
    }

    const fs::path indexFile = dir_ / (id + ".index");
    std::string error;
    fs::rename(job.index, indexFile, ec);
    std::shared_ptr<const DomainIndex> index = ec ? nullptr : DomainIndex::open(indexFile, error);
    if (!index || !replaceFile(dir_ / kCurrentFile, id + "\n", error)) {
        fs::remove(indexFile, ec);
        return fail("release " + id + " could not be kept: " + (ec ? ec.message() : error));
    }
    std::shared_ptr<const DomainIndex> old;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        old = std::exchange(index_, index);
        updated_ = std::time(nullptr);
        lastError_.clear();
    }
    // Lookups that hold the old index keep it mapped until they end.
    if (old && old->release() != id) {
        fs::remove(dir_ / (old->release() + ".index"), ec);
    }
    fs::remove(files[0], ec);
    fs::remove(files[1], ec);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - started)
                        .count();
    log_("commoncrawl: imported release " + id + ": " + std::to_string(result.domains) +
         " domains, " + std::to_string(result.edges) + " edges in " + std::to_string(ms) + " ms");
    return true;
}

void CommonCrawlSource::start()
{
    worker_.start([this] { run(); });
}

void CommonCrawlSource::stop()
{
    worker_.stop();
}

void CommonCrawlSource::run()
{
    using Clock = std::chrono::system_clock;
    while (!worker_.stopping()) {
        const bool current = refresh();
        const auto wait = current            ? settings_.checkEvery
                          : served().empty() ? settings_.retryWhileEmpty
                                             : settings_.retryAfterFailure;
        const Clock::time_point next = Clock::now() + wait;
        while (!worker_.stopping() && Clock::now() < next) {
            worker_.nap(std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                next - Clock::now()));
        }
    }
}

} // namespace brandle::host

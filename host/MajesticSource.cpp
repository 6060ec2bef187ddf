// SPDX-License-Identifier: MIT
#include "MajesticSource.h"

#include "EnginePage.h"
#include "MajesticCsv.h"
#include "SiteName.h"
#include "Text.h"

#include <unistd.h>

#include <ctime>
#include <fstream>
#include <system_error>
#include <utility>

namespace brandle::host {

namespace fs = std::filesystem;

namespace {

constexpr const char* kSubnets = "majestic-subnets";
constexpr const char* kIps = "majestic-ips";
constexpr std::size_t kReadBufferSize = 1 << 20;
const std::string kPartPrefix = "majestic_million.csv.";

} // namespace

MajesticSource::MajesticSource(MajesticSettings settings, LinkStore& store,
                               const std::vector<std::string>& engineIds, Logger log)
    : settings_(std::move(settings))
    , store_(store)
    , log_(std::move(log))
{
    for (const std::string& id : engineIds) {
        if (id == kSubnets) {
            engines_.push_back(realEngine(id, "Majestic referring subnets", "referring subnets"));
        } else if (id == kIps) {
            engines_.push_back(realEngine(id, "Majestic referring IPs", "referring IP addresses"));
        }
    }
}

MajesticSource::~MajesticSource()
{
    stop();
}

SourceCredit MajesticSource::credit() const
{
    return {"Majestic Million",
            "Majestic",
            "https://majestic.com/reports/majestic-million",
            "CC BY 3.0",
            "https://creativecommons.org/licenses/by/3.0/",
            "The million domains with the most referring subnets; others have no count."};
}

std::optional<std::string> MajesticSource::acceptSite(std::string_view site) const
{
    return lookupHostName(site);
}

LinkCount MajesticSource::lookup(const EngineInfo& engine, const std::string& site)
{
    if (!store_.hasMajestic()) {
        if (refreshing_) {
            return LinkCount::none(
                "the Majestic Million list is being downloaded; try again in a few minutes");
        }
        std::lock_guard<std::mutex> lock(mutex_);
        return LinkCount::none(
            lastError_.empty() ? "the Majestic Million list is not loaded yet"
                               : "the Majestic Million list could not be loaded: " + lastError_);
    }
    const std::optional<MajesticCounts> counts = store_.majestic(site, unicodeHostName(site));
    if (!counts) {
        return LinkCount::none("not among the million most linked domains");
    }
    const std::uint64_t figure = engine.id == kIps ? counts->refIps : counts->refSubNets;
    if (figure > kMaxServedCount) {
        return LinkCount::none("the list's figure, " + formatThousands(figure) +
                               ", is too large for the 32-bit total of a lookup");
    }
    return LinkCount::count(figure);
}

SourceStatus MajesticSource::status() const
{
    SourceStatus status = SourceStatus::ready("majestic", credit().name);
    const MajesticMeta meta = store_.majesticMeta();
    status.updated = meta.checkedAt;
    if (refreshing_) {
        status.state = SourceStatus::State::Loading;
        status.progress = progress_;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    status.error = lastError_;
    if (!refreshing_ && meta.rows == 0 && !lastError_.empty()) {
        status.state = SourceStatus::State::Failed;
    }
    return status;
}

bool MajesticSource::refresh()
{
    progress_ = -1;
    refreshing_ = true;
    const MajesticMeta meta = store_.majesticMeta();
    const bool sameSource = meta.rows > 0 && meta.sourceUrl == settings_.url;
    FetchRequest request{settings_.url, settings_.userAgent, {}};
    if (sameSource && !meta.etag.empty()) {
        request.headers.push_back("If-None-Match: " + meta.etag);
    }
    if (sameSource && !meta.lastModified.empty()) {
        request.headers.push_back("If-Modified-Since: " + meta.lastModified);
    }

    // A download of its own per process, whatever else runs; one left by a host that ended
    // before it could remove its own is removed here (one host holds the cache folder).
    std::error_code ignored;
    for (fs::directory_iterator it(settings_.cacheDir, ignored), end; !ignored && it != end;
         it.increment(ignored)) {
        const std::string name = it->path().filename().string();
        if (name.rfind(kPartPrefix, 0) == 0 && name.size() > 5 &&
            name.compare(name.size() - 5, 5, ".part") == 0) {
            std::error_code removeError;
            fs::remove(it->path(), removeError);
        }
    }
    const fs::path part = settings_.cacheDir / (kPartPrefix + std::to_string(::getpid()) + ".part");
    const auto finish = [&](bool current, const std::string& error) {
        fs::remove(part, ignored);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            lastError_ = error;
        }
        if (!error.empty()) {
            log_("majestic: " + printable(error) +
                 (store_.hasMajestic() ? "; the list in use stays" : ""));
        }
        refreshing_ = false;
        return current;
    };

    FileFetch how;
    how.progress = [this](std::uint64_t have, std::uint64_t total) {
        progress_ = total > 0 ? double(have) / double(total) : -1.0;
    };
    const FetchResult r = fetchToFile(request, settings_.limits, part, worker_.cancelFlag(), how);
    if (!r.done()) {
        return finish(false, "download of " + settings_.url + " failed: " + r.error);
    }
    const std::int64_t now = std::time(nullptr);
    if (r.status == 304 && sameSource) {
        std::string error;
        if (!store_.markMajesticChecked(now, error)) {
            return finish(false, "cannot note the check: " + error);
        }
        log_("majestic: the list is unchanged");
        return finish(true, {});
    }
    if (r.status != 200) {
        return finish(false, "download of " + settings_.url + " answered HTTP " +
                                 std::to_string(r.status));
    }

    std::ifstream in;
    std::vector<char> buffer(kReadBufferSize);
    in.rdbuf()->pubsetbuf(buffer.data(), std::streamsize(buffer.size()));
    in.open(part, std::ios::binary);
    if (!in) {
        return finish(false, "cannot read the download " + part.string());
    }
    const MajesticLoad load = store_.loadMajestic(
        in, {settings_.url, r.header("etag"), r.header("last-modified"), now, 0},
        worker_.cancelFlag(), settings_.acceptSmallerList);
    if (!load.replaced) {
        return finish(false, "the new list was not taken: " + load.error);
    }
    std::string line = "majestic: loaded " + std::to_string(load.rows) + " domains in " +
                       std::to_string(load.elapsed.count()) + " ms";
    if (load.skipped > 0) {
        line += "; skipped " + std::to_string(load.skipped) +
                " malformed lines (the first is line " + std::to_string(load.firstSkipped) + ")";
    }
    if (load.duplicates > 0) {
        line += "; ignored " + std::to_string(load.duplicates) + " repeated domains";
    }
    if (load.oversized > 0) {
        line += "; " + std::to_string(load.oversized) + " domains have a figure above " +
                formatThousands(kMaxServedCount) + " and get no count";
    }
    log_(line);
    return finish(true, {});
}

std::string MajesticSource::lastError() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return lastError_;
}

void MajesticSource::start()
{
    worker_.start([this] { run(); });
}

void MajesticSource::stop()
{
    worker_.stop();
}

void MajesticSource::run()
{
    using Clock = std::chrono::steady_clock;
    Clock::time_point retryAt = Clock::now();
    while (!worker_.stopping()) {
        const MajesticMeta meta = store_.majesticMeta();
        const std::int64_t age = std::int64_t(std::time(nullptr)) - meta.checkedAt;
        const bool due = meta.rows == 0 || meta.sourceUrl != settings_.url || age < 0 ||
                         age >= settings_.refreshAfter.count();
        auto sleep = std::chrono::duration_cast<Clock::duration>(
            std::chrono::seconds(std::max<std::int64_t>(settings_.refreshAfter.count() - age, 1)));
        if (due && Clock::now() >= retryAt) {
            if (refresh()) {
                retryAt = Clock::now() + std::chrono::minutes(1); // never a tight loop
            } else {
                retryAt = Clock::now() + (store_.hasMajestic() ? settings_.retryAfterFailure
                                                               : settings_.retryWhileEmpty);
            }
            continue;
        }
        if (due) {
            sleep = retryAt - Clock::now();
        }
        worker_.nap(sleep);
    }
}

} // namespace brandle::host

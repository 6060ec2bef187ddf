// SPDX-License-Identifier: MIT
#include "WikipediaSource.h"

#include "EnginePage.h"
#include "ExturlWalk.h"
#include "SiteName.h"
#include "Text.h"

#include <algorithm>
#include <ctime>
#include <utility>

namespace brandle::host {

namespace {

constexpr std::chrono::seconds kDefaultRetryAfter{5};
constexpr std::chrono::seconds kMaxRetryAfter{600};
constexpr const char* kTooLate = "Wikipedia did not answer in time";

std::chrono::seconds retryAfter(const std::string& header)
{
    if (header.empty() || header.size() > 6 ||
        header.find_first_not_of("0123456789") != std::string::npos) {
        return kDefaultRetryAfter;
    }
    return std::clamp(std::chrono::seconds(std::stol(header)), kDefaultRetryAfter, kMaxRetryAfter);
}

} // namespace

WikipediaSource::WikipediaSource(WikipediaSettings settings, LinkStore& store, Logger log)
    : settings_(std::move(settings))
    , store_(store)
    , log_(std::move(log))
    , engines_{realEngine("wikipedia", "Wikipedia articles linking", "articles linking")}
{
}

SourceCredit WikipediaSource::credit() const
{
    return {"Wikipedia",
            "",
            "https://www.wikipedia.org/",
            "",
            "",
            "Counts articles with an external link to the site, through the MediaWiki API."};
}

std::optional<std::string> WikipediaSource::acceptSite(std::string_view site) const
{
    return lookupHostName(site);
}

SourceStatus WikipediaSource::status() const
{
    SourceStatus status = SourceStatus::ready("wikipedia", credit().name);
    status.release = settings_.apiUrl;
    std::lock_guard<std::mutex> lock(errorMutex_);
    status.error = lastError_;
    return status;
}

std::optional<LinkCount> WikipediaSource::cached(const std::string& site)
{
    const std::optional<CachedCount> hit =
        store_.cachedCount(settings_.apiUrl, site, settings_.keepAnswers);
    if (!hit) {
        return std::nullopt;
    }
    return hit->atLeast ? LinkCount::atLeast(hit->pages) : LinkCount::count(hit->pages);
}

LinkCount WikipediaSource::lookup(const EngineInfo&, const std::string& site)
{
    if (std::optional<LinkCount> hit = cached(site)) {
        return *hit;
    }
    const auto deadline = std::chrono::steady_clock::now() + settings_.answerTime;
    return flights_.run(site, [&] {
        // A lookup of the same site that ended just now has stored its answer.
        if (std::optional<LinkCount> hit = cached(site)) {
            return *hit;
        }
        return fresh(site, deadline);
    });
}

LinkCount WikipediaSource::fresh(const std::string& site,
                                 std::chrono::steady_clock::time_point deadline)
{
    {
        std::lock_guard<std::mutex> lock(backoffMutex_);
        if (std::chrono::steady_clock::now() < notBefore_) {
            return LinkCount::none("Wikipedia asked to wait (its databases lag behind); try "
                                   "again in a few minutes");
        }
    }
    std::string retryAfterHeader;
    const auto fetch = [&](const std::string& url) {
        ExturlFetch out;
        if (stopping_) {
            out.failure = "the host is shutting down";
            return out;
        }
        if (!upstream_.try_lock_until(deadline)) {
            out.failure = kTooLate;
            out.outOfTime = true;
            return out;
        }
        const std::lock_guard<std::timed_mutex> hold(upstream_, std::adopt_lock);
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            out.failure = kTooLate;
            out.outOfTime = true;
            return out;
        }
        FetchLimits limits = settings_.limits;
        limits.totalTimeout = std::min(limits.totalTimeout, left);
        limits.connectTimeout = std::min(limits.connectTimeout, left);
        const FetchResult r =
            fetchText({url, settings_.userAgent, {"Accept: application/json"}}, limits, &stopping_);
        switch (r.outcome) {
        case FetchResult::Outcome::Done:
            out.answered = true;
            out.status = r.status;
            out.body = r.body;
            retryAfterHeader = r.header("retry-after");
            break;
        case FetchResult::Outcome::TimedOut:
            out.failure = kTooLate;
            // Out of the lookup's time, not of the request's own limit.
            out.outOfTime = limits.totalTimeout < settings_.limits.totalTimeout;
            break;
        case FetchResult::Outcome::TooLarge:
            out.failure = "the Wikipedia answer was too large (" + r.error + ")";
            break;
        case FetchResult::Outcome::Cancelled:
            out.failure = "the host is shutting down";
            break;
        case FetchResult::Outcome::Failed:
            out.failure = "Wikipedia could not be reached: " + r.error;
            break;
        }
        return out;
    };

    const ExturlWalk walk =
        walkExturlUsage(settings_.apiUrl, site, settings_.maxRequestsPerSite, fetch);
    if (walk.result.kind == LinkCount::Kind::NoCount) {
        log_("wikipedia: no count for " + site + ": " + printable(walk.result.reason));
        {
            std::lock_guard<std::mutex> lock(errorMutex_);
            lastError_ = walk.result.reason;
        }
        if (walk.apiErrorCode == "maxlag") {
            std::lock_guard<std::mutex> lock(backoffMutex_);
            notBefore_ = std::chrono::steady_clock::now() + retryAfter(retryAfterHeader);
        }
        return walk.result;
    }
    {
        std::lock_guard<std::mutex> lock(errorMutex_);
        lastError_.clear();
    }
    if (walk.outOfTime) {
        // Not what the API holds, only what came in time: the next lookup asks again.
        log_("wikipedia: " + site + ": at least " + std::to_string(walk.result.value) +
             " articles when the time ran out, not kept");
        return walk.result;
    }
    std::string error;
    const CachedCount entry{walk.result.value, walk.result.kind == LinkCount::Kind::AtLeast,
                            std::int64_t(std::time(nullptr))};
    if (!store_.storeCount(settings_.apiUrl, site, entry, error)) {
        log_("wikipedia: the answer for " + site + " could not be kept: " + error);
    }
    log_("wikipedia: " + site + ": " + (entry.atLeast ? "at least " : "") +
         std::to_string(entry.pages) + " articles in " + std::to_string(walk.requests) +
         " requests");
    return walk.result;
}

} // namespace brandle::host

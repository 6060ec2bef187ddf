// SPDX-License-Identifier: MIT
#include "KeyedSource.h"

#include "SiteName.h"
#include "Text.h"

#include <ctime>
#include <utility>

namespace brandle::host {

namespace {

// How long GET /sources trusts what the keyring said.
constexpr std::chrono::seconds kStatusKeyAge{5};

std::string originName(KeyOrigin origin)
{
    switch (origin) {
    case KeyOrigin::Keyring:
        return "keyring";
    case KeyOrigin::SettingsFile:
        return "file";
    case KeyOrigin::None:
        break;
    }
    return "none";
}

} // namespace

KeyedSource::KeyedSource(std::string id, std::string service, EngineInfo engine,
                         std::vector<std::string> keyNames, KeyedSettings settings,
                         LinkStore& store, Keys& keys, Logger log)
    : id_(std::move(id))
    , service_(std::move(service))
    , engines_{std::move(engine)}
    , keyNames_(std::move(keyNames))
    , settings_(std::move(settings))
    , store_(store)
    , keys_(keys)
    , log_(std::move(log))
{
}

std::optional<std::string> KeyedSource::acceptSite(std::string_view site) const
{
    return lookupHostName(site);
}

SourceStatus KeyedSource::status() const
{
    SourceStatus status = SourceStatus::ready(id_, credit().name);
    KeyOrigin origin = KeyOrigin::SettingsFile;
    for (const std::string& name : keyNames_) {
        const Key key = keys_.get(name, kStatusKeyAge);
        if (key.origin == KeyOrigin::None) {
            origin = KeyOrigin::None;
            status.state = SourceStatus::State::Off;
            status.error = key.problem.empty() ? "no " + name + " is stored" : key.problem;
            break;
        }
        if (key.origin == KeyOrigin::Keyring) {
            origin = KeyOrigin::Keyring;
        }
    }
    status.key = originName(origin);
    if (status.state != SourceStatus::State::Off) {
        std::lock_guard<std::mutex> lock(errorMutex_);
        status.error = lastError_;
    }
    return status;
}

LinkCount KeyedSource::lookup(const EngineInfo&, const std::string& site)
{
    const auto cached = [&]() -> std::optional<LinkCount> {
        const std::optional<CachedCount> hit =
            store_.cachedCount(origin(), site, settings_.keepAnswers);
        if (!hit) {
            return std::nullopt;
        }
        return hit->atLeast ? LinkCount::atLeast(hit->pages) : LinkCount::count(hit->pages);
    };
    if (std::optional<LinkCount> hit = cached()) {
        return *hit;
    }
    const Deadline deadline = std::chrono::steady_clock::now() + settings_.answerTime;
    return flights_.run(site, [&] {
        // A lookup of the same site that ended just now has stored its answer.
        if (std::optional<LinkCount> hit = cached()) {
            return *hit;
        }
        return fresh(site, deadline);
    });
}

LinkCount KeyedSource::test(const std::string& site)
{
    const Deadline deadline = std::chrono::steady_clock::now() + settings_.answerTime;
    return flights_.run(site, [&] { return fresh(site, deadline); });
}

LinkCount KeyedSource::fresh(const std::string& site, Deadline deadline)
{
    std::vector<std::string> values;
    for (const std::string& name : keyNames_) {
        const Key key = keys_.get(name);
        if (key.origin == KeyOrigin::None) {
            return LinkCount::none(
                key.problem.empty()
                    ? "no key for " + service_ +
                          ": store it in the Sources tab of Brandle's settings, or as " + name +
                          " in the host's settings file"
                    : key.problem);
        }
        values.push_back(key.value);
    }
    LinkCount result = ask(site, values, deadline);
    result.reason = keys_.redact(std::move(result.reason));
    if (values.size() == 2) {
        // A login and password as Basic authentication sends them, should an answer echo it.
        const std::string basic =
            QByteArray::fromStdString(values[0] + ':' + values[1]).toBase64().toStdString();
        for (std::size_t at = result.reason.find(basic); at != std::string::npos;
             at = result.reason.find(basic, at)) {
            result.reason.replace(at, basic.size(), "***");
        }
    }
    if (result.kind == LinkCount::Kind::NoCount) {
        log_(id_ + ": no count for " + site + ": " + printable(result.reason));
        std::lock_guard<std::mutex> lock(errorMutex_);
        lastError_ = result.reason;
        return result;
    }
    {
        std::lock_guard<std::mutex> lock(errorMutex_);
        lastError_.clear();
    }
    std::string error;
    const CachedCount entry{result.value, result.kind == LinkCount::Kind::AtLeast,
                            std::int64_t(std::time(nullptr))};
    if (!store_.storeCount(origin(), site, entry, error)) {
        log_(id_ + ": the answer for " + site + " could not be kept: " + error);
    }
    log_(id_ + ": " + site + ": " + (entry.atLeast ? "at least " : "") +
         std::to_string(entry.pages) + " " + engines_.front().unit);
    return result;
}

FetchRequest KeyedSource::getRequest(std::string url)
{
    FetchRequest request;
    request.url = std::move(url);
    request.headers = {"Accept: application/json"};
    return request;
}

FetchRequest KeyedSource::jsonPost(std::string url, const QJsonDocument& body)
{
    FetchRequest request = getRequest(std::move(url));
    request.headers.push_back("Content-Type: application/json");
    request.postBody = body.toJson(QJsonDocument::Compact).toStdString();
    return request;
}

Reply KeyedSource::send(FetchRequest request, Deadline deadline)
{
    Reply reply;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (stopping_) {
        reply.failure = "the host is shutting down";
        return reply;
    }
    if (left.count() <= 0) {
        reply.failure = service_ + " did not answer in time";
        reply.outOfTime = true;
        return reply;
    }
    FetchLimits limits = settings_.limits;
    limits.totalTimeout = std::min(limits.totalTimeout, left);
    limits.connectTimeout = std::min(limits.connectTimeout, left);
    request.userAgent = settings_.userAgent;
    request.followRedirects = false;
    const FetchResult r = fetchText(request, limits, &stopping_);
    switch (r.outcome) {
    case FetchResult::Outcome::Done:
        reply.answered = true;
        reply.status = r.status;
        reply.body = r.body;
        break;
    case FetchResult::Outcome::TimedOut:
        reply.failure = service_ + " did not answer in time";
        // Out of the lookup's time, not of the request's own limit.
        reply.outOfTime = limits.totalTimeout < settings_.limits.totalTimeout;
        break;
    case FetchResult::Outcome::TooLarge:
        reply.failure = "the answer of " + service_ + " was too large (" + r.error + ")";
        break;
    case FetchResult::Outcome::Cancelled:
        reply.failure = "the host is shutting down";
        break;
    case FetchResult::Outcome::Failed:
        reply.failure = service_ + " could not be reached: " + r.error;
        break;
    }
    if (!reply.answered) {
        log_(id_ + ": " + keys_.redact(request.url) + ": " + keys_.redact(reply.failure));
    } else if (reply.status != 200) {
        log_(id_ + ": " + keys_.redact(request.url) + " answered HTTP " +
             std::to_string(reply.status));
    }
    return reply;
}

LinkCount KeyedSource::keyRefused(const std::string& detail) const
{
    return LinkCount::none(service_ + " refused the key" +
                           (detail.empty() ? std::string() : " (" + detail + ")"));
}

LinkCount KeyedSource::limitReached(const std::string& detail) const
{
    return LinkCount::none(service_ + "'s quota or rate limit is reached" +
                           (detail.empty() ? std::string() : " (" + detail + ")") +
                           "; try again later");
}

LinkCount KeyedSource::unreadable() const
{
    return LinkCount::none(service_ + " answered something unreadable");
}

LinkCount KeyedSource::notAnswered(const Reply& reply) const
{
    return LinkCount::none(reply.failure);
}

std::optional<LinkCount> KeyedSource::httpFailure(long status, const std::string& detail) const
{
    if (status == 401 || status == 403) {
        return keyRefused(detail.empty() ? "HTTP " + std::to_string(status) : detail);
    }
    if (status == 429) {
        return limitReached(detail.empty() ? "HTTP 429" : detail);
    }
    if (status != 200) {
        return LinkCount::none(service_ + " answered HTTP " + std::to_string(status) +
                               (detail.empty() ? std::string() : ": " + detail));
    }
    return std::nullopt;
}

} // namespace brandle::host

// SPDX-License-Identifier: MIT
#include "BingSource.h"

#include "EnginePage.h"
#include "ExturlWalk.h"
#include "Keyring.h"
#include "Text.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace brandle::host {

namespace {

// Bing's error codes: 3 InvalidApiKey, 14 NotAuthorized, 4 ThrottleUser.
constexpr int kInvalidApiKey = 3;
constexpr int kNotAuthorized = 14;
constexpr int kThrottleUser = 4;

QJsonValue answerData(const std::string& body)
{
    return QJsonDocument::fromJson(QByteArray::fromStdString(body)).object().value("d"_L1);
}

// The site's address as the account holds it, when the account has it verified; a site
// matches by its host name without "www.".
std::optional<std::string> verifiedSite(const QJsonArray& sites, const std::string& site)
{
    for (const QJsonValue& entry : sites) {
        const QJsonObject object = entry.toObject();
        const QString url = object.value("Url"_L1).toString();
        QString host = QUrl(url).host(QUrl::EncodeUnicode).toLower();
        if (host.startsWith("www."_L1)) {
            host.remove(0, 4);
        }
        if (host.toStdString() == site && object.value("IsVerified"_L1).toBool(true)) {
            return url.toStdString();
        }
    }
    return std::nullopt;
}

} // namespace

BingSource::BingSource(KeyedSettings settings, LinkStore& store, Keys& keys, Logger log)
    : KeyedSource("bing", "Bing Webmaster",
                  realEngine("bing", "Bing inbound links", "inbound links"), {keyring::BingKey},
                  std::move(settings), store, keys, std::move(log))
{
}

SourceCredit BingSource::credit() const
{
    return {"Bing Webmaster Tools",
            "Microsoft",
            "https://www.bing.com/webmasters/",
            "Microsoft Services Agreement",
            "https://www.microsoft.com/servicesagreement",
            "Inbound links to the pages of the sites verified in your own Bing Webmaster "
            "account, asked with your key."};
}

LinkCount BingSource::failure(const Reply& reply) const
{
    if (!reply.answered) {
        return notAnswered(reply);
    }
    const QJsonObject error =
        QJsonDocument::fromJson(QByteArray::fromStdString(reply.body)).object();
    const int code = error.value("ErrorCode"_L1).toInt(-1);
    const std::string message = printable(error.value("Message"_L1).toString().toStdString());
    if (code == kInvalidApiKey || code == kNotAuthorized) {
        return keyRefused(message);
    }
    if (code == kThrottleUser || message.find("ThrottleUser") != std::string::npos) {
        return limitReached(message);
    }
    if (const std::optional<LinkCount> http = httpFailure(reply.status, message)) {
        return *http;
    }
    return unreadable();
}

LinkCount BingSource::ask(const std::string& site, const std::vector<std::string>& keys,
                          Deadline deadline)
{
    const std::string api = settings().apiUrl;
    const std::string key = "apikey=" + urlEncode(keys.front());
    const Reply sites = send(getRequest(api + "GetUserSites?" + key), deadline);
    const QJsonValue siteList = answerData(sites.body);
    if (!sites.answered || sites.status != 200 || !siteList.isArray()) {
        return failure(sites);
    }
    const std::optional<std::string> siteUrl = verifiedSite(siteList.toArray(), site);
    if (!siteUrl) {
        return LinkCount::none("not verified in your Bing Webmaster account");
    }
    std::uint64_t sum = 0;
    for (int page = 0; page < kMaxPages; ++page) {
        const Reply reply =
            send(getRequest(api + "GetLinkCounts?" + key + "&siteUrl=" + urlEncode(*siteUrl) +
                            "&page=" + std::to_string(page)),
                 deadline);
        const QJsonObject counts = answerData(reply.body).toObject();
        const QJsonValue links = counts.value("Links"_L1);
        if (!reply.answered || reply.status != 200 || !links.isArray()) {
            // Out of time after some pages: what was counted is a lower bound.
            return reply.outOfTime && page > 0 ? LinkCount::atLeast(sum) : failure(reply);
        }
        for (const QJsonValue& link : links.toArray()) {
            const double count = link.toObject().value("Count"_L1).toDouble(-1);
            if (count < 0 || count > 1e15) {
                return unreadable();
            }
            sum += std::uint64_t(count);
        }
        if (page + 1 >= counts.value("TotalPages"_L1).toInt(0)) {
            return LinkCount::count(sum);
        }
    }
    return LinkCount::atLeast(sum);
}

} // namespace brandle::host

// SPDX-License-Identifier: MIT
#include "ExturlWalk.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <cmath>
#include <unordered_set>

using namespace Qt::StringLiterals;

namespace brandle::host {

namespace {

constexpr std::size_t kMaxInfoLength = 200;
constexpr double kMaxExactId = 9007199254740992.0; // 2^53

std::string jsonText(const QJsonValue& value)
{
    if (value.isString()) {
        return value.toString().toStdString();
    }
    if (value.isDouble()) {
        return QByteArray::number(value.toInteger()).toStdString();
    }
    return {};
}

} // namespace

std::string urlEncode(std::string_view text)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') ||
            u == '-' || u == '.' || u == '_' || u == '~') {
            out += c;
        } else {
            out += '%';
            out += hex[u >> 4];
            out += hex[u & 0xf];
        }
    }
    return out;
}

std::string exturlRequestUrl(const std::string& api, const std::string& query,
                             const ApiParams& continueParams)
{
    std::string url = api;
    url += api.find('?') == std::string::npos ? '?' : '&';
    url += "action=query&format=json&formatversion=2&list=exturlusage&euprop=ids"
           "&eunamespace=0&eulimit=max&maxlag=5&euquery=";
    url += urlEncode(query);
    for (const auto& [name, value] : continueParams) {
        url += '&' + urlEncode(name) + '=' + urlEncode(value);
    }
    return url;
}

ExturlAnswer parseExturlAnswer(std::string_view json)
{
    ExturlAnswer answer;
    QJsonParseError parseError{};
    const QJsonDocument doc = QJsonDocument::fromJson(
        QByteArray::fromRawData(json.data(), qsizetype(json.size())), &parseError);
    if (parseError.error != QJsonParseError::NoError || !doc.isObject()) {
        return answer;
    }
    const QJsonObject root = doc.object();
    if (root.contains("error"_L1)) {
        const QJsonObject error = root.value("error"_L1).toObject();
        answer.kind = ExturlAnswer::Kind::ApiError;
        answer.errorCode = jsonText(error.value("code"_L1));
        answer.errorInfo = jsonText(error.value("info"_L1));
        if (answer.errorInfo.size() > kMaxInfoLength) {
            answer.errorInfo.resize(kMaxInfoLength);
        }
        if (answer.errorCode.empty()) {
            answer.errorCode = "unknown";
        }
        return answer;
    }
    const QJsonValue list = root.value("query"_L1).toObject().value("exturlusage"_L1);
    if (!list.isArray()) {
        return answer;
    }
    for (const QJsonValue& item : list.toArray()) {
        // A page id is a positive integer; JSON numbers are doubles, exact up to 2^53.
        const double id = item.toObject().value("pageid"_L1).toDouble(-1);
        if (!(id >= 1 && id <= kMaxExactId && std::floor(id) == id)) {
            return answer;
        }
        answer.pageIds.push_back(std::int64_t(id));
    }
    const QJsonValue more = root.value("continue"_L1);
    if (!more.isUndefined()) {
        if (!more.isObject()) {
            return answer;
        }
        const QJsonObject params = more.toObject();
        for (auto it = params.begin(); it != params.end(); ++it) {
            if (!it.value().isString() && !it.value().isDouble()) {
                return answer;
            }
            answer.continueParams.emplace_back(it.key().toStdString(), jsonText(it.value()));
        }
    }
    answer.kind = ExturlAnswer::Kind::Page;
    return answer;
}

ExturlWalk walkExturlUsage(const std::string& api, const std::string& site, int maxRequests,
                           const std::function<ExturlFetch(const std::string& url)>& fetch)
{
    ExturlWalk walk;
    std::unordered_set<std::int64_t> pages;
    for (const std::string& query : {site, "*." + site}) {
        ApiParams continueParams;
        while (true) {
            // An answer cut short is a lower bound, and only when some page came: "at least
            // 0" would read as a count of 0.
            if (walk.requests >= maxRequests) {
                walk.result = pages.empty() ? LinkCount::none("the Wikipedia API answered no "
                                                              "article within the request limit")
                                            : LinkCount::atLeast(pages.size());
                return walk;
            }
            ++walk.requests;
            const ExturlFetch fetched = fetch(exturlRequestUrl(api, query, continueParams));
            if (!fetched.answered) {
                walk.outOfTime = fetched.outOfTime;
                walk.result = fetched.outOfTime && !pages.empty()
                                  ? LinkCount::atLeast(pages.size())
                                  : LinkCount::none(fetched.failure);
                return walk;
            }
            const ExturlAnswer answer = parseExturlAnswer(fetched.body);
            if (answer.kind == ExturlAnswer::Kind::ApiError) {
                walk.apiErrorCode = answer.errorCode;
                walk.result = LinkCount::none(
                    answer.errorCode == "maxlag"
                        ? "Wikipedia is busy (its databases lag behind); try again later"
                        : "the Wikipedia API answered an error: " + answer.errorCode +
                              (answer.errorInfo.empty() ? "" : " (" + answer.errorInfo + ")"));
                return walk;
            }
            if (fetched.status != 200) {
                walk.result =
                    LinkCount::none("Wikipedia answered HTTP " + std::to_string(fetched.status));
                return walk;
            }
            if (answer.kind == ExturlAnswer::Kind::Unreadable) {
                walk.result = LinkCount::none("the Wikipedia API answered something unreadable");
                return walk;
            }
            pages.insert(answer.pageIds.begin(), answer.pageIds.end());
            if (answer.continueParams.empty()) {
                break;
            }
            continueParams = answer.continueParams;
        }
    }
    walk.result = LinkCount::count(pages.size());
    return walk;
}

} // namespace brandle::host

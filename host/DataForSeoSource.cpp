// SPDX-License-Identifier: MIT
#include "DataForSeoSource.h"

#include "EnginePage.h"
#include "Keyring.h"
#include "Text.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <utility>

using namespace Qt::StringLiterals;

namespace brandle::host {

namespace {

constexpr int kOk = 20000;

} // namespace

DataForSeoSource::DataForSeoSource(KeyedSettings settings, LinkStore& store, Keys& keys, Logger log)
    : KeyedSource("dataforseo", "DataForSEO",
                  realEngine("dataforseo", "DataForSEO referring domains", "referring domains"),
                  {keyring::DataForSeoLogin, keyring::DataForSeoPassword}, std::move(settings),
                  store, keys, std::move(log))
{
}

SourceCredit DataForSeoSource::credit() const
{
    return {"DataForSEO Backlinks API",
            "DataForSEO",
            "https://dataforseo.com/apis/backlinks-api",
            "DataForSEO terms of service",
            "https://dataforseo.com/",
            "Domains referring to the site and its subdomains, asked with your own paid login."};
}

LinkCount DataForSeoSource::ask(const std::string& site, const std::vector<std::string>& keys,
                                Deadline deadline)
{
    const QJsonArray tasks{
        QJsonObject{{"target"_L1, QString::fromStdString(site)}, {"include_subdomains"_L1, true}}};
    FetchRequest request =
        jsonPost(settings().apiUrl + "backlinks/summary/live", QJsonDocument(tasks));
    request.user = keys[0];
    request.password = keys[1];
    const Reply reply = send(std::move(request), deadline);
    if (!reply.answered) {
        return notAnswered(reply);
    }
    const QJsonObject answer =
        QJsonDocument::fromJson(QByteArray::fromStdString(reply.body)).object();
    const QJsonObject task = answer.value("tasks"_L1).toArray().at(0).toObject();
    const auto statusOf = [](const QJsonObject& level) {
        const int code = level.value("status_code"_L1).toInt(kOk);
        return std::make_pair(
            code, std::to_string(code) + " " +
                      printable(level.value("status_message"_L1).toString().toStdString()));
    };
    if (const std::optional<LinkCount> http =
            httpFailure(reply.status, answer.contains("status_code"_L1) ? statusOf(answer).second
                                                                        : std::string())) {
        return *http;
    }
    // The first status that is not a success tells why: the whole request's, else the task's.
    for (const QJsonObject& level : {answer, task}) {
        const auto [code, message] = statusOf(level);
        if (code / 100 == 401) {
            return keyRefused(message);
        }
        if (code / 100 == 402) {
            return limitReached(message);
        }
        if (code != kOk) {
            return LinkCount::none("DataForSEO answered an error: " + message);
        }
    }
    const QJsonValue count =
        task.value("result"_L1).toArray().at(0).toObject().value("referring_domains"_L1);
    if (!count.isDouble() || count.toDouble() < 0 || count.toDouble() > 1e15) {
        return unreadable();
    }
    return LinkCount::count(std::uint64_t(count.toDouble()));
}

} // namespace brandle::host

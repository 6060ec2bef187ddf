// SPDX-License-Identifier: MIT
#include "MozSource.h"

#include "EnginePage.h"
#include "Keyring.h"
#include "Text.h"

#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace brandle::host {

MozSource::MozSource(KeyedSettings settings, std::chrono::milliseconds interval, LinkStore& store,
                     Keys& keys, Logger log)
    : KeyedSource("moz", "Moz",
                  realEngine("moz", "Moz linking root domains", "linking root domains"),
                  {keyring::MozToken}, std::move(settings), store, keys, std::move(log))
    , spacing_(interval)
{
}

SourceCredit MozSource::credit() const
{
    return {"Moz Links API",
            "Moz",
            "https://moz.com/products/api",
            "Moz API terms of use",
            "https://moz.com/terms-of-use",
            "Root domains linking to the site's root domain, asked with your own Moz token."};
}

void MozSource::stop()
{
    KeyedSource::stop();
    std::lock_guard<std::mutex> lock(waitMutex_);
    stopped_.notify_all();
}

LinkCount MozSource::ask(const std::string& site, const std::vector<std::string>& keys,
                         Deadline deadline)
{
    const auto turn =
        spacing_.reserve(std::chrono::steady_clock::now(),
                         deadline - std::min(kRequestTime, settings().answerTime / 4));
    if (!turn) {
        return LinkCount::none("waiting for Moz's request limit");
    }
    {
        std::unique_lock<std::mutex> lock(waitMutex_);
        if (stopped_.wait_until(lock, *turn, [this] { return stopping(); })) {
            return LinkCount::none("the host is shutting down");
        }
    }
    const QJsonObject query{{"query"_L1, QString::fromStdString(site)}, {"scope"_L1, "domain"_L1}};
    const QJsonObject call{
        {"jsonrpc"_L1, "2.0"_L1},
        {"id"_L1, u"brandle-%1"_s.arg(++requestId_)},
        {"method"_L1, "data.site.metrics.fetch"_L1},
        {"params"_L1, QJsonObject{{"data"_L1, QJsonObject{{"site_query"_L1, query}}}}}};
    FetchRequest request = jsonPost(settings().apiUrl, QJsonDocument(call));
    request.headers.push_back("x-moz-token: " + keys.front());
    const Reply reply = send(std::move(request), deadline);
    if (!reply.answered) {
        return notAnswered(reply);
    }
    const QJsonObject answer =
        QJsonDocument::fromJson(QByteArray::fromStdString(reply.body)).object();
    const QJsonObject error = answer.value("error"_L1).toObject();
    const std::string message = printable(error.value("message"_L1).toString().toStdString());
    if (const std::optional<LinkCount> http = httpFailure(reply.status, message)) {
        return *http;
    }
    if (!error.isEmpty()) {
        return LinkCount::none("Moz answered an error: " + message);
    }
    const QJsonValue count = answer.value("result"_L1)
                                 .toObject()
                                 .value("site_metrics"_L1)
                                 .toObject()
                                 .value("root_domains_to_root_domain"_L1);
    if (!count.isDouble() || count.toDouble() < 0 || count.toDouble() > 1e15) {
        return unreadable();
    }
    return LinkCount::count(std::uint64_t(count.toDouble()));
}

} // namespace brandle::host

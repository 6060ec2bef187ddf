// SPDX-License-Identifier: MIT
#include "engine/HostSources.h"

#include "platform/Http.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace brandle {

namespace {

// The Sources tab asks every two seconds: an answer that takes long is not worth waiting for.
HttpOptions sourcesOptions()
{
    HttpOptions options;
    options.connectTimeoutMs = 3000;
    options.totalTimeoutMs = 10000;
    options.maxBodyBytes = 1024 * 1024;
    return options;
}

HostAnswer answerOf(const HttpResult& result)
{
    HostAnswer answer;
    answer.reached = result.ok();
    answer.status = result.status;
    answer.body = result.bytes;
    if (result.error)
        answer.error = result.error->description();
    return answer;
}

} // namespace

std::optional<QList<HostSource>> readHostSources(const QByteArray& json)
{
    const QJsonDocument document = QJsonDocument::fromJson(json);
    if (!document.isArray())
        return std::nullopt;
    QList<HostSource> sources;
    for (const QJsonValue& value : document.array()) {
        if (!value.isObject())
            return std::nullopt;
        const QJsonObject o = value.toObject();
        const auto text = [&o](const char* name) {
            return o.value(QLatin1StringView(name)).toString();
        };
        HostSource source{
            text("id"), text("name"),  text("state"), std::nullopt,  text("release"),
            {},         text("error"), text("key"),   text("terms"), text("termsLink")};
        if (const QJsonValue progress = o.value("progress"_L1); progress.isDouble())
            source.progress = qBound(0.0, progress.toDouble(), 1.0);
        source.updated = QDateTime::fromString(text("updated"), Qt::ISODate);
        if (source.id.isEmpty())
            return std::nullopt;
        sources.append(source);
    }
    return sources;
}

std::optional<SourceTest> readSourceTest(const QByteArray& json)
{
    const QJsonObject o = QJsonDocument::fromJson(json).object();
    const QJsonValue count = o.value("count"_L1);
    SourceTest test{o.value("site"_L1).toString(), std::nullopt, o.value("atLeast"_L1).toBool(),
                    o.value("unit"_L1).toString(), o.value("reason"_L1).toString()};
    if (count.isDouble() && count.toDouble() >= 0)
        test.count = qint64(count.toDouble());
    if (test.site.isEmpty() || (!test.count && test.reason.isEmpty()))
        return std::nullopt;
    return test;
}

HostAnswer askHostSources(const QString& hostPort)
{
    HttpSession session(sourcesOptions());
    return answerOf(session.get(u"http://%1/sources"_s.arg(hostPort), HttpBody::Raw));
}

HostAnswer askSourceTest(const QString& hostPort, const QString& id, const QString& site)
{
    // A test may wait for its turn at a service's request limit: the host's whole answer time.
    HttpOptions options;
    options.maxBodyBytes = 1024 * 1024;
    const QString url = u"http://%1/sources/%2/test?site=%3"_s.arg(
        hostPort, QString::fromLatin1(QUrl::toPercentEncoding(id)),
        QString::fromLatin1(QUrl::toPercentEncoding(site)));
    return answerOf(httpPost(url, QByteArray(), "application/x-www-form-urlencoded", options));
}

} // namespace brandle

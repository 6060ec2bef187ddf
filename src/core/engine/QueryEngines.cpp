// SPDX-License-Identifier: MIT
#include "engine/QueryEngines.h"

#include "engine/Schema.h"
#include "engine/XmlText.h"
#include "log/LinkLog.h"
#include "platform/Clock.h"
#include "platform/Errors.h"
#include "platform/Http.h"
#include "platform/LocaleText.h"
#include "platform/mConstants.h"
#include "settings/Config.h"

#include <QStringList>

#include <vector>

using namespace Qt::StringLiterals;

using namespace brandle;

namespace {

QLatin1StringView fluctuation(bool siteChanged, qint32 previous, qint32 current)
{
    if (!siteChanged && previous < current)
        return mConstants::FluctuationHigher;
    if (!siteChanged && previous > current)
        return mConstants::FluctuationLower;
    return mConstants::FluctuationNone;
}

} // namespace

namespace brandle {

std::optional<QString> extractCount(const QString& answer, const QString& leftString,
                                    const QString& rightString)
{
    const qsizetype pos = answer.indexOf(leftString);
    if (pos < 0)
        return std::nullopt;
    const qsizetype endPos = answer.indexOf(rightString, pos);
    if (endPos < 0)
        return std::nullopt;
    const qsizetype start = pos + leftString.size();
    if (endPos < start)
        return std::nullopt;
    const QString text = answer.mid(start, endPos - start);
    if (!LocaleText::isNumericText(text))
        return std::nullopt;
    return text;
}

QString queryAddress(const QString& leftUrl, const QString& site, const QString& replaceDot,
                     const QString& rightUrl)
{
    QString middle = site;
    middle.replace(u'.', replaceDot);
    return leftUrl + middle + rightUrl;
}

} // namespace brandle

QString QueryEngines(const QString& schemaText, const QString& site, clsProps& props, LookupUi& ui,
                     QueryReport& report)
{
    // A different site than last time (letter case aside) makes nothing comparable.
    const QString lastSite = Config::text(Setting::LastSite);
    const bool siteChanged = lastSite.toLower() != site.toLower();
    if (siteChanged)
        Config::setText(Setting::LastSite, site);

    // Read the entries up to the first one that lacks a field; only those are asked.
    const EngineSchema schema(schemaText);
    std::vector<EngineEntry> engines;
    std::optional<BrandleError> entryError;
    for (int i = 0; i < schema.engineCount(); ++i) {
        try {
            engines.push_back(schema.engine(i));
        } catch (const BrandleError& e) {
            entryError = e;
            break;
        }
    }

    QStringList addresses;
    for (const EngineEntry& e : engines)
        addresses << queryAddress(e.LeftURL, site, e.ReplaceDot, e.RightURL);
    const std::vector<HttpResult> answers = httpGetAll(addresses);

    // The answers are taken in schema order, exactly as one engine after another would be.
    QString body;
    qint32 total = 0;
    for (size_t i = 0; i < engines.size(); ++i) {
        const EngineEntry& engine = engines[i];
        const HttpResult& answer = answers[i];
        if (answer.isDownloadFailure()) {
            report.failedEngine = engine.EngineName;
            return {};
        }
        const std::optional<QString> countText =
            extractCount(answer.bodyOrThrow(), engine.LeftString, engine.RightString);

        body += "<Engine><Name>"_L1 + XmlText::cdata(engine.EngineName) + "</Name><URL>"_L1 +
                XmlText::cdata(addresses.at(qsizetype(i))) + "</URL>"_L1;
        if (!countText) {
            body += "<Count><![CDATA[0]]></Count><Fluctuation>0</Fluctuation>"
                    "</Engine>"_L1;
            continue;
        }
        const qint32 count = LocaleText::toInt32(*countText);
        body += "<Count>"_L1 + XmlText::cdata(LocaleText::formatCount(count)) + "</Count>"_L1;
        const qint32 previous = Config::engineCount(engine.EngineName);
        Config::setEngineCount(engine.EngineName, count);
        body += "<Fluctuation>"_L1 + fluctuation(siteChanged, previous, count) +
                "</Fluctuation></Engine>"_L1;
        total = LocaleText::addInt32(total, count);
    }
    if (entryError)
        throw *entryError;

    body += "</Results>"_L1;
    const qint32 previousTotal = Config::count(Setting::LastTotal);
    Config::setCount(Setting::LastTotal, total);

    const QLatin1StringView totalCode = fluctuation(siteChanged, previousTotal, total);
    if (clsProps::isOn(props.PlaySound())) {
        if (totalCode == mConstants::FluctuationHigher)
            ui.playAlert(mConstants::AlertIncrease);
        else if (totalCode == mConstants::FluctuationLower)
            ui.playAlert(mConstants::AlertDecrease);
        else
            ui.playAlert(mConstants::AlertLinkCount);
    }

    const QDateTime now = Clock::instance().now();
    const QString document = "<Results Site=\""_L1 + XmlText::attribute(site) + "\" Total=\""_L1 +
                             LocaleText::formatCount(total) + "\" Fluctuation=\""_L1 + totalCode +
                             "\" Created=\""_L1 +
                             XmlText::attribute(LocaleText::generalDateTime(now)) + "\">"_L1 + body;

    props.setURLName(site);
    props.setLastCount(qint64(total));
    props.setLastRun(now);
    report.counted = true;

    if (clsProps::isOn(props.Logging()))
        WriteLinkLog(document);
    return document;
}

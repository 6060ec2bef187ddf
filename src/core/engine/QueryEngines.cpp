// SPDX-License-Identifier: MIT
#include "engine/QueryEngines.h"

#include "engine/Schema.h"
#include "engine/XmlText.h"
#include "log/LinkLog.h"
#include "platform/Clock.h"
#include "platform/Errors.h"
#include "platform/Http.h"
#include "platform/LocaleText.h"
#include "platform/Store.h"
#include "platform/StoreKeys.h"
#include "platform/mConstants.h"

#include <QStringList>

#include <vector>

namespace {

// A stored count; "" (never stored) and text that is not a count read as 0.
qint32 storedCount(const QString& key)
{
    const QString text = GetAppSetting(StoreKeys::SectionEngine, key);
    try {
        return text.isEmpty() ? 0 : LocaleText::toInt32(text);
    } catch (const BrandleError&) {
        return 0;
    }
}

QLatin1String fluctuation(bool siteChanged, qint32 previous, qint32 current)
{
    if (!siteChanged && previous < current)
        return mConstants::FluctuationHigher;
    if (!siteChanged && previous > current)
        return mConstants::FluctuationLower;
    return mConstants::FluctuationNone;
}

} // namespace

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

QString QueryEngines(const QString& schemaText, const QString& site, clsProps& props, LookupUi& ui,
                     QueryReport& report)
{
    using namespace StoreKeys;

    // A different site than last time (letter case aside) makes nothing comparable.
    const QString lastSite = GetAppSetting(SectionEngine, LastSite);
    const bool siteChanged = lastSite.toLower() != site.toLower();
    if (siteChanged)
        SaveAppSetting(SectionEngine, LastSite, site);

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

        body += QLatin1String("<Engine><Name>") + XmlText::cdata(engine.EngineName) +
                QLatin1String("</Name><URL>") + XmlText::cdata(addresses.at(qsizetype(i))) +
                QLatin1String("</URL>");
        if (!countText) {
            body += QLatin1String("<Count><![CDATA[0]]></Count><Fluctuation>0</Fluctuation>"
                                  "</Engine>");
            continue;
        }
        const qint32 count = LocaleText::toInt32(*countText);
        body += QLatin1String("<Count>") + XmlText::cdata(LocaleText::formatCount(count)) +
                QLatin1String("</Count>");
        const QString key = engineCount(engine.EngineName);
        const qint32 previous = storedCount(key);
        SaveAppSetting(SectionEngine, key, QString::number(count));
        body += QLatin1String("<Fluctuation>") + fluctuation(siteChanged, previous, count) +
                QLatin1String("</Fluctuation></Engine>");
        total = LocaleText::addInt32(total, count);
    }
    if (entryError)
        throw *entryError;

    body += QLatin1String("</Results>");
    const qint32 previousTotal = storedCount(QString(LastTotal));
    SaveAppSetting(SectionEngine, LastTotal, QString::number(total));

    const QLatin1String totalCode = fluctuation(siteChanged, previousTotal, total);
    if (clsProps::isOn(props.PlaySound())) {
        if (totalCode == mConstants::FluctuationHigher)
            ui.playAlert(mConstants::AlertIncrease);
        else if (totalCode == mConstants::FluctuationLower)
            ui.playAlert(mConstants::AlertDecrease);
        else
            ui.playAlert(mConstants::AlertLinkCount);
    }

    const QDateTime now = Clock::instance().now();
    const QString document =
        QLatin1String("<Results Site=\"") + XmlText::attribute(site) +
        QLatin1String("\" Total=\"") + LocaleText::formatCount(total) +
        QLatin1String("\" Fluctuation=\"") + totalCode + QLatin1String("\" Created=\"") +
        XmlText::attribute(LocaleText::generalDateTime(now)) + QLatin1String("\">") + body;

    props.setURLName(site);
    props.setLastCount(qint64(total));
    props.setLastRun(now);
    report.counted = true;

    if (clsProps::isOn(props.Logging()))
        WriteLinkLog(document);
    return document;
}

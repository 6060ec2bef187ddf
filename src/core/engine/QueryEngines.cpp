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
#include "platform/mConstants.h"
#include "settings/Config.h"

#include <QStringList>

#include <algorithm>
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

// The previous run a lookup compares with and stores into: the one run of "LinkEng" (with its
// site), or a tracked site's own run.
class StoredRun {
public:
    StoredRun(StoreSession& store, const QString& site, bool ownRun)
        : m_store(store)
        , m_site(site)
        , m_ownRun(ownRun)
    {
        if (m_ownRun) {
            m_siteChanged = !Config::siteTotal(m_store, site).has_value();
            return;
        }
        // A different site than last time (letter case aside) makes nothing comparable.
        m_lastSite = Config::text(m_store, Setting::LastSite);
        m_siteChanged = m_lastSite.toLower() != site.toLower();
        if (m_siteChanged)
            Config::setText(m_store, Setting::LastSite, site);
    }

    bool siteChanged() const { return m_siteChanged; }

    // The lookup stores nothing: the stored site is the last one again.
    void keepAsItWas()
    {
        if (!m_ownRun && m_siteChanged)
            Config::setText(m_store, Setting::LastSite, m_lastSite);
    }

    qint32 engineCount(const QString& name) const
    {
        return m_ownRun ? Config::siteEngineCount(m_store, m_site, name)
                        : Config::engineCount(m_store, name);
    }
    void setEngineCount(const QString& name, qint32 count)
    {
        if (m_ownRun)
            Config::setSiteEngineCount(m_store, m_site, name, count);
        else
            Config::setEngineCount(m_store, name, count);
    }
    qint32 total() const
    {
        return m_ownRun ? Config::siteTotal(m_store, m_site).value_or(0)
                        : Config::count(m_store, Setting::LastTotal);
    }
    void setTotal(qint32 total)
    {
        if (m_ownRun)
            Config::setSiteTotal(m_store, m_site, total);
        else
            Config::setCount(m_store, Setting::LastTotal, total);
    }

private:
    StoreSession& m_store;
    QString m_site;
    bool m_ownRun;
    QString m_lastSite;
    bool m_siteChanged = false;
};

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

bool AlertThreshold::passes(qint32 previous, qint32 current) const
{
    const qint64 change = qAbs(qint64(current) - qint64(previous));
    if (change == 0)
        return false;
    if (amount <= 0 || previous == 0)
        return true;
    if (percent)
        return change * 100 >= qint64(amount) * qAbs(qint64(previous));
    return change >= amount;
}

AlertThreshold AlertThreshold::stored(const StoreSession& store)
{
    return {qMax(0, Config::count(store, Setting::AlertAmount)),
            Config::flagShown(Setting::AlertPercent, Config::text(store, Setting::AlertPercent))};
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
                     QueryReport& report, StoreSession& store, const QueryOptions& options)
{
    HttpSession session;
    return QueryEngines(schemaText, site, props, ui, report, store, options, session);
}

QString QueryEngines(const QString& schemaText, const QString& site, clsProps& props, LookupUi& ui,
                     QueryReport& report, StoreSession& store, const QueryOptions& options,
                     HttpSession& session)
{
    StoredRun stored(store, site, options.ownRun);
    const bool siteChanged = stored.siteChanged();

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
    // Of each answer only its count is kept, as soon as the answer is complete.
    std::vector<std::optional<QString>> counts(engines.size());
    const std::vector<HttpResult> answers =
        session.getAll(addresses, [&](size_t i, HttpResult& answer) {
            if (answer.ok())
                counts[i] =
                    extractCount(answer.body, engines[i].LeftString, engines[i].RightString);
            answer.body = QString();
        });

    // Every answer is in before the first is taken, so it is known whether the lookup will end
    // partial: some engine without a count, and nothing that ends it early.
    const bool willEnd =
        !entryError && std::all_of(answers.begin(), answers.end(),
                                   [](const HttpResult& answer) { return answer.ok(); });
    const bool partial =
        willEnd && std::any_of(counts.begin(), counts.end(),
                               [](const std::optional<QString>& text) { return !text; });
    // A partial lookup of another site leaves the stored run as it was: the stored site, counts
    // and total belong together, and nothing of this lookup could be compared.
    const bool storeCounts = !(partial && siteChanged);
    if (!storeCounts)
        stored.keepAsItWas();

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
        if (answer.error)
            throw *answer.error;
        const std::optional<QString>& countText = counts[i];

        const QString nameAndUrl = "<Name>"_L1 + XmlText::cdata(engine.EngineName) +
                                   "</Name><URL>"_L1 + XmlText::cdata(addresses.at(qsizetype(i))) +
                                   "</URL>"_L1;
        if (!countText) {
            // Marked, with the children an unmarked element would have.
            body += "<Engine NoCount=\"1\">"_L1 + nameAndUrl +
                    "<Count><![CDATA[0]]></Count><Fluctuation>0</Fluctuation></Engine>"_L1;
            continue;
        }
        const qint32 count = LocaleText::toInt32(*countText);
        body += "<Engine>"_L1 + nameAndUrl + "<Count>"_L1 +
                XmlText::cdata(LocaleText::formatCount(count)) + "</Count>"_L1;
        const qint32 previous = stored.engineCount(engine.EngineName);
        if (storeCounts)
            stored.setEngineCount(engine.EngineName, count);
        body += "<Fluctuation>"_L1 + fluctuation(siteChanged, previous, count) +
                "</Fluctuation></Engine>"_L1;
        total = LocaleText::addInt32(total, count);
    }
    if (entryError)
        throw *entryError;

    body += "</Results>"_L1;
    report.partial = partial;
    report.total = total;
    QLatin1StringView totalCode = mConstants::FluctuationNone;
    if (!partial) {
        // Only a complete total is stored, so the next lookup compares with the last complete one.
        const qint32 previousTotal = stored.total();
        stored.setTotal(total);
        totalCode = fluctuation(siteChanged, previousTotal, total);
        if (!siteChanged) {
            report.previousTotal = previousTotal;
            report.alert = totalCode != mConstants::FluctuationNone &&
                           AlertThreshold::stored(store).passes(previousTotal, total);
        }
    }

    if (clsProps::isOn(props.PlaySound())) {
        if (report.alert && totalCode == mConstants::FluctuationHigher)
            ui.playAlert(mConstants::AlertIncrease);
        else if (report.alert && totalCode == mConstants::FluctuationLower)
            ui.playAlert(mConstants::AlertDecrease);
        else
            ui.playAlert(mConstants::AlertLinkCount);
    }

    const QDateTime now = Clock::instance().now();
    const QString document = "<Results Site=\""_L1 + XmlText::attribute(site) + "\" Total=\""_L1 +
                             LocaleText::formatCount(total) + "\" Fluctuation=\""_L1 + totalCode +
                             "\" Created=\""_L1 +
                             XmlText::attribute(LocaleText::generalDateTime(now)) +
                             (partial ? "\" Partial=\"1\">"_L1 : "\">"_L1) + body;

    props.setURLName(site);
    props.setLastCount(qint64(total));
    props.setLastRun(now);
    report.counted = true;

    if (clsProps::isOn(props.Logging()))
        WriteLinkLog(document);
    return document;
}

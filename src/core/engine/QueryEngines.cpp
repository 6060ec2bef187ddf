// SPDX-License-Identifier: MIT
#include "engine/QueryEngines.h"

#include "engine/XmlText.h"
#include "log/LinkLog.h"
#include "platform/Clock.h"
#include "platform/Errors.h"
#include "platform/Http.h"
#include "platform/LocaleText.h"
#include "platform/Store.h"
#include "platform/Xml.h"
#include "platform/mConstants.h"
#include "settings/Config.h"

#include <QStringList>

#include <algorithm>
#include <vector>

using namespace Qt::StringLiterals;

using namespace brandle;

namespace {

QLatin1StringView fluctuation(qint32 previous, qint32 current)
{
    if (previous < current)
        return mConstants::FluctuationHigher;
    if (previous > current)
        return mConstants::FluctuationLower;
    return mConstants::FluctuationNone;
}

// Why an engine has no count when its page does not say.
constexpr QLatin1StringView NoCountOnPage{"the page holds no count"};
constexpr QLatin1StringView CountNotANumber{"the count is not a number"};
constexpr qsizetype MaxReasonChars = 200;
// Of the text between the reason's markers, this much at most is read for its words.
constexpr qsizetype MaxReasonMarkup = 64 * 1024;

// The text between two markers of an answer: the search for right starts where left begins.
// None when a marker is missing or the two overlap.
std::optional<QString> markedText(const QString& answer, const QString& left, const QString& right)
{
    const qsizetype pos = answer.indexOf(left);
    if (pos < 0)
        return std::nullopt;
    const qsizetype endPos = answer.indexOf(right, pos);
    if (endPos < 0)
        return std::nullopt;
    const qsizetype start = pos + left.size();
    if (endPos < start)
        return std::nullopt;
    return answer.mid(start, endPos - start);
}

// What an engine's answer gave: its count text, or why it has none.
struct EngineReading {
    std::optional<QString> count;
    QString reason;
};

// The previous run a lookup compares with and stores into: the one run of "LinkEng" (with its
// site), or a tracked site's own run. Counts are compared engine by engine, the total only with
// the total remembered for the same set of engines that had a count.
class StoredRun {
public:
    StoredRun(StoreSession& store, const QString& site, bool ownRun,
              const std::vector<EngineEntry>& engines)
        : m_store(store)
        , m_trackedSite(ownRun ? site : QString())
    {
        if (ownRun)
            return;
        // A different site than last time (letter case aside) starts over: nothing stored
        // belongs to it, not even the counts of the engines that give none this time.
        m_siteChanged = Config::text(m_store, Setting::LastSite).toLower() != site.toLower();
        if (!m_siteChanged)
            return;
        Config::setText(m_store, Setting::LastSite, site);
        if (!Config::text(m_store, Setting::LastTotal).isEmpty())
            Config::setText(m_store, Setting::LastTotal, QString());
        Config::setSetTotals(m_store, QString(), {});
        for (const EngineEntry& engine : engines)
            Config::clearEngineCount(m_store, engine.EngineName);
    }

    std::optional<qint32> engineCount(const QString& name) const
    {
        if (m_siteChanged)
            return std::nullopt;
        return tracked() ? Config::siteEngineCount(m_store, m_trackedSite, name)
                         : Config::engineCount(m_store, name);
    }
    void setEngineCount(const QString& name, qint32 count)
    {
        if (tracked())
            Config::setSiteEngineCount(m_store, m_trackedSite, name, count);
        else
            Config::setEngineCount(m_store, name, count);
    }

    // The total remembered for the set (its names sorted). A store that remembers no set at all
    // was written before sets were: its last complete total stands for the complete set.
    std::optional<qint32> total(const QStringList& set, bool complete) const
    {
        if (m_siteChanged)
            return std::nullopt;
        const QList<Config::SetTotal> sets = Config::setTotals(m_store, m_trackedSite);
        for (const Config::SetTotal& remembered : sets) {
            if (remembered.engines == set)
                return remembered.total;
        }
        if (!sets.isEmpty() || !complete)
            return std::nullopt;
        if (tracked())
            return Config::siteTotal(m_store, m_trackedSite);
        if (Config::text(m_store, Setting::LastTotal).isEmpty())
            return std::nullopt;
        return Config::count(m_store, Setting::LastTotal);
    }

    // The set's total becomes the most recent one, and the oldest beyond the fourth is
    // forgotten. A complete lookup's total is the last complete total as well.
    void remember(const QStringList& set, qint32 total, bool complete)
    {
        if (!set.isEmpty()) {
            QList<Config::SetTotal> sets = Config::setTotals(m_store, m_trackedSite);
            sets.removeIf([&set](const Config::SetTotal& s) { return s.engines == set; });
            sets.prepend({set, total});
            Config::setSetTotals(m_store, m_trackedSite, sets);
        }
        if (!complete)
            return;
        if (tracked())
            Config::setSiteTotal(m_store, m_trackedSite, total);
        else
            Config::setCount(m_store, Setting::LastTotal, total);
    }

private:
    bool tracked() const { return !m_trackedSite.isEmpty(); }

    StoreSession& m_store;
    QString m_trackedSite;
    bool m_siteChanged = false;
};

} // namespace

namespace brandle {

std::optional<QString> extractCount(const QString& answer, const QString& leftString,
                                    const QString& rightString)
{
    std::optional<QString> text = markedText(answer, leftString, rightString);
    if (text && !LocaleText::isNumericText(*text))
        return std::nullopt;
    return text;
}

QString noCountReason(const QString& answer, const EngineEntry& engine)
{
    if (!engine.ReasonLeftString.isEmpty() && !engine.ReasonRightString.isEmpty()) {
        if (const std::optional<QString> marked =
                markedText(answer, engine.ReasonLeftString, engine.ReasonRightString)) {
            QString reason = htmlText(marked->left(MaxReasonMarkup)).simplified();
            // Nothing that a terminal showing it would take as a command.
            reason.removeIf([](QChar c) { return c.category() == QChar::Other_Control; });
            if (reason.size() > MaxReasonChars) {
                qsizetype cut = MaxReasonChars - 1;
                if (reason.at(cut - 1).isHighSurrogate())
                    --cut;
                reason = reason.left(cut).trimmed() + u'\u2026';
            }
            if (!reason.isEmpty())
                return reason;
        }
    }
    return markedText(answer, engine.LeftString, engine.RightString) ? QString(CountNotANumber)
                                                                     : QString(NoCountOnPage);
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
    // Of each answer only its count or reason is kept, as soon as the answer is complete.
    std::vector<EngineReading> readings(engines.size());
    const std::vector<HttpResult> answers =
        session.getAll(addresses, [&](size_t i, HttpResult& answer) {
            if (answer.ok()) {
                EngineReading& reading = readings[i];
                reading.count =
                    extractCount(answer.body, engines[i].LeftString, engines[i].RightString);
                if (!reading.count)
                    reading.reason = noCountReason(answer.body, engines[i]);
            }
            answer.body = QString();
        });

    // Every answer is in. From here until the caller saves the session the stored run is read,
    // compared and written as one unit: no other lookup's save comes between.
    store.lock();
    StoredRun stored(store, site, options.ownRun, engines);

    // The answers are taken in schema order, exactly as one engine after another would be.
    QString body;
    qint32 total = 0;
    QStringList set; // the engines that had a count
    for (size_t i = 0; i < engines.size(); ++i) {
        const EngineEntry& engine = engines[i];
        const HttpResult& answer = answers[i];
        if (answer.isDownloadFailure()) {
            report.failedEngine = engine.EngineName;
            return {};
        }
        if (answer.error)
            throw *answer.error;
        const EngineReading& reading = readings[i];

        const QString unit = engine.Unit.isEmpty()
                                 ? QString()
                                 : " Unit=\""_L1 + XmlText::attribute(engine.Unit) + u'"';
        const QString nameAndUrl = "<Name>"_L1 + XmlText::cdata(engine.EngineName) +
                                   "</Name><URL>"_L1 + XmlText::cdata(addresses.at(qsizetype(i))) +
                                   "</URL>"_L1;
        if (!reading.count) {
            // Marked, with the children an unmarked element would have.
            body += "<Engine NoCount=\"1\" Reason=\""_L1 + XmlText::attribute(reading.reason) +
                    u'"' + unit + u'>' + nameAndUrl +
                    "<Count><![CDATA[0]]></Count><Fluctuation>0</Fluctuation></Engine>"_L1;
            continue;
        }
        const qint32 count = LocaleText::toInt32(*reading.count);
        const std::optional<qint32> previous = stored.engineCount(engine.EngineName);
        stored.setEngineCount(engine.EngineName, count);
        body += "<Engine"_L1 + (previous ? QString() : u" Compared=\"0\""_s) + unit + u'>' +
                nameAndUrl + "<Count>"_L1 + XmlText::cdata(LocaleText::formatCount(count)) +
                "</Count><Fluctuation>"_L1 +
                (previous ? fluctuation(*previous, count) : mConstants::FluctuationNone) +
                "</Fluctuation></Engine>"_L1;
        total = LocaleText::addInt32(total, count);
        set.append(engine.EngineName);
    }
    if (entryError)
        throw *entryError;

    body += "</Results>"_L1;
    const bool complete = set.size() == qsizetype(engines.size());
    const bool noCount = set.isEmpty() && !complete;
    std::sort(set.begin(), set.end());
    std::optional<qint32> previousTotal;
    if (!noCount) {
        previousTotal = stored.total(set, complete);
        stored.remember(set, total, complete);
    }
    report.partial = !complete;
    report.total = total;
    QLatin1StringView totalCode = mConstants::FluctuationNone;
    if (previousTotal) {
        totalCode = fluctuation(*previousTotal, total);
        report.previousTotal = previousTotal;
        report.alert = totalCode != mConstants::FluctuationNone &&
                       AlertThreshold::stored(store).passes(*previousTotal, total);
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
    const QString document =
        "<Results Site=\""_L1 + XmlText::attribute(site) + "\" Total=\""_L1 +
        LocaleText::formatCount(total) + "\" Fluctuation=\""_L1 + totalCode + "\" Created=\""_L1 +
        XmlText::attribute(LocaleText::generalDateTime(now)) + u'"' +
        (complete ? QString() : u" Partial=\"1\""_s) + (noCount ? u" NoCount=\"1\""_s : QString()) +
        (previousTotal ? QString() : u" Compared=\"0\""_s) + u'>' + body;

    props.setURLName(site);
    props.setLastCount(qint64(total));
    props.setLastRun(now);
    report.counted = true;

    if (clsProps::isOn(props.Logging()))
        WriteLinkLog(document);
    return document;
}

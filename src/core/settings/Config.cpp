// SPDX-License-Identifier: MIT
#include "settings/Config.h"

#include "platform/Errors.h"
#include "platform/LocaleText.h"
#include "platform/Store.h"

#include <iterator>

using namespace Qt::StringLiterals;

namespace brandle::Config {

namespace {

constexpr QLatin1StringView App{"ParloApp"};
constexpr QLatin1StringView Engine{"LinkEng"};
constexpr QLatin1StringView Sites{"LinkSites"};

constexpr Row rows[] = {
    {Setting::PrimaryUrl, App, "URL1"_L1, Type::Text, ""_L1},
    {Setting::Logging, App, "EnbLog"_L1, Type::Flag, "1"_L1},
    {Setting::AutoCheck, App, "HrCks"_L1, Type::Flag, "1"_L1},
    {Setting::PlaySound, App, "SndClps"_L1, Type::Flag, "0"_L1},
    {Setting::WindowTop, App, "WinTop"_L1, Type::Flag, "1"_L1},
    {Setting::HistoryLimit, App, "URLLim"_L1, Type::Text, "5"_L1},
    {Setting::LastSite, Engine, "Eng-DomainURL"_L1, Type::Text, ""_L1},
    {Setting::LastTotal, Engine, "Eng-TotalCount"_L1, Type::Count, "0"_L1},
    {Setting::AlertAmount, App, "AlertMin"_L1, Type::Count, "0"_L1},
    {Setting::AlertPercent, App, "AlertPct"_L1, Type::Flag, "1"_L1},
    {Setting::LeaveOutDaysWithoutLog, App, "GraphGaps"_L1, Type::Flag, "0"_L1},
};

qint32 countOf(const QString& text)
{
    return LocaleText::parseLoggedCount(text).value_or(0);
}

// The key of an engine's previous count: "Eng-" + its name, unless that is the key of one of
// the program's own values in the section ("DomainURL", "TotalCount", in any letter case the
// store treats alike). Such a name gets "EngName-" + its name instead: no "Eng-" key starts so.
QString engineKey(const QString& engineName)
{
    const QString key = "Eng-"_L1 + engineName;
    for (const Row& r : rows) {
        if (r.section == Engine && key.compare(r.key, StoreKeyCase()) == 0)
            return "EngName-"_L1 + engineName;
    }
    return key;
}

// "<site>|Total", and "<site>|Eng-<engine>", which no engine name can make "|Total".
QString siteTotalKey(const QString& site)
{
    return site.toLower() + "|Total"_L1;
}

QString siteEngineKey(const QString& site, const QString& engineName)
{
    return site.toLower() + "|Eng-"_L1 + engineName;
}

// Where the remembered total n of a site is kept: "Set" + n in "LinkEng" for its one run (site
// ""), "<site>|Set" + n in "LinkSites" for a tracked site. No engine's key starts so ("Eng-",
// "EngName-", "<site>|Eng-").
QString setSection(const QString& trackedSite)
{
    return trackedSite.isEmpty() ? QString(Engine) : QString(Sites);
}

QString setKey(const QString& trackedSite, int n)
{
    const QString key = "Set"_L1 + QString::number(n);
    return trackedSite.isEmpty() ? key : trackedSite.toLower() + u'|' + key;
}

// A stored count, none when nothing is stored; a value that is no number reads as 0.
std::optional<qint32> storedCount(const QString& text)
{
    if (text.isEmpty())
        return std::nullopt;
    return countOf(text);
}

} // namespace

const Row& row(Setting setting)
{
    for (const Row& r : rows) {
        if (r.setting == setting)
            return r;
    }
    Q_UNREACHABLE();
    return rows[0];
}

QString text(const StoreSession& store, Setting setting)
{
    const Row& r = row(setting);
    return store.value(r.section, r.key);
}

void setText(StoreSession& store, Setting setting, const QString& value)
{
    const Row& r = row(setting);
    store.setValue(r.section, r.key, value);
}

QString text(Setting setting)
{
    const Row& r = row(setting);
    return GetAppSetting(r.section, r.key);
}

bool setText(Setting setting, const QString& value)
{
    const Row& r = row(setting);
    return SaveAppSetting(r.section, r.key, value);
}

bool flagShown(Setting setting, const QString& stored)
{
    return (stored.isEmpty() ? QString(row(setting).whenEmpty) : stored) == "1"_L1;
}

QString flagText(bool on)
{
    return on ? u"1"_s : u"0"_s;
}

qint32 count(const StoreSession& store, Setting setting)
{
    return countOf(text(store, setting));
}

void setCount(StoreSession& store, Setting setting, qint32 value)
{
    setText(store, setting, QString::number(value));
}

QString recentLookup(const StoreSession& store, int n)
{
    return store.value(App, "URLGet"_L1 + QString::number(n));
}

void setRecentLookup(StoreSession& store, int n, const QString& address)
{
    store.setValue(App, "URLGet"_L1 + QString::number(n), address);
}

QStringList trackedSites(const StoreSession& store)
{
    QStringList sites;
    for (int n = 1; n <= MaxTrackedSites; ++n) {
        const QString site = store.value(App, "Track"_L1 + QString::number(n)).trimmed();
        if (!site.isEmpty())
            sites.append(site);
    }
    return sites;
}

void setTrackedSites(StoreSession& store, const QStringList& sites)
{
    for (int n = 1; n <= MaxTrackedSites; ++n)
        store.setValue(App, "Track"_L1 + QString::number(n), sites.value(n - 1));
}

std::optional<qint32> siteTotal(const StoreSession& store, const QString& site)
{
    return storedCount(store.value(Sites, siteTotalKey(site)));
}

void setSiteTotal(StoreSession& store, const QString& site, qint32 value)
{
    store.setValue(Sites, siteTotalKey(site), QString::number(value));
}

std::optional<qint32> siteEngineCount(const StoreSession& store, const QString& site,
                                      const QString& engineName)
{
    return storedCount(store.value(Sites, siteEngineKey(site, engineName)));
}

void setSiteEngineCount(StoreSession& store, const QString& site, const QString& engineName,
                        qint32 value)
{
    store.setValue(Sites, siteEngineKey(site, engineName), QString::number(value));
}

std::optional<qint32> engineCount(const StoreSession& store, const QString& engineName)
{
    return storedCount(store.value(Engine, engineKey(engineName)));
}

void setEngineCount(StoreSession& store, const QString& engineName, qint32 value)
{
    store.setValue(Engine, engineKey(engineName), QString::number(value));
}

void clearEngineCount(StoreSession& store, const QString& engineName)
{
    const QString key = engineKey(engineName);
    if (!store.value(Engine, key).isEmpty())
        store.setValue(Engine, key, QString());
}

QList<SetTotal> setTotals(const StoreSession& store, const QString& trackedSite)
{
    QList<SetTotal> sets;
    for (int n = 1; n <= MaxRememberedSets; ++n) {
        const QString value = store.value(setSection(trackedSite), setKey(trackedSite, n));
        const qsizetype blank = value.indexOf(u' ');
        bool ok = blank > 0;
        const qint32 total = ok ? value.left(blank).toInt(&ok) : 0;
        if (!ok)
            continue;
        QStringList engines;
        for (const QString& name : value.mid(blank + 1).split(u',', Qt::SkipEmptyParts))
            engines.append(QString::fromUtf8(QByteArray::fromPercentEncoding(name.toUtf8())));
        if (!engines.isEmpty())
            sets.append({engines, total});
    }
    return sets;
}

void setSetTotals(StoreSession& store, const QString& trackedSite, const QList<SetTotal>& sets)
{
    for (int n = 1; n <= MaxRememberedSets; ++n) {
        QString value;
        if (n <= sets.size()) {
            QStringList names;
            for (const QString& name : sets.at(n - 1).engines)
                names.append(QString::fromLatin1(name.toUtf8().toPercentEncoding()));
            value = QString::number(sets.at(n - 1).total) + u' ' + names.join(u',');
        }
        const QString section = setSection(trackedSite);
        const QString key = setKey(trackedSite, n);
        // Keys that were empty are not written at all.
        if (!value.isEmpty() || !store.value(section, key).isEmpty())
            store.setValue(section, key, value);
    }
}

// One value alone: a session of its own, saved at once.

namespace {
template <typename Write> bool saveAlone(Write write)
{
    StoreSession store;
    write(store);
    try {
        store.save();
        return true;
    } catch (const BrandleError&) {
        return false;
    }
}
} // namespace

qint32 count(Setting setting)
{
    return count(StoreSession(), setting);
}

bool setCount(Setting setting, qint32 value)
{
    return saveAlone([&](StoreSession& store) { setCount(store, setting, value); });
}

QStringList trackedSites()
{
    return trackedSites(StoreSession());
}

bool setTrackedSites(const QStringList& sites)
{
    return saveAlone([&](StoreSession& store) { setTrackedSites(store, sites); });
}

std::optional<qint32> siteTotal(const QString& site)
{
    return siteTotal(StoreSession(), site);
}

bool setSiteTotal(const QString& site, qint32 value)
{
    return saveAlone([&](StoreSession& store) { setSiteTotal(store, site, value); });
}

} // namespace brandle::Config

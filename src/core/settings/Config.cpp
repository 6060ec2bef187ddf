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
    if (text.isEmpty())
        return 0;
    try {
        return LocaleText::toInt32(text);
    } catch (const BrandleError&) {
        return 0;
    }
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

QString text(Setting setting)
{
    const Row& r = row(setting);
    return GetAppSetting(r.section, r.key);
}

void setText(Setting setting, const QString& value)
{
    const Row& r = row(setting);
    SaveAppSetting(r.section, r.key, value);
}

bool flagShown(Setting setting, const QString& stored)
{
    return (stored.isEmpty() ? QString(row(setting).whenEmpty) : stored) == "1"_L1;
}

QString flagText(bool on)
{
    return on ? u"1"_s : u"0"_s;
}

qint32 count(Setting setting)
{
    return countOf(text(setting));
}

void setCount(Setting setting, qint32 value)
{
    setText(setting, QString::number(value));
}

QString recentLookup(int n)
{
    return GetAppSetting(App, "URLGet"_L1 + QString::number(n));
}

void setRecentLookup(int n, const QString& address)
{
    SaveAppSetting(App, "URLGet"_L1 + QString::number(n), address);
}

QStringList trackedSites()
{
    QStringList sites;
    for (int n = 1; n <= MaxTrackedSites; ++n) {
        const QString site = GetAppSetting(App, "Track"_L1 + QString::number(n)).trimmed();
        if (!site.isEmpty())
            sites.append(site);
    }
    return sites;
}

void setTrackedSites(const QStringList& sites)
{
    for (int n = 1; n <= MaxTrackedSites; ++n)
        SaveAppSetting(App, "Track"_L1 + QString::number(n), sites.value(n - 1));
}

std::optional<qint32> siteTotal(const QString& site)
{
    const QString stored = GetAppSetting(Sites, siteTotalKey(site));
    if (stored.isEmpty())
        return std::nullopt;
    return countOf(stored);
}

void setSiteTotal(const QString& site, qint32 value)
{
    SaveAppSetting(Sites, siteTotalKey(site), QString::number(value));
}

qint32 siteEngineCount(const QString& site, const QString& engineName)
{
    return countOf(GetAppSetting(Sites, siteEngineKey(site, engineName)));
}

void setSiteEngineCount(const QString& site, const QString& engineName, qint32 value)
{
    SaveAppSetting(Sites, siteEngineKey(site, engineName), QString::number(value));
}

qint32 engineCount(const QString& engineName)
{
    return countOf(GetAppSetting(Engine, engineKey(engineName)));
}

void setEngineCount(const QString& engineName, qint32 value)
{
    SaveAppSetting(Engine, engineKey(engineName), QString::number(value));
}

} // namespace brandle::Config

// SPDX-License-Identifier: MIT
#pragma once

#include <QLatin1StringView>
#include <QString>
#include <QStringList>

#include <optional>

namespace brandle {

// Every value Brandle keeps in the settings store. No other file spells a section or a key.
enum class Setting {
    PrimaryUrl,   // the site to count, exactly as typed
    Logging,      // log every lookup's counts
    AutoCheck,    // automatic checks
    PlaySound,    // sound alerts
    WindowTop,    // keep the message window on top
    HistoryLimit, // the recent-lookups limit as last saved
    LastSite,     // the site the stored counts belong to
    LastTotal,    // the previous run's total
    AlertAmount,  // the least change of the total that alerts: N percent or N links; 0 every one
    AlertPercent, // "1": the amount is a percentage of the previous total; else links
    LeaveOutDaysWithoutLog, // reports leave out the days without a log file
};

// The settings table: where each value lives and what an empty one means. Every value is text,
// and a key that was never written reads as "". The program keeps that apart from a stored
// value: an empty "HrCks" runs no check at start, although the window shows the box checked.
namespace Config {

enum class Type {
    Text,  // any text
    Flag,  // "1" on, "0" off
    Count, // a whole number in plain digits; "" reads as 0
};

struct Row {
    Setting setting;
    QLatin1StringView section;
    QLatin1StringView key;
    Type type;
    // What the settings window shows for an empty value; nothing is stored for it.
    QLatin1StringView whenEmpty;
};

const Row& row(Setting setting);

// The stored text, "" when never written.
QString text(Setting setting);
void setText(Setting setting, const QString& value);

// A flag as the settings window shows it: the stored "1" or "0", or the table's default when
// nothing is stored.
bool flagShown(Setting setting, const QString& stored);
QString flagText(bool on);

// A stored count; "" and text that is not a whole number within 32 bits read as 0.
qint32 count(Setting setting);
void setCount(Setting setting, qint32 value);

// Recent lookup n (from 1): "URLGet" + n in section "ParloApp".
QString recentLookup(int n);
void setRecentLookup(int n, const QString& address);

// The further sites of the automatic check: "Track1" to "Track" + MaxTrackedSites in section
// "ParloApp", the empty ones left out.
inline constexpr int MaxTrackedSites = 10;
QStringList trackedSites();
// Stores the sites in order and empties the keys beyond them.
void setTrackedSites(const QStringList& sites);

// The previous run of a tracked site, kept apart from the one run of section "LinkEng" so that
// counting several sites in turn compares each with its own last run: section "LinkSites",
// keys "<site>|Total" and "<site>|Eng-" + an engine's name, the site in lower case.
// No total when the site was never counted complete.
std::optional<qint32> siteTotal(const QString& site);
void setSiteTotal(const QString& site, qint32 value);
qint32 siteEngineCount(const QString& site, const QString& engineName);
void setSiteEngineCount(const QString& site, const QString& engineName, qint32 value);

// The previous count of an engine: "Eng-" + its name in section "LinkEng" ("EngName-" + its
// name for a name that would be the key of one of the program's own values there); "" reads as
// 0.
qint32 engineCount(const QString& engineName);
void setEngineCount(const QString& engineName, qint32 value);

} // namespace Config
} // namespace brandle

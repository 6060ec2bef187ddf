// SPDX-License-Identifier: MIT
#pragma once

#include <QLatin1StringView>
#include <QString>
#include <QStringList>

#include <optional>

namespace brandle {

class StoreSession;

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

// Every value is read and written through a store session: the values a session sets reach
// the file when it is saved. The forms without a session read or write one value alone, in a
// session of their own (a write is saved at once and is false when that failed).

// The stored text, "" when never written.
QString text(const StoreSession& store, Setting setting);
void setText(StoreSession& store, Setting setting, const QString& value);
QString text(Setting setting);
bool setText(Setting setting, const QString& value);

// A flag as the settings window shows it: the stored "1" or "0", or the table's default when
// nothing is stored.
bool flagShown(Setting setting, const QString& stored);
QString flagText(bool on);

// A stored count; "" and text that is not a whole number within 32 bits read as 0.
qint32 count(const StoreSession& store, Setting setting);
void setCount(StoreSession& store, Setting setting, qint32 value);
qint32 count(Setting setting);
bool setCount(Setting setting, qint32 value);

// Recent lookup n (from 1): "URLGet" + n in section "ParloApp".
QString recentLookup(const StoreSession& store, int n);
void setRecentLookup(StoreSession& store, int n, const QString& address);

// The further sites of the automatic check: "Track1" to "Track" + MaxTrackedSites in section
// "ParloApp", the empty ones left out.
inline constexpr int MaxTrackedSites = 10;
QStringList trackedSites(const StoreSession& store);
QStringList trackedSites();
// Stores the sites in order and empties the keys beyond them.
void setTrackedSites(StoreSession& store, const QStringList& sites);
bool setTrackedSites(const QStringList& sites);

// The previous run of a tracked site, kept apart from the one run of section "LinkEng" so that
// counting several sites in turn compares each with its own last run: section "LinkSites",
// keys "<site>|Total" and "<site>|Eng-" + an engine's name, the site in lower case.
// No total when the site was never counted complete, no count when the engine never counted.
std::optional<qint32> siteTotal(const StoreSession& store, const QString& site);
void setSiteTotal(StoreSession& store, const QString& site, qint32 value);
std::optional<qint32> siteTotal(const QString& site);
bool setSiteTotal(const QString& site, qint32 value);
std::optional<qint32> siteEngineCount(const StoreSession& store, const QString& site,
                                      const QString& engineName);
void setSiteEngineCount(StoreSession& store, const QString& site, const QString& engineName,
                        qint32 value);

// The previous count of an engine: "Eng-" + its name in section "LinkEng" ("EngName-" + its
// name for a name that would be the key of one of the program's own values there); none when
// nothing is stored.
std::optional<qint32> engineCount(const StoreSession& store, const QString& engineName);
void setEngineCount(StoreSession& store, const QString& engineName, qint32 value);
void clearEngineCount(StoreSession& store, const QString& engineName);

// The total of a lookup for the set of engines that had a count in it.
struct SetTotal {
    QStringList engines; // their names, sorted
    qint32 total = 0;
};

// The totals a site had for the last sets of engines seen, the most recent first: "Set1" to
// "Set4" in section "LinkEng" for its one run (trackedSite ""), "<site>|Set1" ... in section
// "LinkSites" for a tracked site. A value is the total and the names, each percent-encoded,
// separated by ",": "2233 Alpha,Beta". No engine's key can be one of these keys. A value that
// cannot be read is left out.
inline constexpr int MaxRememberedSets = 4;
QList<SetTotal> setTotals(const StoreSession& store, const QString& trackedSite);
// Stores the first MaxRememberedSets and empties the keys beyond them.
void setSetTotals(StoreSession& store, const QString& trackedSite, const QList<SetTotal>& sets);

} // namespace Config
} // namespace brandle

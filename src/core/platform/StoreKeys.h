// SPDX-License-Identifier: MIT
#pragma once

#include <QLatin1String>
#include <QString>

// Every section and key of the settings store. No other file spells a key.
namespace StoreKeys {

inline constexpr QLatin1String SectionApp{"ParloApp"};
inline constexpr QLatin1String SectionEngine{"LinkEng"};

// "ParloApp"
inline constexpr QLatin1String PrimaryUrl{"URL1"};
inline constexpr QLatin1String Logging{"EnbLog"};
inline constexpr QLatin1String AutoCheck{"HrCks"};
inline constexpr QLatin1String PlaySound{"SndClps"};
inline constexpr QLatin1String WindowTop{"WinTop"};
inline constexpr QLatin1String HistoryLimit{"URLLim"};

// "URLGet1", "URLGet2", ... : recent lookup number n (counted from 1).
inline QString recentLookup(int n)
{
    return QLatin1String("URLGet") + QString::number(n);
}

// "LinkEng"
inline constexpr QLatin1String LastSite{"Eng-DomainURL"};
inline constexpr QLatin1String LastTotal{"Eng-TotalCount"};

// "Eng-" followed by the engine's name exactly as the schema gives it.
inline QString engineCount(const QString& engineName)
{
    return QLatin1String("Eng-") + engineName;
}

} // namespace StoreKeys

// SPDX-License-Identifier: MIT
#pragma once

#include <QLatin1String>

// Names and fixed texts shared across the program.
namespace mConstants {

inline constexpr QLatin1String AppTitle{"Brandle"};
inline constexpr QLatin1String StoreApplication{"Quenta App Loader"};

// Documents of the service host, appended to "http://" + host.
inline constexpr QLatin1String StatusPath{"/parlo/System/Link-Popularity-Status.txt"};
inline constexpr QLatin1String SchemaPath{"/parlo/System/Link-Popularity-Schema.xml"};
inline constexpr QLatin1String StyleSheetPath{"/parlo/System/Link-Popularity-Schema.xsl"};
inline constexpr QLatin1String LoadingPath{"/parlo/System/Link-Popularity-Loading.htm"};

// The placeholder in the engine schema that the result document replaces.
inline constexpr QLatin1String ResultsPlaceholder{"<LPResults></LPResults>"};

// Files in the program's folder.
inline constexpr QLatin1String PageFileName{"ParloMsg.html"};
inline constexpr QLatin1String LogFolderName{"LinkLogs"};
inline constexpr QLatin1String LogFileSuffix{".lox"};
inline constexpr QLatin1String AlertsFolderName{"Alerts"};

// Alert codes.
inline constexpr QLatin1String AlertLinkCount{"1"};
inline constexpr QLatin1String AlertIncrease{"2"};
inline constexpr QLatin1String AlertDecrease{"3"};
inline constexpr QLatin1String AlertWelcome{"4"};
inline constexpr QLatin1String AlertExit{"5"};

// Fluctuation codes of an engine and of the total.
inline constexpr QLatin1String FluctuationNone{"0"};
inline constexpr QLatin1String FluctuationHigher{"1"};
inline constexpr QLatin1String FluctuationLower{"2"};

// Twips per inch; at 96 pixels per inch one pixel is 15 twips.
inline constexpr int TwipsPerInch = 1440;

} // namespace mConstants

// SPDX-License-Identifier: MIT
#pragma once

#include <QLatin1StringView>

// Names and fixed texts shared across the program.
namespace mConstants {

inline constexpr QLatin1StringView AppTitle{"Brandle"};
inline constexpr QLatin1StringView StoreApplication{"Quenta App Loader"};

// Documents of the service host, appended to "http://" + host.
inline constexpr QLatin1StringView StatusPath{"/parlo/System/Link-Popularity-Status.txt"};
inline constexpr QLatin1StringView SchemaPath{"/parlo/System/Link-Popularity-Schema.xml"};
inline constexpr QLatin1StringView StyleSheetPath{"/parlo/System/Link-Popularity-Schema.xsl"};
inline constexpr QLatin1StringView LoadingPath{"/parlo/System/Link-Popularity-Loading.htm"};

// The placeholder in the engine schema that the result document replaces.
inline constexpr QLatin1StringView ResultsPlaceholder{"<LPResults></LPResults>"};

// The per-user data folder's subfolder that is the program's folder of an installed copy.
inline constexpr QLatin1StringView DataFolderName{"brandle"};
// The file beside the executables that makes their folder the program's folder.
inline constexpr QLatin1StringView PortableMarker{"brandle-portable"};

// Files in the program's folder.
inline constexpr QLatin1StringView PageFileName{"ParloMsg.html"};
inline constexpr QLatin1StringView LogFolderName{"LinkLogs"};
inline constexpr QLatin1StringView LogFileSuffix{".lox"};
inline constexpr QLatin1StringView AlertsFolderName{"Alerts"};

// Alert codes.
inline constexpr QLatin1StringView AlertLinkCount{"1"};
inline constexpr QLatin1StringView AlertIncrease{"2"};
inline constexpr QLatin1StringView AlertDecrease{"3"};
inline constexpr QLatin1StringView AlertWelcome{"4"};
inline constexpr QLatin1StringView AlertExit{"5"};

// Fluctuation codes of an engine and of the total.
inline constexpr QLatin1StringView FluctuationNone{"0"};
inline constexpr QLatin1StringView FluctuationHigher{"1"};
inline constexpr QLatin1StringView FluctuationLower{"2"};

// Twips per inch; at 96 pixels per inch one pixel is 15 twips.
inline constexpr int TwipsPerInch = 1440;

} // namespace mConstants

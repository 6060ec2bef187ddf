// SPDX-License-Identifier: MIT
#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The link log: one file per day, "LinkLogs/MMDDYY.lox" in the program's folder, each line one
// result document. Lines are UTF-8 and end with CR LF.

namespace brandle {

// The day file of a date.
QString linkLogFile(const QDate& day);

// One engine's counts of a site on one day.
struct LogDayEngine {
    QString name;
    qint64 sum = 0;
    qint64 counts = 0;

    // The average of the counts, halves to the even neighbour; none without a count.
    std::optional<qint32> average() const;
};

// What one day file holds for one site: the totals of its complete lookups and of its partial
// ones (an engine gave no count: Partial="1"), and, when asked for, every engine's counts.
struct LogDaySite {
    qint64 completeSum = 0;
    qint64 completeLookups = 0;
    qint64 partialSum = 0;
    qint64 partialLookups = 0;
    // In the order the names first appear; an engine marked NoCount="1" adds nothing.
    QList<LogDayEngine> engines;

    // The day's figure: the average total of the complete lookups, or of the partial ones when
    // the day has no complete lookup for the site; none when there is no lookup, or when those
    // totals add up to less than 1.
    std::optional<qint32> figure() const;
};

// One day file read for several sites at once.
struct LogDay {
    bool hasFile = false;
    QList<LogDaySite> sites; // one per site asked for, in that order
};

// Reads the day file once, line by line, for every site given: a line counts for the site that
// its Site attribute equals (blanks around both removed; exact otherwise). A line that is not a
// well-formed result document, whose Total is not a number, or of a lookup in which no engine
// counted (NoCount="1"), is skipped. Memory stays within
// the longest line. Throws BrandleError FileAccess when the file exists but cannot be read.
LogDay readLinkLogDay(const QStringList& sites, const QDate& day, bool withEngines = false);

} // namespace brandle

// Appends the result document as one line to today's file (today by the program's clock),
// creating the folder and the file when missing. The line goes out in one write. Throws
// BrandleError FileAccess when the file cannot be written.
void WriteLinkLog(const QString& resultText);

// The day's figure for the site as a chart element
// "<Element><Date>MMDDYY</Date><Count>n</Count></Element>":
// - no file for the day: the element with count 0;
// - lines for the site: the average of their totals, halves to the even neighbour, leaving out
//   the partial lookups when the day has a complete one;
// - no such line, or totals that add up to less than 1: "".
// Throws BrandleError FileAccess when the file exists but cannot be read.
QString ReadLinkLogDay(const QString& site, const QDate& day);

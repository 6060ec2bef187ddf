// SPDX-License-Identifier: MIT
#pragma once

#include <QDate>
#include <QString>

// The link log: one file per day, "LinkLogs/MMDDYY.lox" in the program's folder, each line one
// result document. Lines are UTF-8 and end with CR LF.

namespace brandle {

// The day file of a date.
QString linkLogFile(const QDate& day);

} // namespace brandle

// Appends the result document as one line to today's file (today by the program's clock),
// creating the folder and the file when missing. The line goes out in one write. Throws
// BrandleError FileAccess when the file cannot be written.
void WriteLinkLog(const QString& resultText);

// The day's figure for the site as a chart element
// "<Element><Date>MMDDYY</Date><Count>n</Count></Element>":
// - no file for the day: the element with count 0;
// - lines for the site (its Site attribute equal to site, surrounding blanks removed on both
//   sides): the average of their totals, halves to the even neighbour;
// - no such line, or only totals of 0: "".
// A line that is not a well-formed result document is skipped. Throws BrandleError FileAccess
// when the file exists but cannot be read.
QString ReadLinkLogDay(const QString& site, const QDate& day);

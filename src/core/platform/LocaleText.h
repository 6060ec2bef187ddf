// SPDX-License-Identifier: MIT
#pragma once

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>

#include <optional>

namespace brandle {

// Numbers and dates. What is stored or exchanged (counts in engine pages, the result document,
// the store, the log) is read and written the same way under every locale; dates shown to the
// user and typed by the user follow the locale. Where the system locale is C/POSIX, the
// conventions of en-US apply ("12/6/2026 7:23:58 AM", month/day/year).
namespace LocaleText {

QLocale locale();

// True for optional blanks and sign, digits, an optional decimal part and an optional exponent,
// by one rule that does not depend on the locale: " 12 ", "-1,234", "1.234.567", "1 234",
// "2.5", "2,5", ".5", "1e3". A ",", ".", "'" (or "’"), blank, no-break or thin space between
// digits groups them when the digits before it form a first group of one to three digits and
// exactly three digits follow it ("1,234" and "1.234" are 1234); all group separators of a number
// are the same mark. A "." or "," that does not group is the decimal mark ("12,34" is 12.34, and
// so is "12.34"; "1,234.5" and "1.234,5" are 1234.5).
bool isNumericText(const QString& text);

// The numeric text as a 32-bit signed integer, a fraction rounded to the nearest integer with
// halves to the even neighbour ("2.5" -> 2, "3.5" -> 4). Throws BrandleError TypeMismatch for a
// text that is not numeric and Overflow for a value beyond the 32-bit range.
qint32 toInt32(const QString& text);

// Adds two 32-bit counts; throws BrandleError Overflow when the sum leaves the 32-bit range.
qint32 addInt32(qint32 a, qint32 b);

// The pattern "#,##0" of en-US under every locale: grouped thousands, no decimals
// ("1,234,567", "-1,000"). Counts are written in this form into the result document and the log.
QString formatCount(qint64 value);

// A count as the log or the settings store holds it; none when the text is not a count or is
// beyond 32 bits. A count in the "#,##0" form ("241,179") is read as toInt32 reads it. Any other
// text is read first as a whole number in the user's locale, as earlier builds wrote counts
// ("1’234’567" in de-CH, "12,34,567" in en-IN, "1234.567" for 1,234,567 in es-ES, the locale's own
// digits in ar-EG), then as toInt32 reads it.
std::optional<qint32> parseLoggedCount(const QString& text);

// The general date-time text: the locale's short date with a four-digit year, a blank and the
// long time without a time zone; the time is left out at exactly midnight.
QString generalDateTime(const QDateTime& dateTime);

// "MMDDYY": 5 December 2026 -> "120526".
QString mmddyy(const QDate& date);

// A date typed as text in the locale's order (month/day/year under en-US), or year first with a
// four-digit year under every locale ("2026-12-01"); separators "/", "-", "." or blanks;
// two-digit years 00-29 are 2000-2029, 30-99 are 1930-1999. Invalid QDate when the text is not a
// date.
QDate parseDate(const QString& text);

} // namespace LocaleText

} // namespace brandle

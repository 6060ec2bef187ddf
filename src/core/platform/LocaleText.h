// SPDX-License-Identifier: MIT
#pragma once

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>

namespace brandle {

// Numbers and dates as the user's locale writes them. Where the system locale is C/POSIX, the
// conventions of en-US apply ("1,234", "12/6/2026 7:23:58 AM", month/day/year).
namespace LocaleText {

QLocale locale();

// True for optional blanks and sign, digits with the locale's thousands separators, an optional
// decimal part and an optional exponent: " 12 ", "-1,234", "2.5", "1e3".
bool isNumericText(const QString& text);

// The numeric text as a 32-bit signed integer, a fraction rounded to the nearest integer with
// halves to the even neighbour ("2.5" -> 2, "3.5" -> 4). Throws BrandleError TypeMismatch for a
// text that is not numeric and Overflow for a value beyond the 32-bit range.
qint32 toInt32(const QString& text);

// Adds two 32-bit counts; throws BrandleError Overflow when the sum leaves the 32-bit range.
qint32 addInt32(qint32 a, qint32 b);

// The pattern "#,##0": grouped thousands, no decimals ("1,234,567").
QString formatCount(qint64 value);

// The general date-time text: the locale's short date with a four-digit year, a blank and the
// long time without a time zone; the time is left out at exactly midnight.
QString generalDateTime(const QDateTime& dateTime);

// "MMDDYY": 5 December 2026 -> "120526".
QString mmddyy(const QDate& date);

// A date typed as text in the locale's order (month/day/year under en-US); separators "/", "-",
// "." or blanks; two-digit years 00-29 are 2000-2029, 30-99 are 1930-1999. Invalid QDate when
// the text is not a date.
QDate parseDate(const QString& text);

} // namespace LocaleText

} // namespace brandle

// SPDX-License-Identifier: MIT
#pragma once

#include <QCoreApplication>
#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace brandle {

// The report of the Graphs tab without its widgets: the checks of the options, the month
// ranges, the walk over the day files and the arithmetic of the chart's scales.

// The date range of a report as two texts, or the message that refuses it.
struct ReportRequest {
    QString fromText;
    QString toText;
    QString message; // empty when the range may be charted

    bool ok() const { return message.isEmpty(); }
};

class ReportParams {
    Q_DECLARE_TR_FUNCTIONS(ReportParams)
public:
    // "By Date", "By Month": the rows of the time-span list.
    static QStringList reportTypes();
    // "( Select a Month )", then "January" to "December": row i is month i.
    static QStringList monthNames();

    // A "By Date" range as typed. Refused with the two-line message when either text is blank
    // or not a date, then with "To date cannot exceed the from date." when from lies after to.
    // Accepted texts are kept exactly as typed.
    static ReportRequest byDate(const QString& fromText, const QString& toText);

    // A "By Month" range: row 1..12 of the month list in the year of today ("2/1/2004",
    // "2/29/2004"), also for months still ahead. Row 0 is refused with "You must select a
    // month.".
    static ReportRequest byMonth(int monthRow, const QDate& today);

    // The last day of the month in the year (February has 29 days in a Gregorian leap year).
    static int lastDayOfMonth(int month, int year);
};

// One charted day: its date, its label "MMDDYY" and its count.
struct ChartRow {
    QDate day;
    QString label;
    qint32 count = 0;

    bool operator==(const ChartRow& other) const
    {
        return day == other.day && label == other.label && count == other.count;
    }
};

// A value scale: the range and the number of major and minor divisions of an axis.
struct AxisScale {
    qint64 minimum = 0;
    qint64 maximum = 0;
    int majorDivision = 0;
    int minorDivision = 1;
};

// The whole content of a chart: titles, one row per day that has a figure, the running figures
// and the scales of both axes.
struct LinkReport {
    QString title;      // the site as typed
    QString xAxisTitle; // from-text + " - " + to-text
    QString yAxisTitle; // "Link Count"
    QList<ChartRow> rows;
    qint32 highest = 0;        // the highest count, zeros included
    qint32 lowestPositive = 0; // the lowest count above 0; 0 when there is none
    AxisScale yScale;          // the scale the chart is drawn with
    AxisScale xScale;
};

class LinkReportBuilder {
    Q_DECLARE_TR_FUNCTIONS(LinkReportBuilder)
public:
    // The longest range a chart holds, in days.
    static constexpr int MaxDays = 32767;

    // The site whose log lines a Graph URL charts, normalised as a lookup normalises what it
    // counts: blanks around it and a leading "http://" (any letter case) dropped, lower case.
    static QString chartSite(const QString& graphUrl);

    // The report of the site over the range of two date texts: one row per day in day order
    // from the day reader (days without a file count 0, days without a line for the site have
    // no row), the running figures, the titles and the scales. std::nullopt when no day has a
    // figure. Throws BrandleError: TypeMismatch for a text that is not a date, Overflow for a
    // range of more than MaxDays days, and whatever the day reader throws.
    static std::optional<LinkReport> build(const QString& graphUrl, const QString& fromText,
                                           const QString& toText);

    // The Y scale of the lowest count above 0 and the highest count: each widened by a tenth
    // and rounded to a whole number (halves to even); the major division is the first of 6, 7,
    // 8, 9, 10 that divides the range, else 5; the minor division 1.
    static AxisScale valueScale(qint32 lowestPositive, qint32 highest);

    // The scale as drawn: an empty range (every count 0) becomes minimum to minimum + 1.
    static AxisScale drawableScale(const AxisScale& scale);

    // Every step-th day label is shown when room labels fit along the axis: 1, 2, 3, 7, 14, 28,
    // then multiples of 28.
    static int labelStep(int rows, int room);

    // The rows as CSV: a "date,count" header, then one "YYYY-MM-DD,count" line per row.
    static QString csv(const QList<ChartRow>& rows);
};

} // namespace brandle

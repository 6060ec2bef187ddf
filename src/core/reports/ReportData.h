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

// One charted day: its date, its label "MMDDYY" and a value per series of the report (none where
// a series has no figure that day).
struct ChartRow {
    QDate day;
    QString label;
    QList<std::optional<qint32>> values;

    // The first series' value; 0 where it has none.
    qint32 count() const { return values.value(0).value_or(0); }

    bool operator==(const ChartRow& other) const
    {
        return day == other.day && label == other.label && values == other.values;
    }
};

// A value scale: the range and the number of major and minor divisions of an axis.
struct AxisScale {
    qint64 minimum = 0;
    qint64 maximum = 0;
    int majorDivision = 0;
    int minorDivision = 1;
};

// What a report charts besides the range.
struct ReportOptions {
    // The site's total and every engine's daily average as series of their own (one site only).
    bool byEngine = false;
    // Days without a log file have no row (instead of a row of 0).
    bool leaveOutDaysWithoutLog = false;
};

// The whole content of a chart: titles, the series, one row per day that has a figure, the
// running figures and the scales of both axes.
struct LinkReport {
    QString title;      // the Graph URL as typed
    QString xAxisTitle; // from-text + " - " + to-text
    QString yAxisTitle; // "Link Count"
    // The names of the series: the site; or the sites; or "Total" and the engines.
    QStringList series;
    bool byEngine = false;
    QList<ChartRow> rows;
    qint32 highest = 0;        // the highest value of any series, zeros included
    qint32 lowestPositive = 0; // the lowest value above 0 of any series; 0 when there is none
    AxisScale yScale;          // the scale the chart is drawn with
    AxisScale xScale;

    // More than one series: the chart names them in a legend.
    bool hasLegend() const { return series.size() > 1; }
};

class LinkReportBuilder {
    Q_DECLARE_TR_FUNCTIONS(LinkReportBuilder)
public:
    // The longest range a chart holds, in days.
    static constexpr int MaxDays = 32767;

    // The most sites a Graph URL may name, separated by commas.
    static constexpr int MaxSites = 5;

    // The site whose log lines a Graph URL charts, normalised as a lookup normalises what it
    // counts: blanks around it and a leading "http://" (any letter case) dropped, lower case.
    static QString chartSite(const QString& graphUrl);
    // The sites of a Graph URL that names several, separated by commas: each normalised as
    // chartSite(), empty ones and repeats left out. One site (perhaps "") at least.
    static QStringList chartSites(const QString& graphUrl);

    // Why the Graph URL cannot be charted with the options ("" when it can): more than
    // MaxSites sites, or several sites by engine.
    static QString refusal(const QString& graphUrl, const ReportOptions& options);

    // The report of the Graph URL's sites over the range of two date texts: one row per day in
    // day order with a value per series from the day reader (days without a file count 0, or
    // have no row with leaveOutDaysWithoutLog; a day that has a figure for no series has no
    // row), the running figures, the titles and the scales. std::nullopt when no day has a
    // figure. Throws BrandleError: TypeMismatch for a text that is not a date, Overflow for a
    // range of more than MaxDays days, and whatever the day reader throws.
    static std::optional<LinkReport> build(const QString& graphUrl, const QString& fromText,
                                           const QString& toText,
                                           const ReportOptions& options = {});

    // The Y scale of the lowest count above 0 and the highest count: each widened by a tenth
    // and rounded to a whole number (halves to even); the major division is the first of 6, 7,
    // 8, 9, 10 that divides the range, else 5; the minor division 1.
    static AxisScale valueScale(qint32 lowestPositive, qint32 highest);

    // The scale as drawn: an empty range (every count 0) becomes minimum to minimum + 1.
    static AxisScale drawableScale(const AxisScale& scale);

    // Every step-th day label is shown when room labels fit along the axis: 1, 2, 3, 7, 14, 28,
    // then multiples of 28.
    static int labelStep(int rows, int room);

    // The rows as CSV, one "YYYY-MM-DD,value..." line per row under a header: "date,count" for
    // one site, "date,<site>,<site>..." for several, "date,total,<engine>,<engine>..." by
    // engine. A series without a figure that day leaves its cell empty.
    static QString csv(const LinkReport& report);
};

} // namespace brandle

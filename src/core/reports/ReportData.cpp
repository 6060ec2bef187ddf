// SPDX-License-Identifier: MIT
#include "reports/ReportData.h"

#include "log/LinkLog.h"
#include "platform/Address.h"
#include "platform/Errors.h"
#include "platform/LocaleText.h"

#include <cmath>
#include <utility>

using namespace Qt::StringLiterals;

namespace brandle {

QStringList ReportParams::reportTypes()
{
    return {tr("By Date"), tr("By Month")};
}

QStringList ReportParams::monthNames()
{
    return {tr("( Select a Month )"),
            tr("January"),
            tr("February"),
            tr("March"),
            tr("April"),
            tr("May"),
            tr("June"),
            tr("July"),
            tr("August"),
            tr("September"),
            tr("October"),
            tr("November"),
            tr("December")};
}

ReportRequest ReportParams::byDate(const QString& fromText, const QString& toText)
{
    const QDate from = LocaleText::parseDate(fromText);
    const QDate to = LocaleText::parseDate(toText);
    if (!from.isValid() || !to.isValid())
        return {{},
                {},
                tr("The dates you entered are either blank or invalid.") + "\r\n"_L1 +
                    tr("The required date format is MM/DD/YYYY for this report type "
                       "selection.")};
    if (from > to)
        return {{}, {}, tr("To date cannot exceed the from date.")};
    return {fromText, toText, {}};
}

ReportRequest ReportParams::byMonth(int monthRow, const QDate& today)
{
    if (monthRow < 1 || monthRow > 12)
        return {{}, {}, tr("You must select a month.")};
    const int year = today.year();
    const QString prefix = QString::number(monthRow) + u'/';
    const QString suffix = u'/' + QString::number(year);
    return {prefix + u'1' + suffix,
            prefix + QString::number(lastDayOfMonth(monthRow, year)) + suffix,
            {}};
}

int ReportParams::lastDayOfMonth(int month, int year)
{
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month == 2 && QDate::isLeapYear(year))
        return 29;
    return days[(month - 1) % 12];
}

QString LinkReportBuilder::chartSite(const QString& graphUrl)
{
    return siteForLookup(graphUrl.trimmed()).trimmed();
}

QStringList LinkReportBuilder::chartSites(const QString& graphUrl)
{
    QStringList sites;
    for (const QString& part : graphUrl.split(u',')) {
        const QString site = chartSite(part);
        if (!site.isEmpty() && !sites.contains(site))
            sites.append(site);
    }
    if (sites.isEmpty())
        sites.append(chartSite(graphUrl));
    return sites;
}

QString LinkReportBuilder::refusal(const QString& graphUrl, const ReportOptions& options)
{
    const qsizetype sites = chartSites(graphUrl).size();
    if (sites > MaxSites)
        return tr("Give at most %1 sites, separated by commas.").arg(MaxSites);
    if (options.byEngine && sites > 1)
        return tr("A chart by engine shows one site: give only one.");
    return {};
}

std::optional<LinkReport> LinkReportBuilder::build(const QString& graphUrl, const QString& fromText,
                                                   const QString& toText,
                                                   const ReportOptions& options)
{
    const QDate from = LocaleText::parseDate(fromText);
    if (!from.isValid())
        throw BrandleError(ErrorCode::TypeMismatch, fromText);
    const QDate to = LocaleText::parseDate(toText);
    if (!to.isValid())
        throw BrandleError(ErrorCode::TypeMismatch, toText);
    const qint64 days = from.daysTo(to) + 1;
    if (days > MaxDays)
        throw BrandleError(ErrorCode::Overflow, tr("%1 days").arg(days));

    QStringList sites = chartSites(graphUrl);
    if (options.byEngine)
        sites = sites.mid(0, 1);
    LinkReport report;
    report.byEngine = options.byEngine;
    report.series = options.byEngine ? QStringList{tr("Total")} : sites;
    for (QDate day = from; day <= to; day = day.addDays(1)) {
        const LogDay read = readLinkLogDay(sites, day, options.byEngine);
        if (!read.hasFile && options.leaveOutDaysWithoutLog)
            continue;
        ChartRow row{day, LocaleText::mmddyy(day), {}};
        bool any = false;
        for (const LogDaySite& site : read.sites) {
            const std::optional<qint32> value = read.hasFile ? site.figure() : 0;
            any = any || value.has_value();
            row.values.append(value);
        }
        if (!any)
            continue;
        if (options.byEngine) {
            // Engines are matched by name; one first met today gets a column of its own.
            row.values.resize(report.series.size());
            for (const LogDayEngine& engine : read.sites.value(0).engines) {
                qsizetype column = report.series.indexOf(engine.name, 1);
                if (column < 0) {
                    report.series.append(engine.name);
                    column = report.series.size() - 1;
                    row.values.resize(report.series.size());
                }
                row.values[column] = engine.average();
            }
        }
        report.rows.append(row);
    }
    if (report.rows.isEmpty())
        return std::nullopt;

    bool firstPositive = true;
    for (ChartRow& row : report.rows) {
        row.values.resize(report.series.size());
        for (const std::optional<qint32>& value : std::as_const(row.values)) {
            if (!value)
                continue;
            report.highest = qMax(report.highest, *value);
            if (*value > 0) {
                if (firstPositive || *value < report.lowestPositive)
                    report.lowestPositive = *value;
                firstPositive = false;
            }
        }
    }

    report.title = graphUrl;
    report.xAxisTitle = fromText + " - "_L1 + toText;
    report.yAxisTitle = tr("Link Count");
    report.yScale = drawableScale(valueScale(report.lowestPositive, report.highest));
    report.xScale = AxisScale{0, qMax<qint64>(0, report.rows.size() - 1), 5, 1};
    return report;
}

AxisScale LinkReportBuilder::valueScale(qint32 lowestPositive, qint32 highest)
{
    // std::nearbyint rounds halves to the even neighbour. The bounds are 64-bit, so a count
    // near the 32-bit limit widens without overflowing.
    AxisScale scale;
    scale.minimum = qint64(std::nearbyint(double(lowestPositive) - double(lowestPositive) * 0.1));
    scale.maximum = qint64(std::nearbyint(double(highest) + double(highest) * 0.1));
    const qint64 range = scale.maximum - scale.minimum;
    scale.majorDivision = 5;
    for (int division = 6; division <= 10; ++division) {
        if (range % division == 0) {
            scale.majorDivision = division;
            break;
        }
    }
    scale.minorDivision = 1;
    return scale;
}

AxisScale LinkReportBuilder::drawableScale(const AxisScale& scale)
{
    if (scale.maximum > scale.minimum)
        return scale;
    return AxisScale{scale.minimum, scale.minimum + 1, 1, 1};
}

int LinkReportBuilder::labelStep(int rows, int room)
{
    room = qMax(1, room);
    if (rows <= room)
        return 1;
    const int needed = (rows + room - 1) / room;
    for (int step : {2, 3, 7, 14, 28}) {
        if (step >= needed)
            return step;
    }
    return (needed + 27) / 28 * 28;
}

namespace {

// A CSV cell: quoted when it holds a comma, a quote or a line break.
QString csvCell(const QString& text)
{
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n') &&
        !text.contains(u'\r'))
        return text;
    return u'"' + QString(text).replace(u"\""_s, u"\"\""_s) + u'"';
}

} // namespace

QString LinkReportBuilder::csv(const LinkReport& report)
{
    QStringList header{u"date"_s};
    if (report.byEngine) {
        header << u"total"_s;
        for (const QString& engine : report.series.mid(1))
            header << csvCell(engine);
    } else if (report.series.size() == 1) {
        header << u"count"_s;
    } else {
        for (const QString& site : report.series)
            header << csvCell(site);
    }
    QString text = header.join(u',') + u'\n';
    for (const ChartRow& row : report.rows) {
        text += row.day.toString(Qt::ISODate);
        for (const std::optional<qint32>& value : row.values)
            text += u',' + (value ? QString::number(*value) : QString());
        text += u'\n';
    }
    return text;
}

} // namespace brandle

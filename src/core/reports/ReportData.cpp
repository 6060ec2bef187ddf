// SPDX-License-Identifier: MIT
#include "reports/ReportData.h"

#include "log/LinkLog.h"
#include "platform/Address.h"
#include "platform/Errors.h"
#include "platform/LocaleText.h"
#include "platform/Xml.h"

#include <cmath>

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

std::optional<LinkReport> LinkReportBuilder::build(const QString& graphUrl, const QString& fromText,
                                                   const QString& toText)
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

    const QString site = chartSite(graphUrl);
    LinkReport report;
    bool firstPositive = true;
    for (QDate day = from; day <= to; day = day.addDays(1)) {
        const QString element = ReadLinkLogDay(site, day);
        if (element.isEmpty())
            continue;
        const XmlDocument doc = XmlDocument::parse(element);
        const XmlNode count = doc.firstElement(u"Count"_s);
        const XmlNode date = doc.firstElement(u"Date"_s);
        if (count.isNull() || date.isNull())
            throw BrandleError(ErrorCode::ElementMissing, element);
        const ChartRow row{day, date.text(), LocaleText::toInt32(count.text())};
        report.highest = qMax(report.highest, row.count);
        if (row.count > 0) {
            if (firstPositive || row.count < report.lowestPositive)
                report.lowestPositive = row.count;
            firstPositive = false;
        }
        report.rows.append(row);
    }
    if (report.rows.isEmpty())
        return std::nullopt;

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

QString LinkReportBuilder::csv(const QList<ChartRow>& rows)
{
    QString text = u"date,count\n"_s;
    for (const ChartRow& row : rows)
        text += row.day.toString(Qt::ISODate) + u',' + QString::number(row.count) + u'\n';
    return text;
}

} // namespace brandle

// SPDX-License-Identifier: MIT
#include "platform/LocaleText.h"

#include "platform/Errors.h"

#include <QRegularExpression>

#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

namespace brandle::LocaleText {

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == QChar(0x00A0);
}

bool isGroupSeparator(QChar c, QChar group)
{
    if (c == group)
        return true;
    // Locales that group with a (narrow) no-break space also accept a plain blank.
    const bool spaceGroup = group == QChar(0x00A0) || group == QChar(0x202F) || group == u' ';
    return spaceGroup && (c == QChar(0x00A0) || c == QChar(0x202F) || c == u' ');
}

// Parses the numeric text into a C-locale number text ("-1234.5e3"); empty when not numeric.
QString normalizedNumber(const QString& text)
{
    const QLocale loc = locale();
    const QChar group = loc.groupSeparator().size() == 1 ? loc.groupSeparator().at(0) : QChar(u',');
    const QChar decimal = loc.decimalPoint().size() == 1 ? loc.decimalPoint().at(0) : QChar(u'.');

    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text.at(begin)))
        ++begin;
    while (end > begin && isBlank(text.at(end - 1)))
        --end;

    QString out;
    qsizetype i = begin;
    if (i < end && (text.at(i) == u'+' || text.at(i) == u'-')) {
        out += text.at(i);
        ++i;
    }
    int digits = 0;
    while (i < end) {
        const QChar c = text.at(i);
        if (c.isDigit() && c.unicode() < 128) {
            out += c;
            ++digits;
        } else if (digits > 0 && isGroupSeparator(c, group) && i + 1 < end &&
                   text.at(i + 1).isDigit()) {
            // a separator between digits; dropped
        } else {
            break;
        }
        ++i;
    }
    if (i < end && text.at(i) == decimal) {
        out += u'.';
        ++i;
        while (i < end && text.at(i).isDigit() && text.at(i).unicode() < 128) {
            out += text.at(i);
            ++digits;
            ++i;
        }
    }
    if (digits == 0)
        return {};
    if (i < end && (text.at(i) == u'e' || text.at(i) == u'E')) {
        out += u'e';
        ++i;
        if (i < end && (text.at(i) == u'+' || text.at(i) == u'-'))
            out += text.at(i++);
        int expDigits = 0;
        while (i < end && text.at(i).isDigit() && text.at(i).unicode() < 128) {
            out += text.at(i++);
            ++expDigits;
        }
        if (expDigits == 0)
            return {};
    }
    return i == end ? out : QString();
}

// The time format without its time-zone field.
QString timeWithoutZone(QString format)
{
    QString out;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == u'\'')
            quoted = !quoted;
        if (!quoted && c == u't')
            continue;
        out += c;
    }
    return out.simplified();
}

// The short date format with a two-digit year widened to four digits.
QString dateWithFullYear(const QString& format)
{
    if (format.contains("yyyy"_L1))
        return format;
    QString out = format;
    out.replace("yy"_L1, "yyyy"_L1);
    return out;
}

} // namespace

QLocale locale()
{
    const QLocale system = QLocale::system();
    if (system.language() == QLocale::C)
        return QLocale(QLocale::English, QLocale::UnitedStates);
    return system;
}

bool isNumericText(const QString& text)
{
    return !normalizedNumber(text).isEmpty();
}

qint32 toInt32(const QString& text)
{
    const QString number = normalizedNumber(text);
    if (number.isEmpty())
        throw BrandleError(ErrorCode::TypeMismatch, text);
    bool ok = false;
    const double value = number.toDouble(&ok);
    // std::nearbyint rounds halves to the even neighbour in the default rounding mode.
    const double rounded = std::nearbyint(value);
    if (!ok || !std::isfinite(rounded) || rounded < double(std::numeric_limits<qint32>::min()) ||
        rounded > double(std::numeric_limits<qint32>::max()))
        throw BrandleError(ErrorCode::Overflow, text);
    return static_cast<qint32>(rounded);
}

qint32 addInt32(qint32 a, qint32 b)
{
    const qint64 sum = qint64(a) + qint64(b);
    if (sum < std::numeric_limits<qint32>::min() || sum > std::numeric_limits<qint32>::max())
        throw BrandleError(ErrorCode::Overflow);
    return static_cast<qint32>(sum);
}

QString formatCount(qint64 value)
{
    QLocale loc = locale();
    loc.setNumberOptions(loc.numberOptions() & ~QLocale::OmitGroupSeparator);
    return loc.toString(value);
}

QString generalDateTime(const QDateTime& dateTime)
{
    const QLocale loc = locale();
    const QString date =
        loc.toString(dateTime.date(), dateWithFullYear(loc.dateFormat(QLocale::ShortFormat)));
    const QTime time = dateTime.time();
    if (time.hour() == 0 && time.minute() == 0 && time.second() == 0)
        return date;
    return date + u' ' + loc.toString(time, timeWithoutZone(loc.timeFormat(QLocale::LongFormat)));
}

QString mmddyy(const QDate& date)
{
    return date.toString(u"MMddyy"_s);
}

QDate parseDate(const QString& text)
{
    static const QRegularExpression shape(
        u"^\\s*(\\d{1,4})\\s*[/.\\- ]\\s*(\\d{1,4})\\s*[/.\\- ]\\s*(\\d{1,4})\\s*$"_s);
    const QRegularExpressionMatch m = shape.match(text);
    if (!m.hasMatch())
        return {};

    // The order of month, day and year follows the locale's short date format.
    const QString format = locale().dateFormat(QLocale::ShortFormat);
    const qsizetype posM = format.indexOf(u'M');
    const qsizetype posD = format.indexOf(u'd');
    const qsizetype posY = format.indexOf(u'y');
    int order[3] = {0, 1, 2}; // field index of month, day, year
    if (posM >= 0 && posD >= 0 && posY >= 0) {
        order[0] = (posM > posD) + (posM > posY);
        order[1] = (posD > posM) + (posD > posY);
        order[2] = (posY > posM) + (posY > posD);
    }
    const int month = m.captured(1 + order[0]).toInt();
    const int day = m.captured(1 + order[1]).toInt();
    const QString yearText = m.captured(1 + order[2]);
    int year = yearText.toInt();
    if (yearText.size() <= 2)
        year += year < 30 ? 2000 : 1900;
    else if (yearText.size() == 3)
        return {};
    const QDate date(year, month, day);
    return date.isValid() ? date : QDate();
}

} // namespace brandle::LocaleText

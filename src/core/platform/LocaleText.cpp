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

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// The marks that may stand between groups of three digits. The blanks count as one mark, so a
// page may mix a plain and a no-break space.
QChar groupMark(QChar c)
{
    switch (c.unicode()) {
    case u',':
    case u'.':
    case u'\'':
        return c;
    case 0x2019: // right single quotation mark, the Swiss apostrophe
        return QChar(u'\'');
    case u' ':
    case 0x00A0: // no-break space
    case 0x2009: // thin space
    case 0x202F: // narrow no-break space
        return QChar(u' ');
    default:
        return QChar();
    }
}

qsizetype digitRun(const QString& text, qsizetype from, qsizetype end)
{
    qsizetype i = from;
    while (i < end && isAsciiDigit(text.at(i)))
        ++i;
    return i - from;
}

// Parses the numeric text into a C-locale number text ("-1234.5e3"); empty when not numeric.
// The rule is the same under every locale: a mark between digits is a group separator when the
// digits before it are a first group of one to three digits (or earlier groups) and exactly
// three digits follow it; every group separator of a number is the same mark. A "." or ","
// that is not such a separator is the decimal mark.
QString normalizedNumber(const QString& text)
{
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
    const qsizetype lead = digitRun(text, i, end);
    out += QStringView(text).mid(i, lead);
    i += lead;
    int digits = int(lead);

    QChar separator; // the group separator once one was seen
    bool grouping = lead >= 1 && lead <= 3;
    while (grouping && i < end) {
        const QChar mark = groupMark(text.at(i));
        if (mark.isNull() || (!separator.isNull() && mark != separator))
            break;
        if (digitRun(text, i + 1, end) != 3)
            break;
        separator = mark;
        out += QStringView(text).mid(i + 1, 3);
        digits += 3;
        i += 4;
    }
    if (i < end && (text.at(i) == u'.' || text.at(i) == u',') && text.at(i) != separator) {
        // "12." and ".5" are numbers; "." alone is not.
        const qsizetype fraction = digitRun(text, i + 1, end);
        out += u'.';
        out += QStringView(text).mid(i + 1, fraction);
        i += 1 + fraction;
        digits += int(fraction);
    }
    if (digits == 0)
        return {};
    if (i < end && (text.at(i) == u'e' || text.at(i) == u'E')) {
        out += u'e';
        ++i;
        if (i < end && (text.at(i) == u'+' || text.at(i) == u'-'))
            out += text.at(i++);
        const qsizetype exponent = digitRun(text, i, end);
        if (exponent == 0)
            return {};
        out += QStringView(text).mid(i, exponent);
        i += exponent;
    }
    return i == end ? out : QString();
}

// "1,234,567", "-999": the one form in which counts are written.
bool isWrittenCount(const QString& text)
{
    const qsizetype end = text.size();
    qsizetype i = text.startsWith(u'-') ? 1 : 0;
    const qsizetype lead = digitRun(text, i, end);
    if (lead < 1 || lead > 3)
        return false;
    for (i += lead; i < end; i += 4) {
        if (text.at(i) != u',' || digitRun(text, i + 1, end) != 3)
            return false;
    }
    return true;
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
    const QLocale user; // the system's locale unless the program set another
    if (user.language() == QLocale::C)
        return QLocale(QLocale::English, QLocale::UnitedStates);
    return user;
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
    // A whole number (the usual case, and cheap): the same value without a floating-point parse.
    const bool negative = number.startsWith(u'-');
    const qsizetype firstDigit = number.startsWith(u'+') || negative ? 1 : 0;
    if (number.size() - firstDigit <= 18) {
        qint64 whole = 0;
        qsizetype i = firstDigit;
        while (i < number.size() && number.at(i).isDigit())
            whole = whole * 10 + (number.at(i++).unicode() - u'0');
        if (i == number.size()) {
            whole = negative ? -whole : whole;
            if (whole < std::numeric_limits<qint32>::min() ||
                whole > std::numeric_limits<qint32>::max())
                throw BrandleError(ErrorCode::Overflow, text);
            return static_cast<qint32>(whole);
        }
    }
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
    const QString digits = QString::number(value < 0 ? -quint64(value) : quint64(value));
    QString out = value < 0 ? u"-"_s : QString();
    for (qsizetype i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += u',';
        out += digits.at(i);
    }
    return out;
}

std::optional<qint32> parseLoggedCount(const QString& text)
{
    // Earlier builds wrote counts as the user's locale prints them: "1’234’567" (de-CH),
    // "12,34,567" (en-IN), "1234.567" (es-ES, 1,234,567), Arabic-Indic digits (ar-EG).
    if (!isWrittenCount(text)) {
        bool ok = false;
        const qlonglong value = locale().toLongLong(text, &ok);
        if (ok) {
            if (value < std::numeric_limits<qint32>::min() ||
                value > std::numeric_limits<qint32>::max())
                return std::nullopt;
            return qint32(value);
        }
    }
    try {
        return toInt32(text);
    } catch (const BrandleError&) {
        return std::nullopt;
    }
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

    // A four-digit first field is a year, followed by month and day (ISO 8601 order).
    if (m.capturedLength(1) == 4) {
        const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
        return date.isValid() ? date : QDate();
    }

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

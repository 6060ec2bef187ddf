// SPDX-License-Identifier: MIT
#include "log/LinkLog.h"

#include "platform/Clock.h"
#include "platform/Errors.h"
#include "platform/LocaleText.h"
#include "platform/Paths.h"
#include "platform/Xml.h"
#include "platform/mConstants.h"

#include <QDir>
#include <QFile>

#include <cmath>

using namespace Qt::StringLiterals;

using namespace brandle;

namespace {

QString logFolder()
{
    return Paths::inProgramFolder(mConstants::LogFolderName);
}

QString chartElement(const QDate& day, qint64 count)
{
    return "<Element><Date>"_L1 + LocaleText::mmddyy(day) + "</Date><Count>"_L1 +
           QString::number(count) + "</Count></Element>"_L1;
}

// True for a site that a line can only spell as its own bytes: printable ASCII without blanks
// and without the characters XML escapes.
bool isPlainSite(const QByteArray& site)
{
    if (site.isEmpty())
        return false;
    for (const char c : site) {
        if (c <= ' ' || c > '~' || c == '&' || c == '<' || c == '>' || c == '"' || c == '\'')
            return false;
    }
    return true;
}

// A byte that may stand next to the site inside its attribute: the quote, a blank, or part of a
// multi-byte character (a blank beyond ASCII).
bool isSiteBoundary(char c)
{
    return c == '"' || c == '\'' || c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' ||
           c == '\f' || static_cast<unsigned char>(c) >= 0x80;
}

// Whether the line can hold a Site attribute equal to the plain site (blanks around it allowed):
// the site stands between boundaries somewhere, or the line has a character reference or a
// document type that could spell the attribute otherwise. Lines that cannot are skipped without
// parsing, which keeps long reports fast.
bool mayMention(const QByteArray& line, const QByteArray& site)
{
    if (line.contains("&#") || line.contains("<!DOCTYPE"))
        return true;
    for (qsizetype at = line.indexOf(site); at >= 0; at = line.indexOf(site, at + 1)) {
        const qsizetype end = at + site.size();
        if (at > 0 && isSiteBoundary(line.at(at - 1)) && end < line.size() &&
            isSiteBoundary(line.at(end)))
            return true;
    }
    return false;
}

} // namespace

QString brandle::linkLogFile(const QDate& day)
{
    return logFolder() + u'/' + LocaleText::mmddyy(day) + mConstants::LogFileSuffix;
}

void WriteLinkLog(const QString& resultText)
{
    if (!QDir().mkpath(logFolder()))
        throw BrandleError(ErrorCode::FileAccess, logFolder());
    const QString path = linkLogFile(Clock::instance().now().date());
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append | QIODevice::Unbuffered))
        throw BrandleError(ErrorCode::FileAccess, path);
    // A line cut short (by a crash, say) is ended first, so it cannot swallow this one.
    QByteArray line;
    if (file.size() > 0 && file.seek(file.size() - 1) && file.read(1) != "\n")
        line = "\r\n";
    line += resultText.toUtf8() + "\r\n";
    if (file.write(line) != line.size())
        throw BrandleError(ErrorCode::FileAccess, path);
}

QString ReadLinkLogDay(const QString& site, const QDate& day)
{
    const QString path = linkLogFile(day);
    QFile file(path);
    if (!file.exists())
        return chartElement(day, 0);
    if (!file.open(QIODevice::ReadOnly))
        throw BrandleError(ErrorCode::FileAccess, path);
    const QByteArray content = file.readAll();

    const QString wanted = site.trimmed();
    const QByteArray wantedBytes = wanted.toUtf8();
    const bool plain = isPlainSite(wantedBytes);
    qint64 matches = 0;
    qint64 sum = 0;
    for (const QByteArray& rawLine : content.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        if (line.isEmpty() || (plain && !mayMention(line, wantedBytes)))
            continue;
        try {
            const XmlDocument doc = XmlDocument::parse(QString::fromUtf8(line));
            const XmlNode results = doc.root();
            if (results.attribute(u"Site"_s).trimmed() != wanted)
                continue;
            const std::optional<qint32> total =
                LocaleText::parseLoggedCount(results.attribute(u"Total"_s));
            if (!total)
                continue;
            ++matches;
            sum += *total;
        } catch (const BrandleError&) {
            // A malformed line (say, cut short by a crash) costs only itself.
        }
    }
    if (sum < 1)
        return {};
    // std::nearbyint rounds halves to the even neighbour.
    return chartElement(day, qint64(std::nearbyint(double(sum) / double(matches))));
}

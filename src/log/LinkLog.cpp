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

namespace {

QString logFolder() {
    return Paths::inProgramFolder(mConstants::LogFolderName);
}

QString chartElement(const QDate& day, qint64 count) {
    return QLatin1String("<Element><Date>") + LocaleText::mmddyy(day) +
           QLatin1String("</Date><Count>") + QString::number(count) +
           QLatin1String("</Count></Element>");
}

} // namespace

QString linkLogFile(const QDate& day) {
    return logFolder() + u'/' + LocaleText::mmddyy(day) + mConstants::LogFileSuffix;
}

void WriteLinkLog(const QString& resultText) {
    if (!QDir().mkpath(logFolder()))
        throw BrandleError(ErrorCode::FileAccess, logFolder());
    const QString path = linkLogFile(Clock::instance().now().date());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        throw BrandleError(ErrorCode::FileAccess, path);
    const QByteArray line = resultText.toUtf8() + "\r\n";
    if (file.write(line) != line.size())
        throw BrandleError(ErrorCode::FileAccess, path);
}

QString ReadLinkLogDay(const QString& site, const QDate& day) {
    const QString path = linkLogFile(day);
    QFile file(path);
    if (!file.exists())
        return chartElement(day, 0);
    if (!file.open(QIODevice::ReadOnly))
        throw BrandleError(ErrorCode::FileAccess, path);
    const QByteArray content = file.readAll();

    const QString wanted = site.trimmed();
    qint64 matches = 0;
    qint64 sum = 0;
    for (const QByteArray& rawLine : content.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        if (line.isEmpty())
            continue;
        try {
            const XmlDocument doc = XmlDocument::parse(QString::fromUtf8(line));
            const XmlNode results = doc.root();
            if (results.attribute(QStringLiteral("Site")).trimmed() != wanted)
                continue;
            const qint32 total = LocaleText::toInt32(results.attribute(QStringLiteral("Total")));
            ++matches;
            sum += total;
        } catch (const BrandleError&) {
            // A malformed line (say, cut short by a crash) costs only itself.
        }
    }
    if (sum < 1)
        return {};
    // std::nearbyint rounds halves to the even neighbour.
    return chartElement(day, qint64(std::nearbyint(double(sum) / double(matches))));
}

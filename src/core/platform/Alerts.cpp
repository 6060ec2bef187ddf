// SPDX-License-Identifier: MIT
#include "platform/Alerts.h"

#include "platform/Paths.h"
#include "platform/mConstants.h"

#include <QCoreApplication>
#include <QFileInfo>

QString alertFileName(const QString& code)
{
    static const struct {
        QLatin1String code;
        QLatin1String file;
    } table[] = {
        {mConstants::AlertLinkCount, QLatin1String("LinkCount.wav")},
        {mConstants::AlertIncrease, QLatin1String("Increase.wav")},
        {mConstants::AlertDecrease, QLatin1String("Decrease.wav")},
        {mConstants::AlertWelcome, QLatin1String("Welcome.wav")},
        {mConstants::AlertExit, QLatin1String("Exit.wav")},
    };
    for (const auto& row : table) {
        if (code == row.code)
            return row.file;
    }
    return {};
}

QString alertPath(const QString& code)
{
    const QString name = alertFileName(code);
    if (name.isEmpty())
        return {};
    const QString relative = QString(mConstants::AlertsFolderName) + u'/' + name;
    QStringList folders{Paths::programFolder()};
    if (QCoreApplication::instance())
        folders << QCoreApplication::applicationDirPath();
#ifdef BRANDLE_SHARE_DIR
    folders << QStringLiteral(BRANDLE_SHARE_DIR);
#endif
    for (const QString& folder : folders) {
        const QString path = folder + u'/' + relative;
        if (QFileInfo(path).isFile())
            return path;
    }
    return {};
}

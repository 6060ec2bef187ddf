// SPDX-License-Identifier: MIT
#include "platform/Alerts.h"

#include "platform/Paths.h"
#include "platform/mConstants.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace brandle {

QString alertFileName(const QString& code)
{
    static const struct {
        QLatin1StringView code;
        QLatin1StringView file;
    } table[] = {
        {mConstants::AlertLinkCount, "LinkCount.wav"_L1},
        {mConstants::AlertIncrease, "Increase.wav"_L1},
        {mConstants::AlertDecrease, "Decrease.wav"_L1},
        {mConstants::AlertWelcome, "Welcome.wav"_L1},
        {mConstants::AlertExit, "Exit.wav"_L1},
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
    if (QCoreApplication::instance()) {
        const QString programDir = QCoreApplication::applicationDirPath();
        folders << programDir;
#ifdef BRANDLE_RELATIVE_SHARE_DIR
        // An installed copy, wherever its prefix was moved to.
        folders << QDir::cleanPath(programDir + u'/' +
                                   QLatin1StringView(BRANDLE_RELATIVE_SHARE_DIR));
#endif
    }
#ifdef BRANDLE_SHARE_DIR
    folders << QString::fromUtf8(BRANDLE_SHARE_DIR);
#endif
    for (const QString& folder : folders) {
        const QString path = folder + u'/' + relative;
        if (QFileInfo(path).isFile())
            return path;
    }
    return {};
}

} // namespace brandle

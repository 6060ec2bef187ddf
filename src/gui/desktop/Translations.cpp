// SPDX-License-Identifier: MIT
#include "desktop/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

namespace brandle {

namespace {

std::vector<std::unique_ptr<QTranslator>>& installed()
{
    static std::vector<std::unique_ptr<QTranslator>> translators;
    return translators;
}

QStringList brandleFolders()
{
    const QString programDir = QCoreApplication::applicationDirPath();
    QStringList folders{programDir + "/translations"_L1};
#ifdef BRANDLE_RELATIVE_TRANSLATIONS_DIR
    // From bin/, and from lib/brandle/ where brandle-web is installed.
    folders << programDir + u'/' + QString::fromUtf8(BRANDLE_RELATIVE_TRANSLATIONS_DIR)
            << programDir + "/../"_L1 + QString::fromUtf8(BRANDLE_RELATIVE_TRANSLATIONS_DIR);
#endif
#ifdef BRANDLE_TRANSLATIONS_DIR
    folders << QString::fromUtf8(BRANDLE_TRANSLATIONS_DIR);
#endif
    return folders;
}

} // namespace

QStringList installTranslations(const QLocale& locale)
{
    removeTranslations();
    QStringList loaded;
    const auto load = [&](const QString& name, const QStringList& folders) {
        for (const QString& folder : folders) {
            auto translator = std::make_unique<QTranslator>();
            if (translator->load(locale, name, u"_"_s, folder)) {
                loaded << translator->filePath();
                QCoreApplication::installTranslator(translator.get());
                installed().push_back(std::move(translator));
                return true;
            }
        }
        return false;
    };
    // Qt's standard buttons ("OK", "Cancel") follow only when Brandle speaks the language too.
    if (load(u"brandle"_s, brandleFolders()))
        load(u"qtbase"_s, {QLibraryInfo::path(QLibraryInfo::TranslationsPath)});
    return loaded;
}

void removeTranslations()
{
    for (const auto& translator : installed())
        QCoreApplication::removeTranslator(translator.get());
    installed().clear();
}

} // namespace brandle

// SPDX-License-Identifier: MIT
#include "TestMain.h"
#include "TestSupport.h"

#include "desktop/Translations.h"
#include "forms/frmSettings.h"
#include "tray/TrayIcon.h"

#include <QAbstractButton>
#include <QMenu>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace brandle;

namespace {

// The access keys of the captions ("Chec&k" gives "k"), lower case; "&&" is no key.
QStringList accessKeys(const QStringList& captions)
{
    QStringList keys;
    for (const QString& caption : captions) {
        const qsizetype at = QString(caption).replace("&&"_L1, "__"_L1).indexOf(u'&');
        if (at >= 0 && at + 1 < caption.size())
            keys << caption.mid(at + 1, 1).toLower();
    }
    return keys;
}

} // namespace

// The German translation is found beside the program and used; other languages stay English.
class TestTranslations : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { removeTranslations(); }

    void language_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<bool>("loaded");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("check");
        QTest::newRow("German") << u"de_DE"_s << true << u"Brandle - Linkpopularität prüfen"_s
                                << u"&Prüfen"_s;
        QTest::newRow("Austrian German")
            << u"de_AT"_s << true << u"Brandle - Linkpopularität prüfen"_s << u"&Prüfen"_s;
        QTest::newRow("French: none, English stays")
            << u"fr_FR"_s << false << u"Brandle - Link Popularity Checker"_s << u"Chec&k"_s;
    }
    void language()
    {
        QFETCH(QString, locale);
        QFETCH(bool, loaded);
        QFETCH(QString, title);
        QFETCH(QString, check);
        const QStringList files = installTranslations(QLocale(locale));
        QCOMPARE(files.filter(u"brandle_de.qm"_s).size(), loaded ? 1 : 0);
        frmSettings w;
        QCOMPARE(w.windowTitle(), title);
        QCOMPARE(w.findChild<QAbstractButton*>(u"cmdView"_s)->text(), check);
    }

    // Within the settings window no two buttons share an access key, in either language; in the
    // tray menu the German captions differ too (the English ones are as described, with "R" and
    // "C" twice).
    void accessKeysDiffer_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<int>("menuKeys"); // different keys in the tray menu, of 7
        QTest::newRow("English") << u"C"_s << 5;
        QTest::newRow("German") << u"de_DE"_s << 7;
    }
    void accessKeysDiffer()
    {
        QFETCH(QString, locale);
        QFETCH(int, menuKeys);
        installTranslations(QLocale(locale));
        frmSettings w;
        QStringList buttons;
        for (const char* name : {"cmdView", "cmdSave", "cmdClose", "cmdExit", "cmdGetReport"})
            buttons << w.findChild<QAbstractButton*>(QLatin1StringView(name))->text();
        QStringList keys = accessKeys(buttons);
        QCOMPARE(keys.size(), 5);
        keys.removeDuplicates();
        QCOMPARE(keys.size(), 5);

        TrayIcon tray;
        QStringList items;
        for (QAction* action : tray.menu()->actions())
            items << action->text();
        keys = accessKeys(items);
        QCOMPARE(keys.size(), 7);
        keys.removeDuplicates();
        QCOMPARE(keys.size(), menuKeys);
    }
};

BRANDLE_TEST(TestTranslations)
#include "tst_translations.moc"

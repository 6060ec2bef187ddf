// SPDX-License-Identifier: MIT
#include "TestMain.h"
#include "TestSupport.h"

#include "desktop/Icon.h"

#include <QDir>
#include <QIcon>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace brandle;

// The window and tray icon: the one the icon theme holds for "brandle" (where an installation
// puts it), else the program's own drawing, never an empty icon.
class TestIcon : public QObject {
    Q_OBJECT
    QStringList m_searchPaths;
    QString m_themeName;

private slots:
    void initTestCase()
    {
        m_searchPaths = QIcon::themeSearchPaths();
        m_themeName = QIcon::themeName();
    }
    void cleanupTestCase()
    {
        QIcon::setThemeSearchPaths(m_searchPaths);
        QIcon::setThemeName(m_themeName);
    }

    void themeOrDrawn_data()
    {
        QTest::addColumn<bool>("installed");
        QTest::newRow("installed into the theme") << true;
        QTest::newRow("not installed") << false;
    }
    void themeOrDrawn()
    {
        QFETCH(bool, installed);
        QTemporaryDir icons;
        QVERIFY(writeFile(icons.filePath(u"hicolor/index.theme"_s),
                          "[Icon Theme]\nName=Hicolor\nDirectories=48x48/apps\n\n"
                          "[48x48/apps]\nSize=48\nContext=Applications\nType=Fixed\n"));
        QImage green(48, 48, QImage::Format_ARGB32);
        green.fill(Qt::green);
        QVERIFY(QDir().mkpath(icons.filePath(u"hicolor/48x48/apps"_s)));
        if (installed)
            QVERIFY(green.save(icons.filePath(u"hicolor/48x48/apps/brandle.png"_s)));
        QIcon::setThemeSearchPaths({icons.path()});
        QIcon::setThemeName(u"hicolor"_s);

        const QIcon icon = brandleIcon();
        QVERIFY(!icon.isNull());
        const QImage shown = icon.pixmap(48, 48).toImage().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(shown.size(), QSize(48, 48));
        QCOMPARE(shown == green, installed);
        // The drawing has every size a tray or a window asks for.
        if (!installed)
            QCOMPARE(icon.availableSizes().size(), 7);
    }
};

BRANDLE_TEST(TestIcon)
#include "tst_icon.moc"

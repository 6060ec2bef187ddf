// SPDX-License-Identifier: MIT
#include "TestMain.h"

#include "windows/TrayTip.h"

#include <QHash>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace brandle;

class TestTray : public QObject {
    Q_OBJECT
private slots:
    void tip_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("tip");
        const QString head = u"Brandle\r\nURL: "_s; // 14 characters
        QTest::newRow("as typed") << u"HTTP://Example.COM"_s << head + u"HTTP://Example.COM"_s;
        QTest::newRow("cut at 64")
            << u"http://"_s + QString(70, u'a') << head + u"http://"_s + QString(43, u'a');
        QTest::newRow("exactly 64") << QString(50, u'b') << head + QString(50, u'b');
    }
    void tip()
    {
        QFETCH(QString, url);
        QFETCH(QString, tip);
        QCOMPARE(trayTip(url), tip);
    }

    // Rebuilds "limit:k=value,..." (for the stored "URLGet<k>") separated by ";"; the visible items
    // from top to bottom as caption, "/tag" when the tag differs, "+" first when the submenu shows.
    void recentLookups_data()
    {
        QTest::addColumn<QString>("rebuilds");
        QTest::addColumn<QString>("visible");
        // clang-format off
        QTest::newRow("A to E") << "5:1=A,2=B,3=C,4=D,5=E" << "+E,D,C,B,A";
        QTest::newRow("empty store") << "5:" << "History 5/";
        QTest::newRow("only a middle key") << "5:3=C" << "+C";
        QTest::newRow("keys above the limit ignored") << "2:5=E,1=A" << "+A";
        QTest::newRow("bottom caption kept once nothing is stored") << "5:1=A;5:" << "A";
        // clang-format on
    }
    void recentLookups()
    {
        QFETCH(QString, rebuilds);
        QFETCH(QString, visible);
        RecentLookupsMenu menu;
        for (const QString& rebuild : rebuilds.split(u';')) {
            const int limit = rebuild.section(u':', 0, 0).toInt();
            QStringList store(limit);
            for (const QString& pair : rebuild.section(u':', 1).split(u',', Qt::SkipEmptyParts)) {
                const int k = pair.section(u'=', 0, 0).toInt();
                if (k <= limit)
                    store[k - 1] = pair.section(u'=', 1);
            }
            menu.rebuild(limit, store);
        }
        QStringList shown;
        for (int i = 0; i < 5; ++i) {
            const RecentLookupsMenu::Item& item = menu.item(i);
            if (item.visible)
                shown << (item.tag == item.caption ? item.caption : item.caption + u'/' + item.tag);
        }
        QCOMPARE((menu.submenuVisible() ? u"+"_s : QString()) + shown.join(u','), visible);
    }
};

BRANDLE_TEST(TestTray)
#include "tst_traytip.moc"

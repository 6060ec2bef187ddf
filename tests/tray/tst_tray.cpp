// SPDX-License-Identifier: MIT
#include "TestMain.h"

#include "tray/TrayTip.h"

#include <QHash>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

class TestTray : public QObject {
    Q_OBJECT
private slots:
    void tip_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("tip");
        QTest::newRow("as typed") << "HTTP://Example.COM"
                                  << "Brandle\r\nURL: HTTP://Example.COM";
        QTest::newRow("empty") << ""
                               << "Brandle\r\nURL: ";
        const QString name70 = QString(70, u'a');
        // 14 characters of "Brandle\r\nURL: " + "http://" leave 43 of the name.
        QTest::newRow("70-character name cut at 64")
            << u"http://"_s + name70 << u"Brandle\r\nURL: http://"_s + QString(43, u'a');
        QTest::newRow("exactly 64")
            << QString(50, u'b') << u"Brandle\r\nURL: "_s + QString(50, u'b');
    }
    void tip()
    {
        QFETCH(QString, url);
        QFETCH(QString, tip);
        QCOMPARE(trayTip(url), tip);
        QVERIFY(trayTip(url).size() <= 64);
    }

    // Stored "URLGet1".."URLGet5" as "k=value" pairs; the expected captions of the visible
    // items from top to bottom.
    void recentLookups_data()
    {
        QTest::addColumn<QString>("history");
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<bool>("submenu");
        QTest::addColumn<QStringList>("visible");
        QTest::newRow("A and B") << "5" << QStringList{u"1=A"_s, u"2=B"_s} << true
                                 << QStringList{u"B"_s, u"A"_s};
        QTest::newRow("A to E") << "5"
                                << QStringList{u"1=A"_s, u"2=B"_s, u"3=C"_s, u"4=D"_s, u"5=E"_s}
                                << true << QStringList{u"E"_s, u"D"_s, u"C"_s, u"B"_s, u"A"_s};
        QTest::newRow("empty store")
            << "5" << QStringList{} << false << QStringList{u"History 5"_s};
        QTest::newRow("only a middle key")
            << "5" << QStringList{u"3=C"_s} << true << QStringList{u"C"_s};
        QTest::newRow("keys above the limit ignored")
            << "2" << QStringList{u"5=E"_s, u"1=A"_s} << true << QStringList{u"A"_s};
    }
    void recentLookups()
    {
        QFETCH(QString, history);
        QFETCH(QStringList, stored);
        QFETCH(bool, submenu);
        QFETCH(QStringList, visible);
        QHash<int, QString> store;
        for (const QString& pair : stored)
            store.insert(pair.section(u'=', 0, 0).toInt(), pair.section(u'=', 1));
        RecentLookupsMenu menu;
        menu.rebuild(history, [&](int k) { return store.value(k); });
        QCOMPARE(menu.submenuVisible(), submenu);
        QStringList shown;
        for (int i = 0; i < 5; ++i) {
            if (menu.item(i).visible)
                shown << menu.item(i).caption;
        }
        QCOMPARE(shown, visible);
        for (int i = 0; i < 5; ++i) {
            if (menu.item(i).visible && store.values().contains(menu.item(i).caption))
                QCOMPARE(menu.item(i).tag, menu.item(i).caption);
        }
    }

    // The bottom item keeps the caption of an earlier rebuild when nothing is stored any more.
    void captionsPersist()
    {
        RecentLookupsMenu menu;
        menu.rebuild(u"5"_s, [](int k) { return k == 1 ? u"A"_s : QString(); });
        menu.rebuild(u"5"_s, [](int) { return QString(); });
        QVERIFY(!menu.submenuVisible());
        QCOMPARE(menu.item(4).caption, u"A"_s);
        QCOMPARE(menu.item(4).tag, u"A"_s);
    }
};

BRANDLE_TEST(TestTray)
#include "tst_tray.moc"

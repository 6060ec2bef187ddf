// SPDX-License-Identifier: MIT
#include "TestMain.h"

#include "windows/TrayTip.h"

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

    // Successive rebuilds, each from the stored "URLGet1", "URLGet2" ... ("" for none); the
    // visible items from top to bottom as "caption" or "caption/tag" when the two differ.
    void recentLookups_data()
    {
        QTest::addColumn<int>("limit");
        QTest::addColumn<QList<QStringList>>("rebuilds");
        QTest::addColumn<bool>("submenu");
        QTest::addColumn<QStringList>("visible");
        const QStringList none;
        // clang-format off
        QTest::newRow("A to E") << 5
            << QList<QStringList>{{u"A"_s, u"B"_s, u"C"_s, u"D"_s, u"E"_s}}
            << true << QStringList{u"E"_s, u"D"_s, u"C"_s, u"B"_s, u"A"_s};
        QTest::newRow("A and B") << 5 << QList<QStringList>{{u"A"_s, u"B"_s}}
            << true << QStringList{u"B"_s, u"A"_s};
        QTest::newRow("empty store") << 5 << QList<QStringList>{none}
            << false << QStringList{u"History 5/"_s};
        QTest::newRow("only a middle key") << 5 << QList<QStringList>{{{}, {}, u"C"_s}}
            << true << QStringList{u"C"_s};
        QTest::newRow("keys above the limit ignored") << 2
            << QList<QStringList>{{u"A"_s, {}, {}, {}, u"E"_s}} << true << QStringList{u"A"_s};
        QTest::newRow("bottom caption kept once nothing is stored") << 5
            << QList<QStringList>{{u"A"_s}, none} << false << QStringList{u"A"_s};
        // clang-format on
    }
    void recentLookups()
    {
        QFETCH(int, limit);
        QFETCH(QList<QStringList>, rebuilds);
        QFETCH(bool, submenu);
        QFETCH(QStringList, visible);
        RecentLookupsMenu menu;
        for (const QStringList& stored : rebuilds)
            menu.rebuild(limit, stored);
        QStringList shown;
        for (int i = 0; i < 5; ++i) {
            const RecentLookupsMenu::Item& item = menu.item(i);
            if (item.visible)
                shown << (item.tag == item.caption ? item.caption : item.caption + u'/' + item.tag);
        }
        QCOMPARE(menu.submenuVisible(), submenu);
        QCOMPARE(shown, visible);
    }
};

BRANDLE_TEST(TestTray)
#include "tst_traytip.moc"

// SPDX-License-Identifier: MIT
#include "TestMain.h"

#include "windows/SlideState.h"
#include "windows/TrayTip.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace brandle;

class TestWindows : public QObject {
    Q_OBJECT
private slots:
    // Slides in, holds a period (one more for activity while it holds) and slides out.
    void slide_data()
    {
        QTest::addColumn<int>("activePeriods");
        QTest::addColumn<bool>("activeWhileSliding");
        QTest::addColumn<int>("holdPeriods");
        QTest::newRow("no activity holds once") << 0 << false << 1;
        QTest::newRow("activity extends by one period") << 1 << false << 2;
        QTest::newRow("activity while sliding in") << 0 << true << 1;
    }
    void slide()
    {
        QFETCH(int, activePeriods);
        QFETCH(bool, activeWhileSliding);
        SlideState s; // on a screen 15360 twips wide
        s.lWinWidth = 3375;
        s.lWinDuration = 5000;
        s.lWinSpeed = 10;
        s.lWinSlide = 150;
        s.show(15360);
        QCOMPARE(s.left(), 18935.0);
        s.tick();
        if (activeWhileSliding)
            s.noteActivity();
        int ticks = 1;
        for (; s.interval() != 5000 && ticks < 1000; ++ticks)
            s.tick();
        // 48 steps of 150 reach 11735, the first left edge <= 11785; the 49th tick rests.
        QCOMPARE(ticks, 49);
        QCOMPARE(s.left(), 11735.0);
        int periods = 0;
        while (s.lSlideState == 1 && ++periods < 100) {
            if (periods <= activePeriods)
                s.noteActivity();
            s.tick();
        }
        QTEST(periods, "holdPeriods");
        for (ticks = 0; !s.unloadRequested() && ticks < 1000; ++ticks)
            s.tick();
        QCOMPARE(ticks, 25); // 11735 + 25 * 150 = 15485, the first left edge >= 15360
        QVERIFY(!s.timerRunning());
    }

    void tip_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("tip");
        const QString head = u"Brandle\r\nURL: "_s; // 14 characters
        QTest::newRow("cut at 64")
            << u"http://"_s + QString(70, u'a') << head + u"http://"_s + QString(43, u'a');
        QTest::newRow("exactly 64") << QString(50, u'b') << head + QString(50, u'b');
    }
    void tip()
    {
        QFETCH(QString, url);
        QTEST(trayTip(url), "tip");
    }

    // Rebuilds from the stored "URLGet1".. ("": none); visible items as "caption[/tag]".
    void recentLookups_data()
    {
        QTest::addColumn<int>("limit");
        QTest::addColumn<QList<QStringList>>("rebuilds");
        QTest::addColumn<bool>("submenu");
        QTest::addColumn<QStringList>("visible");
        const QStringList none;
        QTest::newRow("A to E") << 5 << QList<QStringList>{{u"A"_s, u"B"_s, u"C"_s, u"D"_s, u"E"_s}}
                                << true << QStringList{u"E"_s, u"D"_s, u"C"_s, u"B"_s, u"A"_s};
        QTest::newRow("empty store")
            << 5 << QList<QStringList>{none} << false << QStringList{u"History 5/"_s};
        QTest::newRow("only a middle key")
            << 5 << QList<QStringList>{{{}, {}, u"C"_s}} << true << QStringList{u"C"_s};
        QTest::newRow("keys above the limit ignored")
            << 2 << QList<QStringList>{{u"A"_s, {}, {}, {}, u"E"_s}} << true << QStringList{u"A"_s};
        QTest::newRow("bottom caption kept once nothing is stored")
            << 5 << QList<QStringList>{{u"A"_s}, none} << false << QStringList{u"A"_s};
    }
    void recentLookups()
    {
        QFETCH(int, limit);
        QFETCH(QList<QStringList>, rebuilds);
        RecentLookupsMenu menu;
        for (const QStringList& stored : rebuilds)
            menu.rebuild(limit, stored);
        QStringList shown;
        for (int i = 0; i < 5; ++i) {
            const RecentLookupsMenu::Item& item = menu.item(i);
            if (item.visible)
                shown << (item.tag == item.caption ? item.caption : item.caption + u'/' + item.tag);
        }
        QTEST(menu.submenuVisible(), "submenu");
        QTEST(shown, "visible");
    }
};

BRANDLE_TEST(TestWindows)
#include "tst_windows.moc"

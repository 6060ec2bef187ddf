// SPDX-License-Identifier: MIT
#include "TestMain.h"

#include "windows/SlideState.h"

#include <QTest>

using namespace brandle;

// WinWidth 3375, WinSlide 150, WinDuration 5000 on a screen 15360 twips wide.
static SlideState shownWindow(qint32 speed)
{
    SlideState s;
    s.lWinWidth = 3375;
    s.lWinDuration = 5000;
    s.lWinSpeed = speed;
    s.lWinSlide = 150;
    s.show(15360);
    return s;
}

class TestSlide : public QObject {
    Q_OBJECT
private slots:
    // Activity while the window slides in is cleared when it arrives.
    void slideInHoldAndLeave_data()
    {
        QTest::addColumn<int>("activePeriods");
        QTest::addColumn<bool>("activeWhileSliding");
        QTest::addColumn<int>("holdPeriods");
        QTest::newRow("no activity holds once") << 0 << false << 1;
        QTest::newRow("activity extends by one period") << 1 << false << 2;
        QTest::newRow("activity while sliding in") << 0 << true << 1;
    }
    void slideInHoldAndLeave()
    {
        QFETCH(int, activePeriods);
        QFETCH(bool, activeWhileSliding);
        QFETCH(int, holdPeriods);
        SlideState s = shownWindow(10);
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
        QCOMPARE(periods, holdPeriods);

        for (ticks = 0; !s.unloadRequested() && ticks < 1000; ++ticks)
            s.tick();
        QCOMPARE(ticks, 25); // 11735 + 25 * 150 = 15485, the first left edge >= 15360
        QVERIFY(!s.timerRunning());
    }

    void zeroSpeedStopsAtTheFirstTick()
    {
        SlideState s = shownWindow(0);
        s.tick();
        QVERIFY(!s.timerRunning());
        QCOMPARE(s.left(), 18785.0);
    }
};

BRANDLE_TEST(TestSlide)
#include "tst_slide.moc"

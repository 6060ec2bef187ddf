// SPDX-License-Identifier: MIT
#include "TestMain.h"

#include "windows/SlideState.h"

#include <QTest>

namespace {

// WinWidth 3375, WinSlide 150, WinSpeed 10, WinDuration 5000 on a screen 15360 twips wide.
constexpr double ScreenWidth = 15360;

SlideState shownWindow(qint32 speed = 10)
{
    SlideState s;
    s.lWinWidth = 3375;
    s.lWinHeight = 4380;
    s.lWinDuration = 5000;
    s.lWinSpeed = speed;
    s.lWinSlide = 150;
    s.show(ScreenWidth);
    return s;
}

// Ticks until the window holds at its resting place (interval == WinDuration); returns the count.
int tickUntilHolding(SlideState& s)
{
    int ticks = 0;
    do {
        s.tick();
        ++ticks;
    } while (s.interval() != s.lWinDuration && ticks < 1000);
    return ticks;
}

} // namespace

class TestSlide : public QObject {
    Q_OBJECT
private slots:
    void slidesInHoldsOnceAndLeaves()
    {
        SlideState s = shownWindow();
        QCOMPARE(s.lSlideState, 1);
        QCOMPARE(s.left(), 18935.0);

        // 48 steps of 150 bring the left edge from 18935 to 11735, the first value <= 11785;
        // the 49th tick finds the resting place.
        QCOMPARE(tickUntilHolding(s), 49);
        QCOMPARE(s.left(), 11735.0);
        QCOMPARE(s.lSlideState, 1);
        QVERIFY(!s.bJustLoaded);

        // No activity during the hold: the slide-out starts at once.
        s.tick();
        QCOMPARE(s.lSlideState, 2);
        QCOMPARE(s.interval(), 1);
        QCOMPARE(s.left(), 11735.0);

        int ticks = 0;
        while (!s.unloadRequested() && ticks < 1000) {
            s.tick();
            ++ticks;
            if (!s.unloadRequested())
                QCOMPARE(s.interval(), 10);
        }
        QCOMPARE(ticks, 25); // 11735 + 25 * 150 = 15485, the first value >= 15360
        QCOMPARE(s.left(), 15485.0);
        QVERIFY(!s.timerRunning());
    }

    // Activity during a hold period keeps the window for one more period; activity while it
    // slides in does not count, as the first arrival clears it.
    void activityExtendsTheHold_data()
    {
        QTest::addColumn<int>("activePeriods");
        QTest::addColumn<bool>("activeWhileSliding");
        QTest::addColumn<int>("holdPeriods");
        QTest::newRow("no activity") << 0 << false << 1;
        QTest::newRow("typing in the first period") << 1 << false << 2;
        QTest::newRow("typing in three periods") << 3 << false << 4;
        QTest::newRow("activity while sliding in") << 0 << true << 1;
    }
    void activityExtendsTheHold()
    {
        QFETCH(int, activePeriods);
        QFETCH(bool, activeWhileSliding);
        QFETCH(int, holdPeriods);
        SlideState s = shownWindow();
        s.tick();
        if (activeWhileSliding)
            s.noteActivity();
        tickUntilHolding(s);
        int periods = 0;
        while (s.lSlideState == 1 && periods < 100) {
            ++periods;
            QCOMPARE(s.interval(), 5000);
            QCOMPARE(s.left(), 11735.0);
            if (periods <= activePeriods)
                s.noteActivity();
            s.tick();
        }
        QCOMPARE(periods, holdPeriods);
        QCOMPARE(s.lSlideState, 2);
    }

    // An interval of 0 stops the timer; nothing starts it again.
    void zeroSpeedStopsTheTimer_data()
    {
        QTest::addColumn<bool>("shown");
        QTest::addColumn<double>("left");
        QTest::newRow("tick before the window is shown") << false << 0.0;
        QTest::newRow("WinSpeed 0") << true << 18785.0;
    }
    void zeroSpeedStopsTheTimer()
    {
        QFETCH(bool, shown);
        QFETCH(double, left);
        SlideState s = shown ? shownWindow(0) : SlideState();
        QVERIFY(s.timerRunning());
        QCOMPARE(s.interval(), SlideState::DesignInterval);
        s.tick();
        QVERIFY(!s.timerRunning());
        QCOMPARE(s.left(), left);
        QVERIFY(!s.unloadRequested());
    }

    // Showing again while holding puts the window beyond the edge once more; the hold given by
    // loading is not given again, so without activity it leaves as soon as it arrives.
    void showingAgainGivesNoLoadHold()
    {
        SlideState s = shownWindow();
        tickUntilHolding(s);
        s.show(ScreenWidth);
        QCOMPARE(s.left(), 18935.0);
        int ticks = 0;
        while (s.lSlideState == 1 && ticks < 1000) {
            s.tick();
            ++ticks;
        }
        QCOMPARE(ticks, 49);
        QCOMPARE(s.interval(), 1);
    }
};

BRANDLE_TEST(TestSlide)
#include "tst_slide.moc"

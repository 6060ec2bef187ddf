// SPDX-License-Identifier: MIT
#include "TestMain.h"

#include "settings/AutoCheck.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {
QDateTime at(int h, int m, int s)
{
    return QDateTime(QDate(2026, 12, 6), QTime(h, m, s));
}
} // namespace

class TestAutoCheck : public QObject {
    Q_OBJECT
private slots:
    void ticks_data()
    {
        QTest::addColumn<QString>("site");
        QTest::addColumn<QString>("sleep");
        QTest::addColumn<QString>("autoCheck");
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<bool>("check");
        QTest::addColumn<int>("interval");
        QTest::addColumn<QString>("sleepAfter");
        QTest::newRow("no site: nothing, interval kept") << ""
                                                         << ""
                                                         << "1" << at(12, 0, 0) << false << 0 << "";
        QTest::newRow("60 at 12:59:40") << "a.com"
                                        << "60"
                                        << "1" << at(12, 59, 40) << false << 50000 << "60";
        QTest::newRow("60 at 13:00:30") << "a.com"
                                        << "60"
                                        << "1" << at(13, 0, 30) << true << 50000 << "60";
        QTest::newRow("empty becomes 30, checks at :30")
            << "a.com"
            << ""
            << "1" << at(12, 30, 5) << true << 50000 << "30";
        QTest::newRow("text becomes 30") << "a.com"
                                         << "often"
                                         << "1" << at(12, 15, 0) << false << 50000 << "30";
        QTest::newRow("7 at :56") << "a.com"
                                  << "7"
                                  << "1" << at(9, 56, 0) << true << 50000 << "7";
        QTest::newRow("7 at :57") << "a.com"
                                  << "7"
                                  << "1" << at(9, 57, 0) << false << 50000 << "7";
        QTest::newRow("15.5 rounds to 16") << "a.com"
                                           << "15.5"
                                           << "1" << at(9, 32, 0) << true << 50000 << "15.5";
        QTest::newRow("0 taken as 30") << "a.com"
                                       << "0"
                                       << "1" << at(9, 30, 0) << true << 50000 << "0";
        QTest::newRow("negative taken as 30") << "a.com"
                                              << "-5"
                                              << "1" << at(9, 10, 0) << false << 50000 << "-5";
        QTest::newRow("checks saved off") << "a.com"
                                          << "60"
                                          << "0" << at(13, 0, 0) << false << 50000 << "60";
        QTest::newRow("checks never saved") << "a.com"
                                            << "60"
                                            << "" << at(13, 0, 0) << false << 50000 << "60";
    }
    void ticks()
    {
        QFETCH(QString, site);
        QFETCH(QString, sleep);
        QFETCH(QString, autoCheck);
        QFETCH(QDateTime, now);
        QFETCH(bool, check);
        QFETCH(int, interval);
        QFETCH(QString, sleepAfter);
        clsProps props;
        props.setURLName(site);
        props.setSleepTime(sleep);
        props.setAutoCheck(autoCheck);
        AutoCheck autoChecker;
        const AutoCheck::Tick tick = autoChecker.tick(props, now, false);
        QCOMPARE(tick.check, check);
        QCOMPARE(tick.interval, interval);
        QCOMPARE(props.SleepTime(), sleepAfter);
    }

    // Two ticks in one checking minute run one check; the next checking minute runs again.
    void oneCheckPerCheckingMinute()
    {
        clsProps props;
        props.setURLName(u"a.com"_s);
        props.setSleepTime(u"30"_s);
        props.setAutoCheck(u"1"_s);
        AutoCheck autoChecker;
        QVERIFY(autoChecker.tick(props, at(12, 30, 5), false).check);
        QVERIFY(!autoChecker.tick(props, at(12, 30, 55), false).check);
        QVERIFY(autoChecker.tick(props, at(13, 0, 40), false).check);
        QVERIFY(autoChecker.tick(props, at(13, 30, 0), false).check);
    }

    // A tick while a lookup runs is skipped; the minute may still be checked by a later tick.
    void busyTickSkipped()
    {
        clsProps props;
        props.setURLName(u"a.com"_s);
        props.setSleepTime(u"60"_s);
        props.setAutoCheck(u"1"_s);
        AutoCheck autoChecker;
        const AutoCheck::Tick busy = autoChecker.tick(props, at(13, 0, 5), true);
        QVERIFY(!busy.check);
        QCOMPARE(busy.interval, 50000);
        QVERIFY(autoChecker.tick(props, at(13, 0, 55), false).check);
    }
};

BRANDLE_TEST(TestAutoCheck)
#include "tst_autocheck.moc"

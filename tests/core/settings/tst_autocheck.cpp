// SPDX-License-Identifier: MIT
#include "TestMain.h"

#include "settings/AutoCheck.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace brandle;

static QDateTime at(int h, int m, int s)
{
    return QDateTime(QDate(2026, 12, 6), QTime(h, m, s));
}

class TestAutoCheck : public QObject {
    Q_OBJECT
private slots:
    void ticks_data()
    {
        QTest::addColumn<QString>("sleep");
        QTest::addColumn<QString>("autoCheck");
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<bool>("check");
        QTest::addColumn<QString>("sleepAfter");
        // clang-format off
        QTest::newRow("60 at 12:59:40") << "60" << "1" << at(12, 59, 40) << false << "60";
        QTest::newRow("60 at 13:00:30") << "60" << "1" << at(13, 0, 30) << true << "60";
        QTest::newRow("empty becomes 30") << "" << "1" << at(12, 30, 5) << true << "30";
        QTest::newRow("below 1 taken as 30") << "0" << "1" << at(9, 30, 0) << true << "0";
        QTest::newRow("checks saved off") << "60" << "0" << at(13, 0, 0) << false << "60";
        // clang-format on
    }
    void ticks()
    {
        QFETCH(QString, sleep);
        QFETCH(QString, autoCheck);
        QFETCH(QDateTime, now);
        clsProps props;
        props.setURLName(u"a.com"_s);
        props.setSleepTime(sleep);
        props.setAutoCheck(autoCheck);
        QTEST(AutoCheck().tick(props, now, false).check, "check");
        QTEST(props.SleepTime(), "sleepAfter");
    }

    // One check per checking minute; a tick while a lookup runs is skipped, not the minute.
    void sequence()
    {
        clsProps props;
        props.setURLName(u"a.com"_s);
        props.setSleepTime(u"30"_s);
        props.setAutoCheck(u"1"_s);
        AutoCheck autoChecker;
        QVERIFY(autoChecker.tick(props, at(12, 30, 5), false).check);
        QVERIFY(!autoChecker.tick(props, at(12, 30, 55), false).check);
        QVERIFY(!autoChecker.tick(props, at(13, 0, 5), true).check);
        QVERIFY(autoChecker.tick(props, at(13, 0, 55), false).check);
        props.setURLName(QString()); // no site: no check, the interval left as it is
        QCOMPARE(autoChecker.tick(props, at(13, 30, 0), false).interval, 0);
    }
};

BRANDLE_TEST(TestAutoCheck)
#include "tst_autocheck.moc"

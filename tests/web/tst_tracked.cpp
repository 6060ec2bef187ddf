// SPDX-License-Identifier: MIT
#include "GuiTestSupport.h"
#include "TestMain.h"
#include "TestSupport.h"

#include "app/BrandleApp.h"
#include "log/LinkLog.h"
#include "platform/Xml.h"
#include "settings/Config.h"

#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace brandle;

// The automatic check with tracked sites, in the resident program with its web windows.
class TestTrackedSites : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        clearStore();
        oProps = clsProps();
    }

    // An automatic check counts the primary site, then each tracked site once, one lookup at a
    // time, each logged. Only the primary's page is shown, and a tracked site's whose total
    // changed; the change is told.
    void oneAfterAnother()
    {
        FakeServiceHost host;
        host.engines({counted(u"A"_s, u"1,234"_s)}).start();
        const ScopedEnv env("BRANDLE_SERVICE_HOST", host.hostPort().toUtf8());
        const QDateTime noon(QDate(2026, 3, 1), QTime(12, 0, 10));
        const ManualClock clock(noon);
        Config::setText(Setting::PrimaryUrl, u"a.com"_s);
        Config::setTrackedSites({u"b.com"_s, u"HTTP://A.com"_s, u"c.com"_s, u"b.com"_s});
        // The last runs: a.com lower, c.com lower by 1 link, b.com never counted.
        Config::setText(Setting::LastSite, u"a.com"_s);
        Config::setCount(Setting::LastTotal, 1000);
        Config::setSiteTotal(u"c.com"_s, 1233);
        Config::setCount(Setting::AlertAmount, 1);
        Config::setText(Setting::AlertPercent, u"0"_s);
        oProps.setURLName(u"a.com"_s);
        oProps.setAutoCheck(u"1"_s);
        oProps.setLogging(u"1"_s);
        oProps.setSleepTime(u"30"_s);
        oProps.setHistory(u"5"_s);

        const MessageBoxRecorder boxes;
        BrandleApp app;
        app.timer()->stop();
        app.settings()->fillFromProps();
        app.settings()->setChanged(false);
        QSignalSpy done(app.driver(), &LookupDriver::finished);
        QSignalSpy pages(app.driver(), &LookupDriver::showPage);
        QSignalSpy told(app.driver(), &LookupDriver::totalChanged);
        app.Timer_Timer();
        QVERIFY(app.driver()->isRunning());
        QCOMPARE(app.pendingTrackedSites(), (QStringList{u"b.com"_s, u"c.com"_s}));
        QTRY_COMPARE_WITH_TIMEOUT(done.size(), 3, 20000);
        QVERIFY(!app.driver()->isRunning());
        QCOMPARE(boxes.texts(), QStringList());

        QStringList logged;
        for (const QString& line : readText(linkLogFile(noon.date())).split(u"\r\n"_s)) {
            if (line.isEmpty())
                continue;
            const XmlDocument doc = XmlDocument::parse(line);
            logged << doc.root().attribute(u"Site"_s);
        }
        QCOMPARE(logged, (QStringList{u"a.com"_s, u"b.com"_s, u"c.com"_s}));
        QCOMPARE(pages.size(), 2); // a.com, and c.com, which rose by 1
        QCOMPARE(told.size(), 2);
        QCOMPARE(told.at(1), (QVariantList{u"c.com"_s, 1234, 1233}));
        // The primary site's own run stays: the tracked ones are kept apart.
        QCOMPARE(Config::text(Setting::LastSite), u"a.com"_s);
        QCOMPARE(Config::count(Setting::LastTotal), 1234);
        QCOMPARE(app.tray()->tip(), u"Brandle\r\nURL: a.com"_s);
    }
};

BRANDLE_TEST(TestTrackedSites)
#include "tst_tracked.moc"

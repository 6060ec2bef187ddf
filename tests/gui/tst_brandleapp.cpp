// SPDX-License-Identifier: MIT
#include "GuiTestSupport.h"
#include "TestMain.h"
#include "TestSupport.h"

#include "app/BrandleApp.h"
#include "platform/Store.h"
#include "platform/mConstants.h"
#include "settings/Config.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;
using namespace brandle;

// The resident program with a service host that answers "Closed": a lookup ends at once.
class TestBrandleApp : public QObject {
    Q_OBJECT
    FakeServiceHost m_host;
    std::optional<ScopedEnv> m_env;

private slots:
    void initTestCase()
    {
        m_host.status("Closed").start();
        m_env.emplace("BRANDLE_SERVICE_HOST", m_host.hostPort().toUtf8());
    }
    void init()
    {
        clearStore();
        oProps = clsProps();
    }

    // The settings show without a Primary URL; a stored one is checked only with AutoCheck "1".
    void startUp_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("autoCheck");
        QTest::addColumn<bool>("checks");
        // clang-format off
        QTest::newRow("first run") << "" << "" << false;
        QTest::newRow("AutoCheck 1") << "HTTP://Example.com" << "1" << true;
        QTest::newRow("AutoCheck never saved") << "HTTP://Example.com" << "" << false;
        // clang-format on
    }
    void startUp()
    {
        QFETCH(QString, url);
        QFETCH(QString, autoCheck);
        QFETCH(bool, checks);
        Config::setText(Setting::PrimaryUrl, url);
        Config::setText(Setting::AutoCheck, autoCheck);
        BrandleApp app;
        app.timer()->stop(); // only the start-up check counts here
        QSignalSpy done(app.driver(), &LookupDriver::finished);
        app.OpenParlo(0);
        QCOMPARE(app.settings()->isVisible(), url.isEmpty());
        QCOMPARE(app.driver()->isRunning(), checks);
        QVERIFY(!checks || done.wait(10000));
        QCOMPARE(app.tray()->tip(),
                 checks ? u"Brandle\r\nURL: HTTP://Example.com"_s : u"Brandle"_s);
        QCOMPARE(oProps.History(), u"5"_s);
        QVERIFY(!app.settings()->bChanged());
        if (url.isEmpty()) // nothing is stored until the user saves
            QCOMPARE(GetAppSetting(u"ParloApp"_s, u"EnbLog"_s), QString());
    }

    // The automatic check ticks at once, then once a second while no site is known (not every
    // millisecond), every 50 s once one is, and stays armed.
    void timerPace()
    {
        oProps.setAutoCheck(u"0"_s);
        BrandleApp app;
        QCOMPARE(app.timer()->interval(), 0);
        QVERIFY(app.timer()->isActive());
        QTRY_COMPARE(app.timer()->interval(), 1000);
        app.Timer_Timer();
        QCOMPARE(app.timer()->interval(), 1000);
        oProps.setURLName(u"a.com"_s);
        app.Timer_Timer();
        QCOMPARE(app.timer()->interval(), 50000);
        oProps.setURLName(QString());
        app.Timer_Timer();
        QCOMPARE(app.timer()->interval(), 50000);
        QVERIFY(app.timer()->isActive());
    }

    // A recent lookup is refused while the Primary URL box is empty; a double-click opens the
    // settings on "Main URL", a single click does nothing.
    void trayMenu()
    {
        const MessageBoxRecorder boxes;
        BrandleApp app;
        QStringList captions;
        for (QAction* a : app.tray()->menu()->actions())
            captions << (a->isSeparator() ? u"-"_s : a->text());
        QCOMPARE(captions.join(u'|'), u"&Refresh Count|-|Recall &Count|&Close Count|-|&URL "
                                      "Settings|&Quick Graph|&Recent Lookups|-|E&xit"_s);
        app.mnuPopHist_Click(u"example.org"_s);
        QVERIFY(boxes.texts().value(0).contains(u"Primary URL"_s));
        app.settings()->tabs()->setCurrentIndex(1);
        emit app.tray()->icon()->activated(QSystemTrayIcon::Trigger);
        QVERIFY(!app.settings()->isVisible());
        emit app.tray()->icon()->activated(QSystemTrayIcon::DoubleClick);
        QVERIFY(app.settings()->isVisible());
        QCOMPARE(app.settings()->tabs()->currentIndex(), 0);
    }

    void trayComesLate();
};

// A tray that comes late, goes and comes back: the icon follows it, and while there is none the
// settings window offers Exit, which ends the program.
void TestBrandleApp::trayComesLate()
{
    const MessageBoxRecorder boxes;
    bool trayThere = false;
    BrandleApp app;
    app.timer()->stop();
    app.tray()->setTrayProbe([&trayThere] { return trayThere; });
    app.OpenParlo(0);
    auto* exit = app.settings()->findChild<QPushButton*>(u"cmdExit"_s);
    QVERIFY(app.settings()->isVisible());
    QVERIFY(!app.tray()->inTray());
    QVERIFY(exit->isVisible());

    // The icon keeps looking, by itself.
    trayThere = true;
    QTRY_VERIFY_WITH_TIMEOUT(app.tray()->inTray(), TrayIcon::WatchIntervalMs * 2);
    QVERIFY(!exit->isVisible());
    trayThere = false;
    QTRY_VERIFY_WITH_TIMEOUT(!app.tray()->inTray(), TrayIcon::WatchIntervalMs * 2);
    QVERIFY(exit->isVisible());

    // ExitApp ends the application's event loop with status 0; 1 means it did not. (The
    // application's own loop: ending a nested one would end every later one at once.)
    QTimer::singleShot(0, exit, &QPushButton::click);
    QTimer giveUp;
    giveUp.setSingleShot(true);
    QObject::connect(&giveUp, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    giveUp.start(3000);
    QCOMPARE(QCoreApplication::exec(), 0);
}

BRANDLE_TEST(TestBrandleApp)
#include "tst_brandleapp.moc"

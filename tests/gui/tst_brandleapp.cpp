// SPDX-License-Identifier: MIT
#include "GuiTestSupport.h"
#include "TestMain.h"
#include "TestSupport.h"

#include "app/BrandleApp.h"
#include "platform/Store.h"
#include "settings/Config.h"

#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace brandle;

// The resident program with a service host that answers "Closed", where a lookup ends at once;
// the driver's signals and message boxes (answered with OK), in the order they come.
class TestBrandleApp : public GuiTestCase {
    Q_OBJECT
    FakeServiceHost m_host;
    std::optional<ScopedEnv> m_env;
    QStringList m_events;

private slots:
    void initTestCase()
    {
        m_host.status("Closed").start();
        m_env.emplace("BRANDLE_SERVICE_HOST", m_host.hostPort().toUtf8());
    }

    // The settings show without a Primary URL; a stored one is checked only with AutoCheck "1".
    void startUp_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("autoCheck");
        // clang-format off
        QTest::newRow("first run") << "" << "";
        QTest::newRow("AutoCheck 1") << "HTTP://Example.com" << "1";
        QTest::newRow("AutoCheck never saved") << "HTTP://Example.com" << "";
        // clang-format on
    }
    void startUp()
    {
        QFETCH(QString, url);
        QFETCH(QString, autoCheck);
        const bool checks = !autoCheck.isEmpty();
        Config::setText(Setting::PrimaryUrl, url);
        Config::setText(Setting::AutoCheck, autoCheck);
        BrandleApp app;
        app.timer()->stop(); // only the start-up check counts here
        QSignalSpy done(app.driver(), &LookupDriver::finished);
        app.OpenParlo(0);
        QCOMPARE(app.settings()->isVisible(), url.isEmpty());
        QCOMPARE(app.driver()->isRunning(), checks);
        QVERIFY(!checks || done.wait(WaitMs));
        QCOMPARE(app.tray()->tip(),
                 checks ? u"Brandle\r\nURL: HTTP://Example.com"_s : u"Brandle"_s);
        QCOMPARE(oProps.History(), u"5"_s);
        QVERIFY(!app.settings()->bChanged());
        if (url.isEmpty()) // nothing is stored until the user saves
            QCOMPARE(GetAppSetting(u"ParloApp"_s, u"EnbLog"_s), QString());
    }

    // At once, then every second while no site is known (not every ms), every 50 s once one is.
    void timerPace()
    {
        oProps.setAutoCheck(u"0"_s);
        BrandleApp app;
        QCOMPARE(app.timer()->interval(), 0);
        QVERIFY(app.timer()->isActive());
        QTRY_COMPARE_WITH_TIMEOUT(app.timer()->interval(), 1000, WaitMs);
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

    // A count whose total changed tells the total and the change against the count before.
    void countNotice_data()
    {
        QTest::addColumn<int>("total");
        QTest::addColumn<int>("previous");
        QTest::addColumn<QString>("text");
        // clang-format off
        QTest::newRow("higher") << 1234 << 1000 << "a.com: 1,234 links, up 234 from 1,000.";
        QTest::newRow("lower") << 1000 << 1234 << "a.com: 1,000 links, down 234 from 1,234.";
        QTest::newRow("unchanged") << 1234 << 1234 << "a.com: 1,234 links, unchanged.";
        QTest::newRow("change beyond 32 bits") << 2147483647 << -2147483647
            << "a.com: 2,147,483,647 links, up 4,294,967,294 from -2,147,483,647.";
        // clang-format on
    }
    void countNotice()
    {
        QFETCH(int, total);
        QFETCH(int, previous);
        QFETCH(QString, text);
        const UserNotice notice = brandle::countNotice(u"a.com"_s, total, previous);
        QCOMPARE(notice.text, text);
        QCOMPARE(notice.kind, UserNotice::Kind::Count);
    }

    // A second lookup is refused while one runs (told if the user asked); a failed save: a box.
    void lookup_data()
    {
        QTest::addColumn<QByteArray>("status");
        QTest::addColumn<EngineAnswers>("engines");
        QTest::addColumn<bool>("hostDown");
        QTest::addColumn<qint64>("fileLimit");   // 0: no limit
        QTest::addColumn<QStringList>("events"); // %1: the service host, %2: the store
        const QString notUpdated = u" could not be reached, so the link count was not updated."_s;
        const EngineAnswers one{counted(u"One"_s, u"1,234"_s)};
        // clang-format off
        QTest::newRow("notice before the lookup, then the page")
            << QByteArray("MessageOn\r\nNews\r\nA new engine is here.\r\n64")
            << EngineAnswers{counted(u"One"_s, u"1,234"_s, 1500)} << false << 0LL
            << QStringList{u"box: News: A new engine is here."_s, u"loading"_s, u"closed"_s,
                           u"page"_s};
        QTest::newRow("download failure")
            << QByteArray("Active") << EngineAnswers{unreachable(u"One"_s)} << false << 0LL
            << QStringList{u"loading"_s, u"closed"_s, u"tray: The engine \"One\""_s + notUpdated};
        QTest::newRow("service host unreachable") << QByteArray("Active") << one << true << 0LL
            << QStringList{u"tray: The service host %1"_s + notUpdated};
        QTest::newRow("settings cannot be saved") << QByteArray("Active") << one << false << 4096LL
            << QStringList{u"loading"_s, u"closed"_s,
                           u"box: Brandle: 335 - The settings could not be saved: %2 (write: File too large)"_s};
        // clang-format on
    }
    void lookup()
    {
        QFETCH(QByteArray, status);
        QFETCH(EngineAnswers, engines);
        QFETCH(bool, hostDown);
        QFETCH(qint64, fileLimit);
        QFETCH(QStringList, events);
        FakeServiceHost host;
        host.status(status).engines(engines).start();
        const QString address = hostDown ? deadHostPort() : host.hostPort();
        const ScopedEnv env("BRANDLE_SERVICE_HOST", address.toUtf8());
        // A store the limit leaves no room to rewrite.
        QVERIFY(fileLimit == 0 || SaveAppSetting(u"ParloApp"_s, u"URLGet1"_s, QString(6000, u'x')));
        m_events.clear();
        m_boxes.reset();
        const MessageBoxRecorder boxes(QMessageBox::Ok, [this](const MessageBox::Request& r) {
            m_events << u"box: "_s + r.title + u": "_s + r.text;
        });
        LookupDriver driver;
        connect(&driver, &LookupDriver::showLoading, this, [this] { m_events << u"loading"_s; });
        connect(&driver, &LookupDriver::closeLoading, this, [this] { m_events << u"closed"_s; });
        connect(&driver, &LookupDriver::showPage, this, [this] { m_events << u"page"_s; });
        connect(&driver, &LookupDriver::tellUser, this,
                [this](const UserNotice& n) { m_events << u"tray: "_s + n.text; });
        QSignalSpy done(&driver, &LookupDriver::finished);
        QTimer ticker;
        QSignalSpy ticks(&ticker, &QTimer::timeout);
        ticker.start(20);
        {
            std::optional<FileSizeLimit> noRoom;
            if (fileLimit > 0)
                noRoom.emplace(fileLimit);
            QVERIFY(driver.start(u"example.com"_s, LookupDriver::Origin::Automatic));
            QVERIFY(!driver.start(u"b.com"_s, LookupDriver::Origin::Automatic));
            QVERIFY(!driver.start(u"b.com"_s, LookupDriver::Origin::User));
            QVERIFY(done.wait(WaitMs));
        }
        QStringList expected{
            u"tray: A link count is already running. Please wait until it ends."_s};
        for (const QString& e : events)
            expected
                << QString(e).replace(u"%1"_s, address).replace(u"%2"_s, StoreSession::filePath());
        QCOMPARE(m_events, expected);
        const bool live = engines.first().delayMs > 0;
        QCOMPARE(oProps.LastCount(), live || fileLimit ? u"1234"_s : QString()); // it was counted
        QCOMPARE(oProps.SleepTime(), live ? u"60"_s : QString());
        QCOMPARE(GetAppSetting(u"LinkEng"_s, u"Eng-One"_s), live ? u"1234"_s : QString());
        QVERIFY2(!live || ticks.size() > 10, "the event loop stood still during the lookup");
    }
};

BRANDLE_TEST(TestBrandleApp)
#include "tst_brandleapp.moc"

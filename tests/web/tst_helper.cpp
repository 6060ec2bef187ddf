// SPDX-License-Identifier: MIT
#include "GuiTestSupport.h"
#include "TestMain.h"
#include "TestSupport.h"

#include "HelperSession.h"
#include "app/BrandleApp.h"
#include "app/WebChannel.h"
#include "desktop/Screen.h"
#include "log/LinkLog.h"
#include "platform/SocketPair.h"
#include "settings/Config.h"
#include "windows/RecentList.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <atomic>

using namespace Qt::StringLiterals;
using namespace brandle;

namespace {

using Kind = WebMessage::Kind;

// The brandle-web processes this process started and that still run.
int runningHelpers()
{
    return int(childPrograms(QCoreApplication::applicationPid()).filter(u"/brandle-web"_s).size());
}

// The program's end, on its own thread (GO waits for its answer): records, answers with accept.
class ProgramEnd {
public:
    explicit ProgramEnd(qintptr socket)
    {
        m_thread.start();
        m_context->moveToThread(&m_thread);
        run([this, socket] {
            m_channel = new WebChannel(socket, m_context);
            QObject::connect(m_channel, &WebChannel::received, m_context,
                             [this](const WebMessage& m) {
                                 if (m.kind == Kind::StartLookup) {
                                     WebMessage answer(Kind::LookupAnswer);
                                     answer.accepted = accept;
                                     m_channel->send(answer);
                                 }
                                 m_told.append(m);
                             });
        });
    }
    ~ProgramEnd()
    {
        QMetaObject::invokeMethod(m_context, &QObject::deleteLater);
        m_thread.quit();
        m_thread.wait();
    }
    void send(const WebMessage& message)
    {
        run([this, message] { m_channel->send(message); });
    }
    void send(Kind kind) { send(WebMessage(kind)); }
    QList<WebMessage> told()
    {
        QList<WebMessage> told;
        run([this, &told] { told = m_told; });
        return told;
    }
    QList<Kind> toldKinds()
    {
        QList<Kind> kinds;
        for (const WebMessage& m : told())
            kinds << m.kind;
        return kinds;
    }
    std::atomic<bool> accept{true};

private:
    template <typename F> void run(F f)
    {
        QMetaObject::invokeMethod(m_context, f, Qt::BlockingQueuedConnection);
    }
    QThread m_thread;
    QObject* m_context = new QObject;
    WebChannel* m_channel = nullptr;
    QList<WebMessage> m_told; // on the thread
};

} // namespace

// brandle-web's session in this process; the program plays the other end of a socket pair.
class TestHelperSession : public GuiTestCase {
    Q_OBJECT
    std::unique_ptr<ProgramEnd> m_program;
    std::unique_ptr<HelperSession> m_session;
    bool m_finished = false;

    // A page with sizes of its own, so that a size that does not travel shows.
    WebMessage show(quint32 showing, int duration, bool keepOnTop = true, int height = 4000)
    {
        WebMessage m(Kind::ShowMessage);
        m.showing = showing;
        m.text = m_page;
        m.params = windowParams(duration);
        m.params.WinWidth = 3000;
        m.params.WinHeight = height;
        m.keepOnTop = keepOnTop;
        m.historyLimit = u"2"_s;
        return m;
    }

private slots:
    void init()
    {
        freshStart();
        m_finished = false;
        const std::optional<SocketPair> pair = makeSocketPair();
        QVERIFY(pair);
        m_program = std::make_unique<ProgramEnd>(pair->ours);
        m_session = std::make_unique<HelperSession>(new WebChannel(pair->theirs));
        connect(m_session.get(), &HelperSession::finished, this, [this] { m_finished = true; });
    }
    void cleanup()
    {
        QPointer<frmMessage> message = m_session->windows().message();
        m_session.reset();
        m_program.reset();
        m_boxes.reset();
        QTRY_VERIFY_WITH_TIMEOUT(message.isNull(), WaitMs);
    }

    // Loading window; page sized by the parameters with keep-on-top and history limit, resting
    // 1500 twips above the free area's bottom (a tall one keeps its top); GO asks the program and
    // reports the window gone, or on a refusal keeps window and text.
    void showsWhatTheProgramAsks_data()
    {
        QTest::addColumn<bool>("accept");
        QTest::addColumn<int>("height"); // twips
        QTest::newRow("lookup started") << true << 4000;
        QTest::newRow("a count is running; taller than the room above the gap") << false << 11000;
    }
    void showsWhatTheProgramAsks()
    {
        QFETCH(bool, accept);
        QFETCH(int, height);
        m_program->accept = accept;
        RecentList::save({u"A"_s, u"B"_s, u"C"_s});
        ModuleWindows& windows = m_session->windows();
        m_program->send(Kind::ShowLoading);
        QTRY_VERIFY_WITH_TIMEOUT(windows.loading() && windows.loading()->isVisible(), WaitMs);
        m_program->send(Kind::CloseLoading);
        QTRY_VERIFY_WITH_TIMEOUT(!windows.loading(), WaitMs);

        m_program->send(show(7, 60000, false, height));
        QTRY_VERIFY_WITH_TIMEOUT(windows.message(), WaitMs);
        frmMessage* w = windows.message();
        const ScreenTwips screen = ScreenTwips::primary();
        QCOMPARE(w->size(), QSize(screen.toPixelsX(3000), screen.toPixelsY(height)));
        QCOMPARE(w->y(),
                 screen.origin.y() + qMax(0, screen.toPixelsY(screen.height - height - 1500)));
        QVERIFY(!w->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        auto* box = w->findChild<QComboBox*>(u"cboURLs"_s);
        QCOMPARE(box->count(), 2);
        QTest::keyClicks(box->lineEdit(), u"HTTP://X.com"_s);
        QTest::mouseClick(w->findChild<QPushButton*>(u"cmdGetCount"_s), Qt::LeftButton);
        if (accept) {
            QTRY_COMPARE_WITH_TIMEOUT(m_program->toldKinds(),
                                      (QList{Kind::StartLookup, Kind::MessageUnloaded}), WaitMs);
            QCOMPARE(m_program->told().at(0).text, u"x.com"_s);
            QCOMPARE(m_program->told().at(1).showing, 7u);
            QVERIFY(!windows.message());
        } else {
            QCOMPARE(m_program->toldKinds(), QList{Kind::StartLookup});
            QCOMPARE(windows.message(), w);
            QCOMPARE(box->currentText(), u"HTTP://X.com"_s);
        }
    }

    // A loading strip closed before it was made is not made; only a window that slides out by
    // itself is reported back, with the latest showing.
    void reportsTheWindowLeaving()
    {
        ModuleWindows& windows = m_session->windows();
        m_program->send(Kind::ShowLoading);
        m_program->send(Kind::CloseLoading);
        m_program->send(show(1, 60000));
        QTRY_VERIFY_WITH_TIMEOUT(windows.message(), WaitMs);
        QVERIFY(windows.message()->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QCoreApplication::processEvents(); // what showing the strip left for later
        QVERIFY(!windows.loading());
        m_program->send(Kind::UnloadMessage);
        QTRY_VERIFY_WITH_TIMEOUT(!windows.message(), WaitMs);

        m_program->send(show(2, 60000));
        m_program->send(show(3, 300));
        QTRY_VERIFY_WITH_TIMEOUT(!m_program->told().isEmpty(), WaitMs);
        QCOMPARE(m_program->toldKinds(), QList{Kind::MessageUnloaded});
        QCOMPARE(m_program->told().at(0).showing, 3u);
    }

    // Quit closes the windows and ends the session, once a box still open is answered; a program
    // that is gone ends it at once.
    void ends_data()
    {
        QTest::addColumn<bool>("programGone");
        QTest::addColumn<bool>("boxOpen"); // the blank-GO box waits for OK
        QTest::newRow("told to quit") << false << false;
        QTest::newRow("program gone") << true << false;
        QTest::newRow("told to quit while a box is open") << false << true;
    }
    void ends()
    {
        QFETCH(bool, programGone);
        QFETCH(bool, boxOpen);
        m_program->send(Kind::ShowLoading);
        QTRY_VERIFY_WITH_TIMEOUT(m_session->windows().loading(), WaitMs);
        if (programGone)
            m_program.reset();
        else if (!boxOpen)
            m_program->send(Kind::Quit);
        if (boxOpen) {
            m_boxes.reset();
            m_program->send(show(1, 60000));
            QTRY_VERIFY_WITH_TIMEOUT(m_session->windows().message(), WaitMs);
            whenBoxOpens([this](QWidget* box) {
                m_program->send(Kind::Quit);
                QTRY_VERIFY_WITH_TIMEOUT(!m_session->windows().message(),
                                         WaitMs); // Quit has been read
                QVERIFY(!m_finished && box->isVisible());
            });
            m_session->windows().message()->findChild<QPushButton*>(u"cmdGetCount"_s)->click();
        }
        QTRY_VERIFY_WITH_TIMEOUT(m_finished, WaitMs);
        QCOMPARE(!m_session->windows().loading(), !programGone);
    }
};

// The real brandle-web: started for a window, ended once the windows are gone and with the program;
// the resident program's automatic check of tracked sites, with its web windows.
class TestWebHelper : public GuiTestCase {
    Q_OBJECT
    RecordingHost m_host;

private slots:
    void endsWhenTheWindowsAreGone()
    {
        std::optional<WebModule> web(std::in_place, m_host);
        QVERIFY(!web->loaded());
        QCOMPARE(runningHelpers(), 0);
        WebWindows* windows = web->windows();
        windows->showLoading();
        windows->showMessage(m_page, windowParams(60000));
        QCOMPARE(web->loaded(), windows);
        QTRY_COMPARE_WITH_TIMEOUT(runningHelpers(), 1, WaitMs);
        windows->closeLoading();
        windows->unloadMessage();
        QVERIFY(!windows->messageLoaded());
        QCOMPARE(web->loaded(), windows); // it stays a while for another count
        QTRY_VERIFY_WITH_TIMEOUT(!web->loaded(), WebModule::IdleMs + WaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(runningHelpers(), 0, WaitMs);

        windows->showMessage(m_page, windowParams(300));
        QVERIFY(windows->messageLoaded());
        QTRY_VERIFY_WITH_TIMEOUT(!windows->messageLoaded(), WaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(!web->loaded(), WebModule::IdleMs + WaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(runningHelpers(), 0, WaitMs);

        web->windows()->showMessage(m_page, windowParams(60000));
        QTRY_COMPARE_WITH_TIMEOUT(runningHelpers(), 1, WaitMs);
        web.reset();
        QTRY_COMPARE_WITH_TIMEOUT(runningHelpers(), 0, WaitMs);
    }

    // Primary then each tracked site once, one at a time, each logged; pages only for the primary
    // and a changed tracked site; the primary's last run and the tray tip stay.
    void oneAfterAnother()
    {
        FakeServiceHost host;
        host.engines({counted(u"A"_s, u"1,234"_s)}).start();
        const ScopedEnv env("BRANDLE_SERVICE_HOST", host.hostPort().toUtf8());
        const ManualClock clock(QDateTime(QDate(2026, 3, 1), QTime(12, 0, 10)));
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
        QTRY_COMPARE_WITH_TIMEOUT(done.size(), 3, WaitMs);
        QVERIFY(!app.driver()->isRunning());
        QCOMPARE(m_boxes->texts(), QStringList());
        QStringList logged; // the first attribute of each line, Site
        for (const QString& line : readText(linkLogFile(QDate(2026, 3, 1))).split(u"\r\n"_s))
            logged << line.section(u'"', 1, 1);
        QCOMPARE(logged, (QStringList{u"a.com"_s, u"b.com"_s, u"c.com"_s, QString()}));
        QCOMPARE(pages.size(), 2); // a.com, and c.com, which rose by 1
        QCOMPARE(told.size(), 2);
        QCOMPARE(told.at(1), (QVariantList{u"c.com"_s, 1234, 1233}));
        QCOMPARE(Config::text(Setting::LastSite), u"a.com"_s);
        QCOMPARE(Config::count(Setting::LastTotal), 1234);
        QCOMPARE(app.tray()->tip(), u"Brandle\r\nURL: a.com"_s);
    }
};

BRANDLE_TEST(TestHelperSession)
BRANDLE_TEST(TestWebHelper)
#include "tst_helper.moc"

// SPDX-License-Identifier: MIT
#include "GuiTestSupport.h"
#include "TestMain.h"
#include "TestSupport.h"

#include "HelperSession.h"
#include "app/WebChannel.h"
#include "app/WebWindows.h"
#include "desktop/Screen.h"
#include "engine/WindowParams.h"
#include "platform/SocketPair.h"
#include "windows/RecentList.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QLineEdit>
#include <QMutex>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <atomic>

using namespace Qt::StringLiterals;
using namespace brandle;

namespace {

// The parameters with sizes of their own, so that a size that does not travel shows.
WindowParams sized(int duration)
{
    WindowParams p = windowParams(duration);
    p.WinWidth = 3000;
    p.WinHeight = 4000;
    return p;
}

QString writePage(const QTemporaryDir& dir)
{
    const QString page = dir.filePath(u"ParloMsg.html"_s);
    writeFile(page, "<html><body><h3>Result</h3></body></html>");
    return page;
}

// The brandle-web processes this process started and that still run.
int runningHelpers()
{
    int n = 0;
    const QString self = u"/proc/%1/task"_s.arg(QCoreApplication::applicationPid());
    for (const QString& task : QDir(self).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QStringList children =
            readText(self + u'/' + task + u"/children"_s).split(u' ', Qt::SkipEmptyParts);
        for (const QString& child : children) {
            if (readText(u"/proc/"_s + child + u"/comm"_s).trimmed() == u"brandle-web"_s)
                ++n;
        }
    }
    return n;
}

// The program's end of the socket pair, on a thread of its own (GO in the helper waits for the
// program's answer): records what the helper tells and answers a lookup with accept.
class ProgramEnd {
public:
    explicit ProgramEnd(qintptr socket)
    {
        m_thread.start();
        m_context->moveToThread(&m_thread);
        QMetaObject::invokeMethod(
            m_context,
            [this, socket] {
                m_channel = new WebChannel(socket, m_context);
                QObject::connect(m_channel, &WebChannel::received, m_context,
                                 [this](const WebMessage& m) { received(m); });
            },
            Qt::BlockingQueuedConnection);
    }
    ~ProgramEnd()
    {
        QMetaObject::invokeMethod(m_context, &QObject::deleteLater);
        m_thread.quit();
        m_thread.wait();
    }

    void send(const WebMessage& message)
    {
        QMetaObject::invokeMethod(
            m_context, [this, message] { m_channel->send(message); }, Qt::BlockingQueuedConnection);
    }
    QList<WebMessage> told() const
    {
        const QMutexLocker lock(&m_mutex);
        return m_told;
    }
    std::atomic<bool> accept{true};

private:
    void received(const WebMessage& message)
    {
        if (message.kind == WebMessage::Kind::StartLookup) {
            WebMessage answer(WebMessage::Kind::LookupAnswer);
            answer.accepted = accept;
            m_channel->send(answer);
        }
        const QMutexLocker lock(&m_mutex);
        m_told.append(message);
    }

    QThread m_thread;
    QObject* m_context = new QObject;
    WebChannel* m_channel = nullptr;
    mutable QMutex m_mutex;
    QList<WebMessage> m_told;
};

} // namespace

// brandle-web's side, in this process: a session over one end of a socket pair, the program
// played by the other end.
class TestHelperSession : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_page;
    std::unique_ptr<MessageBoxRecorder> m_boxes;
    std::unique_ptr<ProgramEnd> m_program;
    std::unique_ptr<HelperSession> m_session;
    bool m_finished = false;

    WebMessage show(quint32 showing, int duration, bool keepOnTop, const QString& limit)
    {
        WebMessage m(WebMessage::Kind::ShowMessage);
        m.showing = showing;
        m.text = m_page;
        m.params = sized(duration);
        m.keepOnTop = keepOnTop;
        m.historyLimit = limit;
        return m;
    }
    QList<WebMessage::Kind> toldKinds() const
    {
        QList<WebMessage::Kind> kinds;
        for (const WebMessage& m : m_program->told())
            kinds << m.kind;
        return kinds;
    }

private slots:
    void initTestCase() { m_page = writePage(m_dir); }

    void init()
    {
        clearStore();
        m_finished = false;
        m_boxes = std::make_unique<MessageBoxRecorder>();
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
        QTRY_VERIFY(message.isNull());
    }

    // The loading window comes and goes; the page comes sized by the parameters, with the
    // program's keep-on-top state and history limit; GO asks the program for the lookup and,
    // when it started, tells it that the window went. A lookup the program refuses (a count is
    // running) leaves the window and its text.
    void showsWhatTheProgramAsks_data()
    {
        QTest::addColumn<bool>("accept");
        QTest::newRow("lookup started") << true;
        QTest::newRow("a count is running") << false;
    }
    void showsWhatTheProgramAsks()
    {
        QFETCH(bool, accept);
        m_program->accept = accept;
        RecentList::save({u"A"_s, u"B"_s, u"C"_s});
        ModuleWindows& windows = m_session->windows();
        m_program->send(WebMessage(WebMessage::Kind::ShowLoading));
        QTRY_VERIFY(windows.loading() && windows.loading()->isVisible());
        m_program->send(WebMessage(WebMessage::Kind::CloseLoading));
        QTRY_VERIFY(!windows.loading());

        m_program->send(show(7, 60000, false, u"2"_s));
        QTRY_VERIFY(windows.message());
        frmMessage* w = windows.message();
        const ScreenTwips screen = ScreenTwips::primary();
        QCOMPARE(w->size(), QSize(screen.toPixelsX(3000), screen.toPixelsY(4000)));
        QVERIFY(!w->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        auto* box = w->findChild<QComboBox*>(u"cboURLs"_s);
        QCOMPARE(box->count(), 2);

        QTest::keyClicks(box->lineEdit(), u"HTTP://X.com"_s);
        QTest::mouseClick(w->findChild<QPushButton*>(u"cmdGetCount"_s), Qt::LeftButton);
        if (accept) {
            QTRY_COMPARE(toldKinds(),
                         (QList{WebMessage::Kind::StartLookup, WebMessage::Kind::MessageUnloaded}));
            QCOMPARE(m_program->told().at(0).text, u"x.com"_s);
            QCOMPARE(m_program->told().at(1).showing, 7u);
            QVERIFY(!windows.message());
        } else {
            QCOMPARE(toldKinds(), QList{WebMessage::Kind::StartLookup});
            QCOMPARE(windows.message(), w);
            QCOMPARE(box->currentText(), u"HTTP://X.com"_s);
        }
    }

    // A lookup that ended before its loading strip could be made: the strip is not made, and
    // none stays behind.
    void loadingClosedAtOnce()
    {
        m_program->send(WebMessage(WebMessage::Kind::ShowLoading));
        m_program->send(WebMessage(WebMessage::Kind::CloseLoading));
        m_program->send(show(4, 60000, true, u"5"_s));
        QTRY_VERIFY(m_session->windows().message());
        QTest::qWait(200);
        QVERIFY(!m_session->windows().loading());
    }

    // A window that slides out by itself is reported with the latest showing; one the program
    // unloads is not reported back.
    void reportsTheWindowLeaving()
    {
        m_program->send(show(1, 60000, true, u"5"_s));
        QTRY_VERIFY(m_session->windows().message());
        QVERIFY(m_session->windows().message()->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        m_program->send(WebMessage(WebMessage::Kind::UnloadMessage));
        QTRY_VERIFY(!m_session->windows().message());

        m_program->send(show(2, 60000, true, u"5"_s));
        m_program->send(show(3, 300, true, u"5"_s));
        QTRY_VERIFY_WITH_TIMEOUT(!m_program->told().isEmpty(), 15000);
        QCOMPARE(toldKinds(), QList{WebMessage::Kind::MessageUnloaded});
        QCOMPARE(m_program->told().at(0).showing, 3u);
    }

    // Quit closes the windows and ends the session; so does a program that is gone.
    void ends_data()
    {
        QTest::addColumn<bool>("programGone");
        QTest::newRow("told to quit") << false;
        QTest::newRow("program gone") << true;
    }
    void ends()
    {
        QFETCH(bool, programGone);
        m_program->send(WebMessage(WebMessage::Kind::ShowLoading));
        QTRY_VERIFY(m_session->windows().loading());
        if (programGone)
            m_program.reset();
        else
            m_program->send(WebMessage(WebMessage::Kind::Quit));
        QTRY_VERIFY(m_finished);
        QCOMPARE(!m_session->windows().loading(), !programGone);
    }
};

// The program's side with the real brandle-web: started for a window, told what the windows
// do, ended once they are gone.
class TestWebHelper : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_page;

    struct Host : WebWindowsHost {
        bool startLookup(const QString&) override { return true; }
        bool keepOnTop() const override { return true; }
        QString historyLimit() const override { return u"5"_s; }
    } m_host;

private slots:
    void initTestCase() { m_page = writePage(m_dir); }

    void endsWhenTheWindowsAreGone()
    {
        WebModule web(m_host);
        QVERIFY(!web.loaded());
        QCOMPARE(runningHelpers(), 0);
        WebWindows* windows = web.windows();
        QVERIFY(windows);

        windows->showLoading();
        windows->showMessage(m_page, windowParams(60000));
        QCOMPARE(web.loaded(), windows);
        QTRY_COMPARE(runningHelpers(), 1);
        windows->closeLoading();
        windows->unloadMessage();
        QVERIFY(!windows->messageLoaded());
        QCOMPARE(web.loaded(), windows); // it stays a while for another count
        QTRY_VERIFY_WITH_TIMEOUT(!web.loaded(), WebModule::IdleMs + 3000);
        QTRY_COMPARE(runningHelpers(), 0);

        // A window that leaves by itself: the helper says so and ends as well.
        windows->showMessage(m_page, windowParams(300));
        QVERIFY(windows->messageLoaded());
        QTRY_VERIFY_WITH_TIMEOUT(!windows->messageLoaded(), 15000);
        QTRY_VERIFY_WITH_TIMEOUT(!web.loaded(), WebModule::IdleMs + 3000);
        QTRY_COMPARE(runningHelpers(), 0);
    }

    void endsWithTheProgram()
    {
        {
            WebModule web(m_host);
            web.windows()->showMessage(m_page, windowParams(60000));
            QTRY_COMPARE(runningHelpers(), 1);
        }
        QTRY_COMPARE_WITH_TIMEOUT(runningHelpers(), 0, 3000);
    }
};

BRANDLE_TEST(TestHelperSession)
BRANDLE_TEST(TestWebHelper)
#include "tst_helper.moc"

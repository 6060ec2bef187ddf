// SPDX-License-Identifier: MIT
#include "GuiTestSupport.h"
#include "TestMain.h"
#include "TestSupport.h"

#include "WebModule.h"
#include "app/BrandleApp.h"
#include "desktop/Screen.h"

#include <QDeadlineTimer>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

using namespace Qt::StringLiterals;
using namespace brandle;

namespace {

// The place of the window among the root window's children, from the bottom: its frame's place
// when the window manager framed it; -1 when it is not there.
int stackPlace(const QWidget* widget)
{
    xcb_connection_t* c =
        qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    const auto tree = [c](xcb_window_t w) {
        return std::unique_ptr<xcb_query_tree_reply_t, decltype(&std::free)>(
            xcb_query_tree_reply(c, xcb_query_tree(c, w), nullptr), &std::free);
    };
    xcb_window_t w = xcb_window_t(widget->winId());
    for (auto up = tree(w); up && up->parent != up->root; up = tree(w))
        w = up->parent;
    const auto top = tree(xcb_setup_roots_iterator(xcb_get_setup(c)).data->root);
    const xcb_window_t* children = xcb_query_tree_children(top.get());
    const xcb_window_t* end = children + xcb_query_tree_children_length(top.get());
    const xcb_window_t* at = std::find(children, end, w);
    return at == end ? -1 : int(at - children);
}

} // namespace

// The windows on an X server with a window manager (openbox) and, later, a tray (trayer).
class TestDesktop : public GuiTestCase {
    Q_OBJECT
    QProcess m_windowManager;

private slots:
    void initTestCase()
    {
        m_windowManager.start(u"openbox"_s, {u"--sm-disable"_s});
        QVERIFY2(m_windowManager.waitForStarted(WaitMs), "openbox is needed (Debian package)");
        // A window manager announces itself on the root window.
        QTRY_VERIFY_WITH_TIMEOUT(runProgram(u"xprop"_s, {u"-root"_s, u"_NET_SUPPORTING_WM_CHECK"_s})
                                     .out.contains(u"window id"_s),
                                 WaitMs);
    }
    void cleanupTestCase()
    {
        m_windowManager.kill();
        m_windowManager.waitForFinished(WaitMs);
    }

    // It starts wholly beyond the right edge (WinSpeed 0: stays there), where the slide puts it
    // as the X server says, also after the slide's first steps.
    void messageStartsBeyondTheEdge_data()
    {
        QTest::addColumn<int>("speed");
        QTest::addColumn<int>("steps"); // slide steps to wait for
        QTest::newRow("WinSpeed 0: never comes in") << 0 << 1;
        QTest::newRow("slow slide: two steps in") << 700 << 2;
    }
    void messageStartsBeyondTheEdge()
    {
        QFETCH(int, speed);
        QFETCH(int, steps);
        RecordingHost host;
        ModuleWindows windows(host);
        windows.showMessage(m_page, windowParams(60000, speed));
        QPointer<frmMessage> w = windows.message();
        QVERIFY(w->isVisible());
        const ScreenTwips screen = ScreenTwips::primary();
        const int right = screen.origin.x() + screen.toPixelsX(screen.width);
        const double start = screen.width + 3375 + SlideState::EdgeGap; // before the first step
        QString info;
        const auto placed = [&] {
            const double slide = w->slideState().left();
            info = runProgram(u"xwininfo"_s, {u"-id"_s, QString::number(w->winId())}).out;
            const int left =
                info.section(u"Absolute upper-left X:"_s, 1).section(u'\n', 0, 0).trimmed().toInt();
            info += u"slide at %1 twips, screen ends at %2"_s.arg(slide).arg(right);
            return info.contains(u"IsViewable"_s) && slide <= start - steps * 600.0 &&
                   left >= right && qAbs(left - (screen.origin.x() + screen.toPixelsX(slide))) <= 2;
        };
        QTRY_VERIFY2_WITH_TIMEOUT(placed(), qPrintable(info), WaitMs);
    }

    // Kept on top, the window stays above a window activated later; else that window covers it.
    void keepOnTop_data()
    {
        QTest::addColumn<bool>("onTop");
        QTest::newRow("kept on top") << true;
        QTest::newRow("not kept on top") << false;
    }
    void keepOnTop()
    {
        QFETCH(bool, onTop);
        QWidget other;
        other.setGeometry(500, 100, 600, 600);
        other.show();
        QTRY_VERIFY_WITH_TIMEOUT(stackPlace(&other) >= 0 && QGuiApplication::focusWindow(), WaitMs);
        RecordingHost host;
        host.onTop = onTop;
        ModuleWindows windows(host);
        windows.showMessage(m_page, windowParams(60000));
        frmMessage* w = windows.message();
        QTRY_VERIFY_WITH_TIMEOUT(stackPlace(w) > stackPlace(&other), WaitMs);
        other.hide(); // shown again, it is activated and raised
        other.show();
        QTRY_VERIFY_WITH_TIMEOUT(QGuiApplication::focusWindow() == other.windowHandle(), WaitMs);
        if (onTop) // once the window manager has stacked the new frame it maps
            QTRY_VERIFY_WITH_TIMEOUT(stackPlace(w) > stackPlace(&other), WaitMs);
        else
            QTRY_VERIFY_WITH_TIMEOUT(stackPlace(&other) > stackPlace(w), WaitMs);
    }

    // The blank-GO box stays above the window, even one kept on top, which stays until OK.
    void boxStaysAboveTheWindow()
    {
        RecordingHost host;
        ModuleWindows windows(host);
        windows.showMessage(m_page, windowParams(300)); // would leave after a hold of 0.3 s
        m_boxes.reset();
        QPointer<frmMessage> w = windows.message();
        whenBoxOpens([&w](QWidget* box) {
            QTRY_VERIFY_WITH_TIMEOUT(box->isVisible() && stackPlace(box) > stackPlace(w), WaitMs);
            const QDeadlineTimer threeSeconds(3000);
            for (; !threeSeconds.hasExpired(); QTest::qWait(100))
                QVERIFY(w && w->isVisible() && box->isVisible() && stackPlace(box) > stackPlace(w));
        });
        w->findChild<QPushButton*>(u"cmdGetCount"_s)->click();
        QTRY_VERIFY_WITH_TIMEOUT(!windows.messageLoaded(), WaitMs); // it leaves after OK
    }

    // A tray that comes late gets the icon; without one Exit is offered and ends the program;
    // the loading window stays above a bottom panel.
    void trayAndPanelComeLate()
    {
        BrandleApp app;
        app.timer()->stop();
        app.OpenParlo(0);
        auto* exit = app.settings()->findChild<QPushButton*>(u"cmdExit"_s);
        QVERIFY(!app.tray()->inTray());
        QVERIFY(exit->isVisible());
        const QRect before = QGuiApplication::primaryScreen()->availableGeometry();

        QProcess tray;
        tray.start(u"trayer"_s, {u"--edge"_s, u"bottom"_s, u"--align"_s, u"right"_s,
                                 u"--widthtype"_s, u"pixel"_s, u"--width"_s, u"120"_s,
                                 u"--heighttype"_s, u"pixel"_s, u"--height"_s, u"40"_s,
                                 u"--SetDockType"_s, u"true"_s, u"--SetPartialStrut"_s, u"true"_s});
        QVERIFY2(tray.waitForStarted(WaitMs), "trayer is needed (Debian package)");
        QTRY_VERIFY_WITH_TIMEOUT(app.tray()->inTray(), TrayIcon::WatchIntervalMs + WaitMs);
        QVERIFY(!exit->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!app.tray()->icon()->geometry().isEmpty(), WaitMs);

        QTRY_VERIFY_WITH_TIMEOUT(QGuiApplication::primaryScreen()->availableGeometry().bottom() <
                                     before.bottom(),
                                 WaitMs);
        RecordingHost host;
        ModuleWindows web(host);
        web.showLoading();
        const QRect free = QGuiApplication::primaryScreen()->availableGeometry();
        const ScreenTwips screen = ScreenTwips::primary();
        QCOMPARE(web.loading()->geometry().bottom(), free.bottom() - screen.toPixelsY(400));
        QCOMPARE(web.loading()->geometry().right(), free.right());
        web.closeLoading();

        tray.kill();
        tray.waitForFinished(WaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(!app.tray()->inTray(), TrayIcon::WatchIntervalMs + WaitMs);
        QVERIFY(exit->isVisible());
        // The application's own loop (ending a nested one would end every later one at once).
        QTimer::singleShot(0, exit, &QPushButton::click);
        QTimer giveUp;
        giveUp.callOnTimeout([] { QCoreApplication::exit(1); });
        giveUp.start(WaitMs);
        QCOMPARE(QCoreApplication::exec(), 0);
    }
};

BRANDLE_TEST(TestDesktop)
#include "tst_desktop.moc"

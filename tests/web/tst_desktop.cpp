// SPDX-License-Identifier: MIT
#include "GuiTestSupport.h"
#include "TestMain.h"
#include "TestSupport.h"

#include "WebModule.h"
#include "app/BrandleApp.h"
#include "desktop/Screen.h"
#include "engine/WindowParams.h"
#include "frmLoading.h"
#include "frmMessage.h"

#include <QApplication>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace brandle;

namespace {

// Where the X server has the window: its left edge and whether it is mapped, as xwininfo reads
// them (not what Qt believes).
struct ServerPlace {
    int left = 0;
    bool viewable = false;
};

ServerPlace serverPlace(const QWidget* window)
{
    QProcess info;
    info.start(u"xwininfo"_s, {u"-id"_s, QString::number(window->winId())});
    info.waitForFinished(5000);
    const QString text = QString::fromUtf8(info.readAllStandardOutput());
    ServerPlace place;
    place.left =
        QRegularExpression(u"Absolute upper-left X:\\s+(-?\\d+)"_s).match(text).captured(1).toInt();
    place.viewable = text.contains(u"IsViewable"_s);
    return place;
}

} // namespace

// The windows on an X server with a window manager (openbox) and, later, a tray (trayer).
class TestDesktop : public QObject {
    Q_OBJECT
    QProcess m_windowManager;
    QTemporaryDir m_dir;
    QString m_page;

    static void stop(QProcess& process)
    {
        process.terminate();
        if (!process.waitForFinished(5000))
            process.kill();
        process.waitForFinished(5000);
    }

private slots:
    void initTestCase()
    {
        m_windowManager.start(u"openbox"_s, {u"--sm-disable"_s});
        QVERIFY2(m_windowManager.waitForStarted(5000), "openbox is needed (Debian package)");
        // A window manager announces itself on the root window.
        QTRY_VERIFY_WITH_TIMEOUT(
            [] {
                QProcess prop;
                prop.start(u"xprop"_s, {u"-root"_s, u"_NET_SUPPORTING_WM_CHECK"_s});
                prop.waitForFinished(5000);
                return prop.readAllStandardOutput().contains("window id");
            }(),
            10000);
        m_page = m_dir.filePath(u"ParloMsg.html"_s);
        QVERIFY(writeFile(m_page, "<html><body style='background:#c00'>Result</body></html>"));
    }
    void cleanupTestCase() { stop(m_windowManager); }

    // The window manager does not get to hold the window at the screen's edge: it starts
    // wholly beyond the right edge, and with WinSpeed 0 (no slide) it stays there.
    void messageStartsBeyondTheEdge_data()
    {
        QTest::addColumn<int>("speed");
        QTest::addColumn<int>("steps"); // slide steps made when the place is read
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
        QTest::qWait(1000);
        const ScreenTwips screen = ScreenTwips::primary();
        const int right = screen.origin.x() + screen.toPixelsX(screen.width);
        const int expected = right + screen.toPixelsX(3375 + SlideState::EdgeGap - steps * 600.0);
        const ServerPlace place = serverPlace(w);
        QVERIFY(place.viewable);
        QVERIFY2(place.left >= right,
                 qPrintable(u"left edge at %1, screen ends at %2"_s.arg(place.left).arg(right)));
        QVERIFY2(
            qAbs(place.left - expected) <= 2,
            qPrintable(u"left edge at %1, the slide put it at %2"_s.arg(place.left).arg(expected)));
    }

    // The icon goes into a tray that appears after start-up; until then, and again when the
    // tray goes, the settings window offers Exit. A panel at the bottom is not covered by the
    // loading window.
    void trayAndPanelComeLate()
    {
        clearStore();
        const MessageBoxRecorder boxes;
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
        QVERIFY2(tray.waitForStarted(5000), "trayer is needed (Debian package)");
        QTRY_VERIFY_WITH_TIMEOUT(app.tray()->inTray(), TrayIcon::WatchIntervalMs * 3);
        QVERIFY(!exit->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!app.tray()->icon()->geometry().isEmpty(), 5000);

        // The panel's strip is not part of the free area, and the loading window sits above it.
        QTRY_VERIFY_WITH_TIMEOUT(
            QGuiApplication::primaryScreen()->availableGeometry().bottom() < before.bottom(), 5000);
        // The windows as brandle-web shows them.
        RecordingHost host;
        ModuleWindows web(host);
        web.showLoading();
        frmLoading* loading = web.loading();
        QVERIFY(loading);
        const QRect free = QGuiApplication::primaryScreen()->availableGeometry();
        const ScreenTwips screen = ScreenTwips::primary();
        QCOMPARE(loading->geometry().bottom() + 1, free.bottom() + 1 - screen.toPixelsY(400));
        QCOMPARE(loading->geometry().right(), free.right());
        web.closeLoading();

        stop(tray);
        QTRY_VERIFY_WITH_TIMEOUT(!app.tray()->inTray(), TrayIcon::WatchIntervalMs * 3);
        QVERIFY(exit->isVisible());
    }
};

BRANDLE_TEST(TestDesktop)
#include "tst_desktop.moc"

// SPDX-License-Identifier: MIT
#include "GuiTestSupport.h"
#include "TestMain.h"
#include "TestSupport.h"

#include "WebModule.h"
#include "desktop/MessageBox.h"
#include "desktop/Screen.h"
#include "desktop/ShellOpen.h"
#include "engine/WindowParams.h"
#include "frmMessage.h"
#include "platform/Errors.h"
#include "platform/Store.h"
#include "platform/Xml.h"
#include "windows/RecentList.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEngineView>

using namespace Qt::StringLiterals;
using namespace brandle;

static WindowParams params(int duration)
{
    return windowParams(duration);
}

class TestFrmMessage : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_page;
    std::unique_ptr<MessageBoxRecorder> m_boxes;
    RecordingHost m_host;
    std::unique_ptr<ModuleWindows> m_windows;

private slots:
    void initTestCase()
    {
        m_page = m_dir.filePath(u"ParloMsg.html"_s);
        QVERIFY(writeFile(m_page, "<html><body><h3>Result</h3></body></html>"));
    }

    void init()
    {
        clearStore();
        m_host.lookups.clear();
        m_windows = std::make_unique<ModuleWindows>(m_host);
        m_boxes = std::make_unique<MessageBoxRecorder>();
    }

    void cleanup()
    {
        QPointer<frmMessage> w = m_windows->message();
        m_windows.reset();
        m_boxes.reset();
        QTRY_VERIFY(w.isNull());
    }

    void slidesInHoldsAndUnloadsItself()
    {
        const ScreenTwips screen = ScreenTwips::primary();
        m_windows->showMessage(m_page, params(300));
        QPointer<frmMessage> w = m_windows->message();
        auto* view = w->findChild<QWebEngineView*>(u"webMessage"_s);
        QSignalSpy loaded(view, &QWebEngineView::loadFinished);
        QVERIFY(w->isVisible());
        QVERIFY(w->x() >= screen.toPixelsX(screen.width));
        QCOMPARE(w->size(), QSize(screen.toPixelsX(3375), screen.toPixelsY(4380)));
        QTRY_COMPARE(loaded.value(0).value(0).toBool(), true);
        QCOMPARE(view->url(), QUrl::fromLocalFile(m_page));
        // At rest the right edge is at least 200 twips inside the screen.
        QTRY_VERIFY_WITH_TIMEOUT(w->x() <= screen.toPixelsX(screen.width - 3375 - 200), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!m_windows->messageLoaded(), 15000);
        QTRY_VERIFY(w.isNull());
    }

    // Its lower edge rests 1500 twips above the bottom of the free area; a window too tall for
    // that keeps its top on the screen.
    void restingHeight_data()
    {
        QTest::addColumn<int>("height"); // twips
        QTest::newRow("fits") << 4380;
        QTest::newRow("taller than the room above the gap") << 11000;
    }
    void restingHeight()
    {
        QFETCH(int, height);
        WindowParams p = params(60000);
        p.WinHeight = height;
        m_windows->showMessage(m_page, p);
        const ScreenTwips screen = ScreenTwips::primary();
        const int wanted = screen.toPixelsY(screen.height - height - 1500);
        QCOMPARE(m_windows->message()->y(), screen.origin.y() + qMax(0, wanted));
    }

    // Every parameter is read, in order; a missing one is named and nothing is read after it.
    void windowParameters_data()
    {
        QTest::addColumn<QString>("removed");
        QTest::addColumn<QString>("result");
        // clang-format off
        QTest::newRow("all there") << "" << "3375 4380 60000 10 600 3405 3525 850 60";
        QTest::newRow("WinWidth missing") << "WinWidth" << "error 91 WinWidth";
        QTest::newRow("WinSleep missing") << "WinSleep" << "error 91 WinSleep";
        // clang-format on
    }
    void windowParameters()
    {
        QFETCH(QString, removed);
        QFETCH(QString, result);
        QString text =
            u"<L><Engines/><Window><WinWidth>3375</WinWidth><WinHeight>4380</WinHeight>"
            "<WinDuration>60000</WinDuration><WinSpeed>10</WinSpeed><WinSlide>600"
            "</WinSlide><WebWidth>3405</WebWidth><WebHeight>3525</WebHeight><PicHeight>"
            "850</PicHeight><WinSleep>60</WinSleep></Window><LPResults></LPResults></L>"_s;
        if (!removed.isEmpty())
            text.remove(QRegularExpression(u"<%1>[^<]*</%1>"_s.arg(removed)));
        QString got;
        try {
            const WindowParams p = WindowParams::read(XmlDocument::parse(text));
            got = u"%1 %2 %3 %4 %5 %6 %7 %8 %9"_s.arg(p.WinWidth)
                      .arg(p.WinHeight)
                      .arg(p.WinDuration)
                      .arg(p.WinSpeed)
                      .arg(p.WinSlide)
                      .arg(p.WebWidth)
                      .arg(p.WebHeight)
                      .arg(p.PicHeight)
                      .arg(p.WinSleep);
        } catch (const BrandleError& e) {
            got = u"error %1 %2"_s.arg(e.number()).arg(e.detail());
        }
        QCOMPARE(got, result);
    }

    // The quick lookup box holds A..E (URLGet1 = A); choose entries with the Down key, then type
    // and press GO (or Enter in the box).
    void go_data()
    {
        QTest::addColumn<int>("downs");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("enter"); // Enter in the box instead of a click on GO
        QTest::addColumn<bool>("busy");  // a count is running
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("site"); // "" for no lookup
        // clang-format off
        QTest::newRow("blank box stores nothing") << 0 << "   " << false << false << "A,B,C,D,E" << "";
        QTest::newRow("chosen entry") << 3 << "" << false << false << "A,B,D,E,C" << "c";
        QTest::newRow("chosen, then edited") << 3 << "x" << false << false << "B,C,D,E,Cx" << "cx";
        QTest::newRow("leading space before the scheme") << 0 << " HTTP://Mixed.Example"
            << false << false << "B,C,D,E, HTTP://Mixed.Example" << " http://mixed.example";
        QTest::newRow("Enter in the box") << 0 << "F.com" << true << false << "B,C,D,E,F.com" << "f.com";
        QTest::newRow("Enter in a blank box") << 0 << "" << true << false << "A,B,C,D,E" << "";
        QTest::newRow("count running: nothing changes") << 0 << "F.com" << false << true << "A,B,C,D,E" << "";
        QTest::newRow("count running, chosen entry") << 3 << "" << true << true << "A,B,C,D,E" << "";
        // clang-format on
    }
    void go()
    {
        QFETCH(int, downs);
        QFETCH(QString, typed);
        QFETCH(bool, enter);
        QFETCH(bool, busy);
        QFETCH(QString, list);
        QFETCH(QString, site);
        RecentList::save(u"A,B,C,D,E"_s.split(u','));
        m_host.busy = busy;
        m_windows->showMessage(m_page, params(60000));
        frmMessage* w = m_windows->message();
        auto* box = w->findChild<QComboBox*>(u"cboURLs"_s);
        auto* example = w->findChild<QLabel*>(u"Label2"_s);
        for (int i = 0; i < downs; ++i)
            QTest::keyClick(box, Qt::Key_Down);
        QTest::keyClicks(box->lineEdit(), typed);
        const QString text = box->currentText();
        if (enter) // where the window system delivers it: the box that has the focus
            QTest::keyClick(box, Qt::Key_Return);
        else
            QTest::mouseClick(w->findChild<QPushButton*>(u"cmdGetCount"_s), Qt::LeftButton);

        const bool blank = text.trimmed().isEmpty();
        QCOMPARE(m_windows->messageLoaded(), site.isEmpty());
        QCOMPARE(m_host.lookups.join(u'|'), site);
        QCOMPARE(m_boxes->texts().join(u'|'),
                 blank ? u"You must provide a URL to perform a link count on."_s : QString());
        QCOMPARE(RecentList::load(5).join(u','), list);
        if (busy) {
            // The window stays, with the text as typed, and says why nothing happened.
            QCOMPARE(box->currentText(), text);
            QCOMPARE(example->text(), u"A count is running."_s);
            QTest::keyClicks(box->lineEdit(), u"x"_s);
            QCOMPARE(example->text(), u"e.g. www.example.com"_s);
        }
    }

    // The close picture is a button the keyboard reaches after GO; Space and Enter close.
    void closeByKeyboard_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("Space") << int(Qt::Key_Space);
        QTest::newRow("Enter") << int(Qt::Key_Return);
    }
    void closeByKeyboard()
    {
        QFETCH(int, key);
        m_windows->showMessage(m_page, params(60000));
        frmMessage* w = m_windows->message();
        auto* box = w->findChild<QComboBox*>(u"cboURLs"_s);
        box->setFocus();
        QStringList chain;
        for (int i = 0; i < 2; ++i) {
            QTest::keyClick(w->focusWidget(), Qt::Key_Tab);
            chain << w->focusWidget()->objectName();
        }
        QCOMPARE(chain, (QStringList{u"cmdGetCount"_s, u"imgClose"_s}));
        QTest::keyClick(w->focusWidget(), Qt::Key(key));
        QVERIFY(!m_windows->messageLoaded());
    }

    // What a screen reader names: every control that takes the focus has a name, from its own
    // text, its label or its accessible name.
    void accessibleNames()
    {
        m_windows->showMessage(m_page, params(60000));
        frmMessage* w = m_windows->message();
        QStringList names;
        for (const char* control : {"webMessage", "cboURLs", "cmdGetCount", "imgClose"}) {
            auto* widget = w->findChild<QWidget*>(QLatin1StringView(control));
            QVERIFY(widget);
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(widget);
            names << QLatin1StringView(control) + u'=' +
                         (a ? a->text(QAccessible::Name) : QString());
        }
        QCOMPARE(names.join(u'|'), u"webMessage=Link count result|cboURLs=Type URL and click GO|"
                                   "cmdGetCount=GO|imgClose=Close"_s);
    }

    // The bottom strip follows the theme: a dark palette gives a dark strip with light text.
    void panelFollowsThePalette_data()
    {
        QTest::addColumn<QColor>("base");
        QTest::addColumn<QColor>("text");
        QTest::newRow("light") << QColor(Qt::white) << QColor(Qt::black);
        QTest::newRow("dark") << QColor(0x23, 0x26, 0x29) << QColor(0xef, 0xf0, 0xf1);
    }
    void panelFollowsThePalette()
    {
        QFETCH(QColor, base);
        QFETCH(QColor, text);
        const QPalette before = QApplication::palette();
        QPalette theme = before;
        // A theme whose window text is the opposite of its field text shows a forced background.
        theme.setColor(QPalette::Window, base);
        theme.setColor(QPalette::WindowText, text);
        theme.setColor(QPalette::Base, base);
        theme.setColor(QPalette::Text, text);
        QApplication::setPalette(theme);
        m_windows->showMessage(m_page, params(60000));
        frmMessage* w = m_windows->message();
        auto* panel = w->findChild<QWidget*>(u"picBottom"_s);
        const QImage strip = panel->grab().toImage();
        QApplication::setPalette(before);
        QCOMPARE(QColor(strip.pixel(strip.width() - 2, strip.height() - 2)), base);
        for (const char* name : {"Label1", "Label2"}) {
            auto* label = w->findChild<QLabel*>(QLatin1StringView(name));
            QCOMPARE(label->palette().color(label->foregroundRole()), text);
        }
    }

    // Only a link the user clicked opens the browser, once per click; a page's script never does.
    void browserOnlyFromAClick_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("click");
        QTest::addColumn<QStringList>("launches");
        const QByteArray link = "<a id='l' href='http://example.invalid/site' target='_blank' "
                                "style='display:block;width:300px;height:200px'>site</a>";
        const QByteArray loop =
            "<script>var n = 0; var t = setInterval(function() {"
            " window.open('http://example.invalid/' + n++); if (n >= 100) clearInterval(t);"
            "}, 10);</script>";
        // clang-format off
        QTest::newRow("script opens windows in a loop") << link + loop << false << QStringList();
        QTest::newRow("link clicked") << link << true
            << QStringList{u"http://example.invalid/site"_s};
        QTest::newRow("link clicked while a script loops") << link + loop << true
            << QStringList{u"http://example.invalid/site"_s};
        QTest::newRow("a click starts a loop: one window at most")
            << QByteArray("<div style='width:300px;height:200px' onclick=\"for (var i = 0; "
                          "i < 50; ++i) window.open('http://example.invalid/' + i);\">x</div>")
            << true << QStringList{u"http://example.invalid/0"_s};
        QTest::newRow("a local file is not opened")
            << QByteArray("<a href='file:///etc/passwd' target='_blank' "
                          "style='display:block;width:300px;height:200px'>f</a>")
            << true << QStringList();
        // clang-format on
    }
    void browserOnlyFromAClick()
    {
        QFETCH(QByteArray, body);
        QFETCH(bool, click);
        QFETCH(QStringList, launches);
        QStringList opened;
        Browser::setTestHook([&opened](const QUrl& url) { opened << url.toString(); });
        const QString page = m_dir.filePath(u"script.html"_s);
        QVERIFY(writeFile(page, "<html><body style='margin:0'>" + body + "</body></html>"));
        m_windows->showMessage(page, params(60000));
        frmMessage* w = m_windows->message();
        auto* view = w->findChild<QWebEngineView*>(u"webMessage"_s);
        QSignalSpy loaded(view, &QWebEngineView::loadFinished);
        QTRY_COMPARE(loaded.size(), 1);
        QTest::qWait(300);
        if (click)
            QTest::mouseClick(view->focusProxy(), Qt::LeftButton, {}, QPoint(40, 40));
        QTest::qWait(2500); // long enough for the loop to finish
        Browser::setTestHook(nullptr);
        QCOMPARE(opened, launches);
    }

    // Empty keys are skipped on loading; a typed address is appended even when the list holds
    // it, and limit 0 drops nothing; saving a shorter list leaves the keys above it.
    void storedOldestFirst()
    {
        for (int n : {1, 3, 5, 6})
            SaveAppSetting(u"ParloApp"_s, u"URLGet%1"_s.arg(n), QChar(u'@' + n));
        const QStringList list = RecentList::load(RecentList::limit(u"5"_s));
        QCOMPARE(list.join(u','), u"A,C,E"_s);
        RecentList::save(RecentList::afterLookup(list, -1, u"A"_s, 0));
        QCOMPARE(RecentList::load(6).join(u','), u"A,C,E,A,E,F"_s);
    }
};

BRANDLE_TEST(TestFrmMessage)
#include "tst_frmmessage.moc"

// SPDX-License-Identifier: MIT
#include "GuiTestSupport.h"
#include "TestMain.h"
#include "TestSupport.h"

#include "WebModule.h"
#include "desktop/ShellOpen.h"
#include "platform/Store.h"
#include "windows/RecentList.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QWebEngineView>

using namespace Qt::StringLiterals;
using namespace brandle;

// Stands in for the desktop's program for another scheme.
class SchemeRecorder : public QObject {
    Q_OBJECT
public:
    QStringList opened;
public slots:
    void open(const QUrl& url) { opened << url.toString(); }
};

// The message window as brandle-web shows it, with the program played by a RecordingHost.
class TestFrmMessage : public GuiTestCase {
    Q_OBJECT
    RecordingHost m_host;
    std::unique_ptr<ModuleWindows> m_windows;

    frmMessage* show(const QString& page)
    {
        m_windows->showMessage(page, windowParams(60000));
        return m_windows->message();
    }

private slots:
    void init()
    {
        freshStart();
        m_host = RecordingHost();
        m_windows = std::make_unique<ModuleWindows>(m_host);
    }
    void cleanup()
    {
        QPointer<frmMessage> w = m_windows->message();
        m_windows.reset();
        m_boxes.reset();
        QTRY_VERIFY_WITH_TIMEOUT(w.isNull(), WaitMs);
    }

    // The box holds A..E (URLGet1 = A): Down keys, typing, GO or Enter; while a count runs
    // nothing changes and the window says so.
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
            << false << false << "B,C,D,E, HTTP://Mixed.Example" << "mixed.example";
        QTest::newRow("Enter in the box") << 0 << "F.com" << true << false << "B,C,D,E,F.com" << "f.com";
        QTest::newRow("count running: nothing changes") << 0 << "F.com" << false << true << "A,B,C,D,E" << "";
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
        frmMessage* w = show(m_page);
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
        QCOMPARE(m_windows->messageLoaded(), site.isEmpty());
        QCOMPARE(m_host.lookups.join(u'|'), site);
        QCOMPARE(m_boxes->texts().join(u'|'),
                 text.trimmed().isEmpty() ? u"You must provide a URL to perform a link count on."_s
                                          : QString());
        QCOMPARE(RecentList::load(5).join(u','), list);
        if (busy) {
            QCOMPARE(box->currentText(), text);
            QCOMPARE(example->text(), u"A count is running."_s);
            QTest::keyClicks(box->lineEdit(), u"x"_s);
            QCOMPARE(example->text(), u"e.g. www.example.com"_s);
        }
    }

    // Empty keys skipped; a typed address appended even when listed; limit 0 drops nothing;
    // a shorter list saved leaves the keys above it.
    void storedOldestFirst()
    {
        for (int n : {1, 3, 5, 6})
            SaveAppSetting(u"ParloApp"_s, u"URLGet%1"_s.arg(n), QChar(u'@' + n));
        const QStringList list = RecentList::load(RecentList::limit(u"5"_s));
        QCOMPARE(list.join(u','), u"A,C,E"_s);
        RecentList::save(RecentList::afterLookup(list, -1, u"A"_s, 0));
        QCOMPARE(RecentList::load(6).join(u','), u"A,C,E,A,E,F"_s);
    }

    // Focusable controls are named; Tab: box, GO, close picture, which Enter presses.
    void keyboard()
    {
        frmMessage* w = show(m_page);
        QStringList names;
        for (const char* control : {"webMessage", "cboURLs", "cmdGetCount", "imgClose"}) {
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(
                w->findChild<QWidget*>(QLatin1StringView(control)));
            names << QLatin1StringView(control) + u'=' +
                         (a ? a->text(QAccessible::Name) : QString());
        }
        QCOMPARE(names.join(u'|'), u"webMessage=Link count result|cboURLs=Type URL and click GO|"
                                   "cmdGetCount=GO|imgClose=Close"_s);
        w->findChild<QComboBox*>(u"cboURLs"_s)->setFocus();
        QStringList chain;
        for (int i = 0; i < 2; ++i) {
            QTest::keyClick(w->focusWidget(), Qt::Key_Tab);
            chain << w->focusWidget()->objectName();
        }
        QCOMPARE(chain, (QStringList{u"cmdGetCount"_s, u"imgClose"_s}));
        QTest::keyClick(w->focusWidget(), Qt::Key_Return);
        QVERIFY(!m_windows->messageLoaded());
    }

    // The bottom strip follows the theme: a dark palette gives a dark strip with light text.
    void panelFollowsThePalette()
    {
        const QColor base(0x23, 0x26, 0x29), text(0xef, 0xf0, 0xf1);
        const QPalette before = QApplication::palette();
        QPalette theme = before;
        for (auto role : {QPalette::Window, QPalette::Base})
            theme.setColor(role, base);
        for (auto role : {QPalette::WindowText, QPalette::Text})
            theme.setColor(role, text);
        QApplication::setPalette(theme);
        frmMessage* w = show(m_page);
        const QImage strip = w->findChild<QWidget*>(u"picBottom"_s)->grab().toImage();
        QApplication::setPalette(before);
        QCOMPARE(QColor(strip.pixel(strip.width() - 2, strip.height() - 2)), base);
        for (const char* name : {"Label1", "Label2"}) {
            auto* label = w->findChild<QLabel*>(QLatin1StringView(name));
            QCOMPARE(label->palette().color(label->foregroundRole()), text);
        }
    }

    // Only a link the user clicked opens the browser, once per click, and only for http and https;
    // a page's script never does, also when it runs between the press and the link's own
    // request, and the page stays.
    void browserOnlyFromAClick_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("click");
        QTest::addColumn<QStringList>("launches");
        const QByteArray link = "<a href='http://example.invalid/site' target='_blank' "
                                "style='display:block;width:200px;height:150px'>site</a>";
        const QByteArray loop =
            "<script>var n = 0; var t = setInterval(function() {"
            " window.open('http://example.invalid/' + n++);"
            " if (n >= 100) { clearInterval(t); document.title += '|looped'; } }, 10);</script>";
        const QStringList site{u"http://example.invalid/site"_s};
        // clang-format off
        QTest::newRow("script opens windows in a loop") << link + loop << false << QStringList();
        QTest::newRow("link clicked") << link << true << site;
        // The engine then refuses the link's own window: the press was used up.
        QTest::newRow("a script takes the press of a link click")
            << link + "<script>document.addEventListener('mousedown', function() {"
                      " window.open('http://example.invalid/script'); }, {once: true});</script>"
            << true << QStringList();
        QTest::newRow("a click starts a loop: one window at most")
            << QByteArray("<div style='width:200px;height:150px' onclick=\"for (var i = 0; "
                          "i < 50; ++i) window.open('http://example.invalid/' + i);\">x</div>")
            << true << QStringList{u"http://example.invalid/0"_s};
        QTest::newRow("a local file is not opened")
            << QByteArray("<a href='file:///etc/passwd' target='_blank' "
                          "style='display:block;width:200px;height:150px'>f</a>")
            << true << QStringList();
        QTest::newRow("a link into the page's own frame")
            << QByteArray("<a href='http://example.invalid/same' "
                          "style='display:block;width:300px;height:200px'>s</a>")
            << true << QStringList{u"http://example.invalid/same"_s};
        QTest::newRow("a click, then a script goes to another scheme")
            << QByteArray("<div style='width:300px;height:200px' "
                          "onclick=\"location.href='xyzscheme://host/x'\">x</div>")
            << true << QStringList();
        // clang-format on
    }
    void browserOnlyFromAClick()
    {
        QFETCH(QByteArray, body);
        QFETCH(bool, click);
        QFETCH(QStringList, launches);
        // The clock stands still: a request keeps its click's time on a busy machine.
        const ManualClock clock(QDateTime(QDate(2026, 3, 1), QTime(12, 0)));
        QStringList opened;
        Browser::setTestHook([&opened](const QUrl& url) { opened << url.toString(); });
        SchemeRecorder others;
        QDesktopServices::setUrlHandler(u"xyzscheme"_s, &others, "open");
        // A link below, clicked last, opens once the browser has taken the earlier requests.
        const QString last = u"http://example.invalid/last"_s;
        const QByteArray page = "<html><head><title>t</title></head><body style='margin:0'>" +
                                body + "<a href='" + last.toUtf8() +
                                "' target='_blank' style='position:fixed;left:0;top:170px;"
                                "width:200px;height:30px'>last</a></body></html>";
        const QString file = m_dir.filePath(u"script.html"_s);
        QVERIFY(writeFile(file, page));
        auto* view = show(file)->findChild<QWebEngineView*>(u"webMessage"_s);
        QSignalSpy loaded(view, &QWebEngineView::loadFinished);
        QTRY_COMPARE_WITH_TIMEOUT(loaded.size(), 1, WaitMs);
        QCOMPARE(view->url(), QUrl::fromLocalFile(file));
        if (click)
            QTest::mouseClick(view->focusProxy(), Qt::LeftButton, {}, QPoint(40, 40));
        QTRY_COMPARE_WITH_TIMEOUT(opened, launches, WaitMs);
        if (body.contains("setInterval")) // the loop has run to its end
            QTRY_VERIFY_WITH_TIMEOUT(view->title().endsWith(u"|looped"_s), WaitMs);
        QTest::mouseClick(view->focusProxy(), Qt::LeftButton, {}, QPoint(40, 185));
        QTRY_VERIFY_WITH_TIMEOUT(opened.contains(last), WaitMs);
        Browser::setTestHook(nullptr);
        QDesktopServices::unsetUrlHandler(u"xyzscheme"_s);
        QCOMPARE(opened + others.opened, launches + QStringList{last});
        QCOMPARE(view->url(), QUrl::fromLocalFile(file));
    }
};

BRANDLE_TEST(TestFrmMessage)
#include "tst_frmmessage.moc"

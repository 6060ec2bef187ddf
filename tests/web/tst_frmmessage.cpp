// SPDX-License-Identifier: MIT
#include "GuiTestSupport.h"
#include "TestMain.h"
#include "TestSupport.h"

#include "WebModule.h"
#include "desktop/MessageBox.h"
#include "desktop/Screen.h"
#include "engine/WindowParams.h"
#include "frmMessage.h"
#include "platform/Errors.h"
#include "platform/Store.h"
#include "platform/Xml.h"
#include "windows/RecentList.h"

#include <QComboBox>
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

// The window parameters with a hold of duration ms and steps of 600 twips every 10 ms.
static WindowParams params(int duration)
{
    WindowParams p;
    p.WinWidth = 3375;
    p.WinHeight = 4380;
    p.WinDuration = duration;
    p.WinSpeed = 10;
    p.WinSlide = 600;
    p.WebWidth = 3405;
    p.WebHeight = 3525;
    p.PicHeight = 850;
    p.WinSleep = u"60"_s;
    return p;
}

// The program's side: records the lookups the quick lookup box starts.
class TestHost : public WebWindowsHost {
public:
    QStringList lookups;
    void startLookup(const QString& site) override { lookups.append(site); }
    bool keepOnTop() const override { return true; }
    QString historyLimit() const override { return u"5"_s; }
};

class TestFrmMessage : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_page;
    std::unique_ptr<MessageBoxRecorder> m_boxes;
    TestHost m_host;
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
    // and press GO.
    void go_data()
    {
        QTest::addColumn<int>("downs");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("site"); // "" for no lookup
        // clang-format off
        QTest::newRow("blank box stores nothing") << 0 << "   " << "A,B,C,D,E" << "";
        QTest::newRow("chosen entry") << 3 << "" << "A,B,D,E,C" << "c";
        QTest::newRow("chosen, then edited") << 3 << "x" << "B,C,D,E,Cx" << "cx";
        QTest::newRow("leading space before the scheme") << 0 << " HTTP://Mixed.Example"
            << "B,C,D,E, HTTP://Mixed.Example" << " http://mixed.example";
        // clang-format on
    }
    void go()
    {
        QFETCH(int, downs);
        QFETCH(QString, typed);
        QFETCH(QString, list);
        QFETCH(QString, site);
        RecentList::save(u"A,B,C,D,E"_s.split(u','));
        m_windows->showMessage(m_page, params(60000));
        frmMessage* w = m_windows->message();
        auto* box = w->findChild<QComboBox*>(u"cboURLs"_s);
        for (int i = 0; i < downs; ++i)
            QTest::keyClick(box, Qt::Key_Down);
        QTest::keyClicks(box->lineEdit(), typed);
        QTest::mouseClick(w->findChild<QPushButton*>(u"cmdGetCount"_s), Qt::LeftButton);

        QCOMPARE(m_windows->messageLoaded(), site.isEmpty());
        QCOMPARE(m_host.lookups.join(u'|'), site);
        QCOMPARE(m_boxes->texts().join(u'|'),
                 site.isEmpty() ? u"You must provide a URL to perform a link count on."_s
                                : QString());
        QCOMPARE(RecentList::load(5).join(u','), list);
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

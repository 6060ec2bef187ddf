// SPDX-License-Identifier: MIT
#include "TestMain.h"
#include "TestSupport.h"

#include "platform/Errors.h"
#include "platform/MessageBox.h"
#include "platform/Screen.h"
#include "platform/Store.h"
#include "platform/StoreKeys.h"
#include "settings/clsProps.h"
#include "windows/frmMessage.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

using namespace Qt::Literals::StringLiterals;

namespace {

// The window parameters of the service's schema, with a short hold and fast steps.
const QList<std::pair<QString, QString>> Parameters{
    {u"WinWidth"_s, u"3375"_s},  {u"WinHeight"_s, u"4380"_s}, {u"WinDuration"_s, u"300"_s},
    {u"WinSpeed"_s, u"10"_s},    {u"WinSlide"_s, u"600"_s},   {u"WebWidth"_s, u"3405"_s},
    {u"WebHeight"_s, u"3525"_s}, {u"PicHeight"_s, u"850"_s},  {u"WinSleep"_s, u"60"_s}};

// The schema with one parameter given another text, or left out when that text is empty.
QString windowSchema(const QString& name = QString(), const QString& text = QString())
{
    QString window;
    for (const auto& [element, value] : Parameters) {
        const QString v = element == name ? text : value;
        if (!v.isEmpty())
            window += u"<%1>%2</%1>"_s.arg(element, v);
    }
    return u"<LinkPopularity><Engines/><Window>%1</Window><LPResults></LPResults>"
           "</LinkPopularity>"_s.arg(window);
}

QString stored(int n)
{
    return GetAppSetting(StoreKeys::SectionApp, StoreKeys::recentLookup(n));
}

template <typename T> T* part(const char* name)
{
    return frmMessage::instance()->findChild<T*>(QString::fromLatin1(name));
}

} // namespace

// Records the addresses handed to the default browser.
class BrowserRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened.append(url); }
};

class TestFrmMessage : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString m_page;
    QList<MessageBox::Request> m_boxes;
    QStringList m_lookups;

    QString writePage(const QString& name, const QByteArray& html)
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(html) != html.size())
            return QString();
        return path;
    }

    frmMessage* shown(const QString& page)
    {
        frmMessage* w = frmMessage::instance();
        w->ShowMessage(page);
        return w;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_page = writePage(u"ParloMsg.html"_s,
                           "<html><body style='background:#fff'><h3>Result</h3></body></html>");
        QVERIFY(!m_page.isEmpty());
    }

    void init()
    {
        clearStore();
        // The window holds for a minute unless a test wants to see it leave.
        oProps.setXMLSchema(windowSchema(u"WinDuration"_s, u"60000"_s));
        oProps.setSleepTime(u"old"_s);
        oProps.setHistory(u"5"_s);
        m_boxes.clear();
        m_lookups.clear();
        MessageBox::setTestHook([this](const MessageBox::Request& r) {
            m_boxes.append(r);
            return QMessageBox::Ok;
        });
        frmMessage::setLookupStarter([this](const QString& site) { m_lookups.append(site); });
    }

    void cleanup()
    {
        QPointer<frmMessage> w = frmMessage::isLoaded() ? frmMessage::instance() : nullptr;
        frmMessage::unload();
        QTRY_VERIFY(w.isNull());
        MessageBox::setTestHook(nullptr);
        frmMessage::setLookupStarter(nullptr);
        frmMessage::setKeepOnTopCheck(nullptr);
    }

    void slidesInHoldsAndUnloadsItself()
    {
        oProps.setXMLSchema(windowSchema());
        const ScreenTwips screen = ScreenTwips::primary();
        QPointer<frmMessage> w = frmMessage::instance();
        QSignalSpy loaded(part<QWebEngineView>("webMessage"), &QWebEngineView::loadFinished);
        w->ShowMessage(m_page);

        QCOMPARE(oProps.SleepTime(), u"60"_s);
        QVERIFY(w->isVisible());
        QCOMPARE(w->x(), screen.toPixelsX(screen.width + 3375 + 200));
        QVERIFY(w->x() >= screen.toPixelsX(screen.width));
        QCOMPARE(w->y(), screen.toPixelsY(screen.height - 4380 - 1500));
        QCOMPARE(w->size(), QSize(screen.toPixelsX(3375), screen.toPixelsY(4380)));
        QCOMPARE(part<QWebEngineView>("webMessage")->geometry(),
                 QRect(screen.toPixelsX(-15), screen.toPixelsY(-15), screen.toPixelsX(3405),
                       screen.toPixelsY(3525)));
        QCOMPARE(part<QWidget>("picBottom")->geometry(),
                 QRect(0, screen.toPixelsY(4380 - 850), w->width(), screen.toPixelsY(850)));
        QVERIFY(w->windowFlags().testFlag(Qt::WindowStaysOnTopHint));

        QTRY_VERIFY(!loaded.isEmpty());
        QCOMPARE(loaded.first().first().toBool(), true);
        QCOMPARE(part<QWebEngineView>("webMessage")->url(), QUrl::fromLocalFile(m_page));

        // Resting place: the right edge at least 200 twips inside the screen.
        const int rest = screen.toPixelsX(screen.width - 3375 - 200);
        QTRY_VERIFY_WITH_TIMEOUT(w->x() <= rest, 5000);
        QVERIFY(w->x() > rest - screen.toPixelsX(600));
        QTRY_VERIFY_WITH_TIMEOUT(!frmMessage::isLoaded(), 15000);
        QTRY_VERIFY(w.isNull());
    }

    void keepOnTop_data()
    {
        QTest::addColumn<bool>("checked");
        QTest::newRow("checked") << true;
        QTest::newRow("unchecked") << false;
    }
    void keepOnTop()
    {
        QFETCH(bool, checked);
        frmMessage::setKeepOnTopCheck([checked] { return checked; });
        QCOMPARE(shown(m_page)->windowFlags().testFlag(Qt::WindowStaysOnTopHint), checked);
    }

    void emptySchemaShowsNothing()
    {
        oProps.setXMLSchema(QString());
        frmMessage* w = shown(m_page);
        QVERIFY(frmMessage::isLoaded());
        QVERIFY(!w->isVisible());
        QCOMPARE(w->slideState().lSlideState, 0);
        QCOMPARE(oProps.SleepTime(), u"old"_s);
    }

    // The parameters are read in table order; those before a failing one are kept.
    void badParameter_data()
    {
        QTest::addColumn<QString>("element");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("number");
        QTest::addColumn<qint32>("winWidth");
        QTest::addColumn<qint32>("picHeight");
        QTest::newRow("WinWidth missing") << "WinWidth"
                                          << "" << 91 << 0 << 0;
        QTest::newRow("WinSpeed not a number") << "WinSpeed"
                                               << "fast" << 13 << 3375 << 0;
        QTest::newRow("PicHeight missing") << "PicHeight"
                                           << "" << 91 << 3375 << 0;
        QTest::newRow("WinSleep missing") << "WinSleep"
                                          << "" << 91 << 3375 << 850;
    }
    void badParameter()
    {
        QFETCH(QString, element);
        QFETCH(QString, text);
        QFETCH(int, number);
        QFETCH(qint32, winWidth);
        QFETCH(qint32, picHeight);
        oProps.setXMLSchema(windowSchema(element, text));
        frmMessage* w = frmMessage::instance();
        try {
            w->ShowMessage(m_page);
            QFAIL("no error");
        } catch (const BrandleError& e) {
            QCOMPARE(e.number(), number);
        }
        QCOMPARE(w->slideState().lWinWidth, winWidth);
        QCOMPARE(w->slideState().lPicHeight, picHeight);
        QCOMPARE(oProps.SleepTime(), u"old"_s);
        QVERIFY(!w->isVisible());
    }

    void goWithBlankAddress()
    {
        SaveAppSetting(StoreKeys::SectionApp, StoreKeys::recentLookup(1), u"A"_s);
        shown(m_page);
        QTest::keyClicks(part<QComboBox>("cboURLs")->lineEdit(), u"   "_s);
        part<QPushButton>("cmdGetCount")->click();
        QCOMPARE(m_boxes.size(), 1);
        QCOMPARE(m_boxes.first().title, u"Brandle"_s);
        QCOMPARE(m_boxes.first().text, u"You must provide a URL to perform a link count on."_s);
        QCOMPARE(m_boxes.first().icon, QMessageBox::Warning);
        QCOMPARE(m_boxes.first().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QVERIFY(m_lookups.isEmpty());
        QVERIFY(frmMessage::isLoaded());
        QVERIFY(frmMessage::instance()->isVisible());
        QCOMPARE(stored(1), u"A"_s);
        QCOMPARE(stored(2), QString());
    }

    // A window unloaded while its message box is open (its slide-out ending, a tray command)
    // stays alive until the box has closed: the box is its child.
    void unloadWhileMessageBoxIsOpen()
    {
        QPointer<frmMessage> w = shown(m_page);
        bool aliveWhileOpen = false;
        MessageBox::setTestHook([&](const MessageBox::Request&) {
            frmMessage::unload();
            QTest::qWait(50);
            aliveWhileOpen = !w.isNull();
            return QMessageBox::Ok;
        });
        part<QPushButton>("cmdGetCount")->click();
        QVERIFY(aliveWhileOpen);
        QVERIFY(!frmMessage::isLoaded());
        QTRY_VERIFY(w.isNull());
    }

    // Stored A..E (URLGet1 = A); choose entries with the Down key, then type.
    void go_data()
    {
        QTest::addColumn<int>("downs");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("site");
        QTest::newRow("typed into a full list") << 0 << "F"
                                                << "B,C,D,E,F"
                                                << "f";
        QTest::newRow("chosen entry") << 3 << ""
                                      << "A,B,D,E,C"
                                      << "c";
        QTest::newRow("chosen, then edited") << 3 << "x"
                                             << "B,C,D,E,Cx"
                                             << "cx";
        QTest::newRow("chosen, edited back to the entry") << 3 << "x\b"
                                                          << "B,C,D,E,C"
                                                          << "c";
        QTest::newRow("typed copy of an entry") << 0 << "C"
                                                << "B,C,D,E,C"
                                                << "c";
        QTest::newRow("scheme dropped") << 0 << "HTTP://Example.COM"
                                        << "B,C,D,E,HTTP://Example.COM"
                                        << "example.com";
        QTest::newRow("leading space before the scheme") << 0 << " HTTP://Mixed.Example"
                                                         << "B,C,D,E, HTTP://Mixed.Example"
                                                         << " http://mixed.example";
    }
    void go()
    {
        QFETCH(int, downs);
        QFETCH(QString, typed);
        QFETCH(QString, list);
        QFETCH(QString, site);
        const QStringList before{u"A"_s, u"B"_s, u"C"_s, u"D"_s, u"E"_s};
        for (int i = 0; i < before.size(); ++i)
            SaveAppSetting(StoreKeys::SectionApp, StoreKeys::recentLookup(i + 1), before.at(i));
        shown(m_page);
        QComboBox* box = part<QComboBox>("cboURLs");
        QCOMPARE(box->count(), 5);
        QCOMPARE(box->currentText(), QString());
        for (int i = 0; i < downs; ++i)
            QTest::keyClick(box, Qt::Key_Down);
        QTest::keyClicks(box->lineEdit(), typed);
        QTest::mouseClick(part<QPushButton>("cmdGetCount"), Qt::LeftButton);

        QVERIFY(!frmMessage::isLoaded());
        QCOMPARE(m_lookups, QStringList{site});
        QVERIFY(m_boxes.isEmpty());
        const QStringList expected = list.split(u',');
        for (int i = 0; i < expected.size(); ++i)
            QCOMPARE(stored(i + 1), expected.at(i));
    }

    void closePictureUnloadsDuringSlideIn()
    {
        const ScreenTwips screen = ScreenTwips::primary();
        QPointer<frmMessage> w = shown(m_page);
        QTest::qWait(30);
        QCOMPARE(w->slideState().lSlideState, 1);
        QVERIFY(w->x() > screen.toPixelsX(screen.width - 3375 - 200)); // not yet at rest
        QLabel* close = part<QLabel>("imgClose");
        QCOMPARE(close->size(), QSize(40, 12));
        QTest::mouseClick(close, Qt::LeftButton);
        QVERIFY(!frmMessage::isLoaded());
        QVERIFY(w.isNull() || !w->isVisible());
        QTRY_VERIFY(w.isNull());
        // The next reference loads a fresh window.
        QVERIFY(frmMessage::instance()->slideState().bJustLoaded);
        QCOMPARE(frmMessage::instance()->slideState().lSlideState, 0);
    }

    // The page may not read other local files; a link that asks for a new window opens in the
    // default browser and the page stays.
    void pageIsolation()
    {
        writePage(u"secret.txt"_s, "secret");
        const QString page = writePage(
            u"probe.html"_s,
            "<html><body><a id='out' href='http://example.invalid/next' target='_blank'>x</a>"
            "<script>"
            "var r = new XMLHttpRequest();"
            "try { r.open('GET', 'secret.txt', false); r.send();"
            " document.title = 'read:' + r.responseText; }"
            "catch (e) { document.title = 'blocked'; }"
            "document.getElementById('out').click();"
            "</script></body></html>");
        BrowserRecorder browser;
        QDesktopServices::setUrlHandler(u"http"_s, &browser, "open");
        QWebEngineView* view = part<QWebEngineView>("webMessage");
        shown(page);
        QTRY_COMPARE(view->title(), u"blocked"_s);
        QTRY_COMPARE(browser.opened, QList<QUrl>{QUrl(u"http://example.invalid/next"_s)});
        QDesktopServices::unsetUrlHandler(u"http"_s);
        QCOMPARE(view->url(), QUrl::fromLocalFile(page));
    }
};

BRANDLE_TEST(TestFrmMessage)
#include "tst_frmmessage.moc"

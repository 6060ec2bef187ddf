// SPDX-License-Identifier: MIT
#include "TestMain.h"
#include "TestSupport.h"

#include "platform/Errors.h"
#include "desktop/MessageBox.h"
#include "desktop/Screen.h"
#include "platform/Store.h"
#include "platform/StoreKeys.h"
#include "settings/clsProps.h"
#include "windows/RecentList.h"
#include "frmMessage.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEngineView>

using namespace Qt::Literals::StringLiterals;

// The window parameters with a hold of duration ms and steps of 600 twips every 10 ms.
static QString schema(int duration)
{
    return u"<L><Engines/><Window><WinWidth>3375</WinWidth><WinHeight>4380</WinHeight>"
           "<WinDuration>%1</WinDuration><WinSpeed>10</WinSpeed><WinSlide>600</WinSlide>"
           "<WebWidth>3405</WebWidth><WebHeight>3525</WebHeight><PicHeight>850</PicHeight>"
           "<WinSleep>60</WinSleep></Window><LPResults></LPResults></L>"_s.arg(duration);
}

class TestFrmMessage : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_page;
    QList<MessageBox::Request> m_boxes;
    QStringList m_lookups;

private slots:
    void initTestCase()
    {
        m_page = m_dir.filePath(u"ParloMsg.html"_s);
        QVERIFY(writeFile(m_page, "<html><body><h3>Result</h3></body></html>"));
    }

    void init()
    {
        clearStore();
        oProps.setXMLSchema(schema(60000));
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
    }

    void slidesInHoldsAndUnloadsItself()
    {
        oProps.setXMLSchema(schema(300));
        const ScreenTwips screen = ScreenTwips::primary();
        QPointer<frmMessage> w = frmMessage::instance();
        auto* view = w->findChild<QWebEngineView*>(u"webMessage"_s);
        QSignalSpy loaded(view, &QWebEngineView::loadFinished);
        w->ShowMessage(m_page);
        QCOMPARE(oProps.SleepTime(), u"60"_s);
        QVERIFY(w->isVisible());
        QVERIFY(w->x() >= screen.toPixelsX(screen.width));
        QCOMPARE(w->size(), QSize(screen.toPixelsX(3375), screen.toPixelsY(4380)));
        QTRY_COMPARE(loaded.value(0).value(0).toBool(), true);
        QCOMPARE(view->url(), QUrl::fromLocalFile(m_page));
        // At rest the right edge is at least 200 twips inside the screen.
        QTRY_VERIFY_WITH_TIMEOUT(w->x() <= screen.toPixelsX(screen.width - 3375 - 200), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!frmMessage::isLoaded(), 15000);
        QTRY_VERIFY(w.isNull());
    }

    void missingParameterIsError91()
    {
        oProps.setXMLSchema(schema(60000).remove(u"<WinWidth>3375</WinWidth>"_s));
        try {
            frmMessage::instance()->ShowMessage(m_page);
            QFAIL("no error");
        } catch (const BrandleError& e) {
            QCOMPARE(e.number(), 91);
        }
        QCOMPARE(oProps.SleepTime(), u"old"_s);
        QVERIFY(!frmMessage::instance()->isVisible());
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
        frmMessage* w = frmMessage::instance();
        w->ShowMessage(m_page);
        auto* box = w->findChild<QComboBox*>(u"cboURLs"_s);
        for (int i = 0; i < downs; ++i)
            QTest::keyClick(box, Qt::Key_Down);
        QTest::keyClicks(box->lineEdit(), typed);
        QTest::mouseClick(w->findChild<QPushButton*>(u"cmdGetCount"_s), Qt::LeftButton);

        QCOMPARE(frmMessage::isLoaded(), site.isEmpty());
        QCOMPARE(m_lookups.join(u'|'), site);
        QCOMPARE(m_boxes.size() == 1 ? m_boxes.first().text : QString(),
                 site.isEmpty() ? u"You must provide a URL to perform a link count on."_s
                                : QString());
        QCOMPARE(RecentList::load(5).join(u','), list);
    }

    // Empty keys are skipped on loading; a typed address is appended even when the list holds
    // it, and limit 0 drops nothing; saving a shorter list leaves the keys above it.
    void storedOldestFirst()
    {
        for (int n : {1, 3, 5, 6})
            SaveAppSetting(StoreKeys::SectionApp, StoreKeys::recentLookup(n), QChar(u'@' + n));
        const QStringList list = RecentList::load(RecentList::limit(u"5"_s));
        QCOMPARE(list.join(u','), u"A,C,E"_s);
        RecentList::save(RecentList::afterLookup(list, -1, u"A"_s, 0));
        QCOMPARE(RecentList::load(6).join(u','), u"A,C,E,A,E,F"_s);
    }
};

BRANDLE_TEST(TestFrmMessage)
#include "tst_frmmessage.moc"

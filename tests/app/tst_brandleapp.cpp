// SPDX-License-Identifier: MIT
#include "TestMain.h"
#include "TestSupport.h"

#include "app/BrandleApp.h"
#include "platform/Store.h"
#include "platform/StoreKeys.h"
#include "platform/mConstants.h"
#include "windows/WebWindows.h"

#include <QCheckBox>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

void store(const char* key, const QString& value)
{
    SaveAppSetting(StoreKeys::SectionApp, QLatin1String(key), value);
}

} // namespace

// The resident program without a real service host: the status host answers "Closed", so a
// lookup that starts ends at once without a page.
class TestBrandleApp : public QObject {
    Q_OBJECT

    TestServer m_host;
    QList<MessageBox::Request> m_boxes;

private slots:
    void initTestCase()
    {
        m_host.route(mConstants::StatusPath, "Closed");
        m_host.start();
        qputenv("BRANDLE_SERVICE_HOST", m_host.hostPort().toUtf8());
        MessageBox::setTestHook([this](const MessageBox::Request& r) {
            m_boxes << r;
            return QMessageBox::Ok;
        });
    }
    void init()
    {
        clearStore();
        oProps = clsProps();
        m_boxes.clear();
    }

    void firstRunShowsTheSettings()
    {
        BrandleApp app;
        app.OpenParlo(0);
        QVERIFY(app.settings()->isVisible());
        QVERIFY(!app.driver()->isRunning());
        QCOMPARE(oProps.History(), u"5"_s);
        QCOMPARE(oProps.Logging(), QString());
        QCOMPARE(app.tray()->tip(), u"Brandle"_s);
        QVERIFY(!app.settings()->bChanged());
        const auto box = [&](const char* name) {
            return app.settings()->findChild<QCheckBox*>(QLatin1String(name))->isChecked();
        };
        QVERIFY(box("chkLogging") && box("chkHourCheck") && !box("chkPlaySound") &&
                box("chkWindowTop"));
        // Nothing is stored until the user saves.
        QCOMPARE(GetAppSetting(StoreKeys::SectionApp, StoreKeys::Logging), QString());
    }

    void startUpCheck_data()
    {
        QTest::addColumn<QString>("autoCheck");
        QTest::addColumn<bool>("checks");
        QTest::newRow("on") << "1" << true;
        QTest::newRow("off") << "0" << false;
        QTest::newRow("never saved") << "" << false;
    }
    void startUpCheck()
    {
        QFETCH(QString, autoCheck);
        QFETCH(bool, checks);
        store("URL1", u"HTTP://Example.com"_s);
        store("HrCks", autoCheck);
        BrandleApp app;
        app.timer()->stop(); // only the start-up check counts here
        QSignalSpy done(app.driver(), &LookupDriver::finished);
        app.OpenParlo(0);
        QVERIFY(!app.settings()->isVisible());
        QCOMPARE(app.driver()->isRunning(), checks);
        if (checks) {
            QVERIFY(done.wait(10000));
            QCOMPARE(app.tray()->tip(), u"Brandle\r\nURL: HTTP://Example.com"_s);
        }
    }

    void recallBeforeAnyLookupDoesNothing()
    {
        BrandleApp app;
        app.mnuPopLastCount_Click();
        QVERIFY(loadedWebWindows() == nullptr);
    }

    // A recent lookup is checked only when the settings are valid: the Primary URL box is empty.
    void recentLookupNeedsAPrimaryUrl()
    {
        BrandleApp app;
        app.OpenParlo(0);
        app.mnuPopHist_Click(u"example.org"_s);
        QVERIFY(!app.driver()->isRunning());
        QCOMPARE(m_boxes.size(), 1);
        QVERIFY(m_boxes.first().text.contains(u"Primary URL"_s));
    }

    void trayMenu()
    {
        BrandleApp app;
        QStringList captions;
        for (QAction* a : app.tray()->menu()->actions())
            captions << (a->isSeparator() ? u"-"_s : a->text());
        QCOMPARE(captions,
                 (QStringList{u"&Refresh Count"_s, u"-"_s, u"Recall &Count"_s, u"&Close Count"_s,
                              u"-"_s, u"&URL Settings"_s, u"&Quick Graph"_s, u"&Recent Lookups"_s,
                              u"-"_s, u"E&xit"_s}));
        store("URLGet1", u"a.com"_s);
        store("URLGet2", u"b.com"_s);
        oProps.setHistory(u"5"_s);
        emit app.tray()->menu()->aboutToShow();
        QVERIFY(app.tray()->menu()->actions().at(7)->isVisible());

        // A double-click opens the settings on "Main URL"; a single click does nothing.
        app.settings()->tabs()->setCurrentIndex(1);
        emit app.tray()->icon()->activated(QSystemTrayIcon::Trigger);
        QVERIFY(!app.settings()->isVisible());
        emit app.tray()->icon()->activated(QSystemTrayIcon::DoubleClick);
        QVERIFY(app.settings()->isVisible());
        QCOMPARE(app.settings()->tabs()->currentIndex(), 0);
    }
};

BRANDLE_TEST(TestBrandleApp)
#include "tst_brandleapp.moc"

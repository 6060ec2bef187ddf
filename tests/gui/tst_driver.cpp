// SPDX-License-Identifier: MIT
#include "GuiTestSupport.h"
#include "TestMain.h"
#include "TestSupport.h"

#include "app/LookupDriver.h"
#include "platform/mConstants.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;
using namespace brandle;

// Records the driver's signals and the message boxes, answered with OK, in order.
class TestDriver : public QObject {
    Q_OBJECT
    QStringList m_events;

    void record(LookupDriver& d)
    {
        m_events.clear();
        connect(&d, &LookupDriver::showLoading, this, [this] { m_events << u"loading"_s; });
        connect(&d, &LookupDriver::closeLoading, this, [this] { m_events << u"closed"_s; });
        connect(&d, &LookupDriver::showPage, this, [this] { m_events << u"page"_s; });
        connect(&d, &LookupDriver::trayMessage, this,
                [this](const QString&, const QString& t) { m_events << u"tray: "_s + t; });
    }

private slots:
    void init() { oProps = clsProps(); }

    // While one lookup runs a second is refused, with a tray message only when the user asked.
    void lookup_data()
    {
        QTest::addColumn<QByteArray>("status");
        QTest::addColumn<EngineAnswers>("engines");
        QTest::addColumn<bool>("hostDown");
        QTest::addColumn<QStringList>("events"); // %1: the service host
        const QString notUpdated = u" could not be reached, so the link count was not updated."_s;
        QTest::newRow("notice before the lookup, then the page")
            << QByteArray("MessageOn\r\nNews\r\nA new engine is here.\r\n64")
            << EngineAnswers{counted(u"One"_s, u"1,234"_s, 1500)} << false
            << QStringList{u"box: News: A new engine is here."_s, u"loading"_s, u"closed"_s,
                           u"page"_s};
        QTest::newRow("error box")
            << QByteArray("Active") << EngineAnswers{incomplete(u"One"_s, u"1,234"_s)} << false
            << QStringList{u"loading"_s, u"closed"_s,
                           u"box: Brandle: 91 - Required XML element not found: RightString"_s};
        QTest::newRow("download failure")
            << QByteArray("Active") << EngineAnswers{unreachable(u"One"_s)} << false
            << QStringList{u"loading"_s, u"closed"_s, u"tray: The engine \"One\""_s + notUpdated};
        QTest::newRow("service host unreachable")
            << QByteArray("Active") << EngineAnswers{unreachable(u"One"_s)} << true
            << QStringList{u"tray: The service host %1"_s + notUpdated};
    }
    void lookup()
    {
        QFETCH(QByteArray, status);
        QFETCH(EngineAnswers, engines);
        QFETCH(bool, hostDown);
        QFETCH(QStringList, events);
        FakeServiceHost host;
        host.status(status).engines(engines).start();
        const QString address = hostDown ? deadHostPort() : host.hostPort();
        const ScopedEnv env("BRANDLE_SERVICE_HOST", address.toUtf8());
        const MessageBoxRecorder boxes(QMessageBox::Ok, [this](const MessageBox::Request& r) {
            m_events << u"box: "_s + r.title + u": "_s + r.text;
        });
        LookupDriver driver;
        record(driver);
        QSignalSpy done(&driver, &LookupDriver::finished);
        int ticks = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
        ticker.start(20);
        QVERIFY(driver.start(u"example.com"_s, LookupDriver::Origin::Automatic));
        QVERIFY(!driver.start(u"b.com"_s, LookupDriver::Origin::Automatic));
        QVERIFY(!driver.start(u"b.com"_s, LookupDriver::Origin::User));
        QVERIFY(done.wait(15000));
        // Boxes and signals in the order they came.
        QStringList expected{
            u"tray: A link count is already running. Please wait until it ends."_s};
        for (const QString& e : events)
            expected << QString(e).replace(u"%1"_s, address);
        QCOMPARE(m_events, expected);
        QCOMPARE(boxes.boxes().size(), int(events.filter(u"box: "_s).size()));
        const bool live = !engines.isEmpty() && engines.first().delayMs > 0;
        QCOMPARE(oProps.LastCount(), live ? u"1234"_s : QString());
        QCOMPARE(oProps.SleepTime(), live ? u"60"_s : QString());
        QVERIFY2(!live || ticks > 10, "the event loop stood still during the lookup");
    }
};

BRANDLE_TEST(TestDriver)
#include "tst_driver.moc"

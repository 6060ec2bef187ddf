// SPDX-License-Identifier: MIT
#include "TestMain.h"
#include "TestSupport.h"

#include "app/LookupDriver.h"
#include "platform/mConstants.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;
using namespace brandle;

// A host whose engine "One" is "live" (a notice first, 1,234 after 1.5 s), "dead" or "broken".
struct Host {
    TestServer server;
    explicit Host(const QString& kind)
    {
        const bool live = kind == u"live"_s;
        server.route(u"/e"_s, "count [1,234] here", 200, u"text/html"_s, 1500);
        server.route(mConstants::StatusPath,
                     live ? "MessageOn\r\nNews\r\nA new engine is here.\r\n64" : "Active");
        server.route(
            mConstants::StyleSheetPath,
            "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\"/>",
            200, u"text/xml"_s);
        server.start();
        const QString url =
            live ? server.url(u"/e?q="_s) : u"http://127.0.0.1:%1/"_s.arg(closedPort());
        const QString right = kind == u"broken"_s ? QString() : u"<RightString>]</RightString>"_s;
        server.route(
            mConstants::SchemaPath,
            u"<R><A/><L><E><EngineName>One</EngineName><EngineHome>h</EngineHome><LeftURL>"
            "%1</LeftURL><RightURL></RightURL><LeftString>[</LeftString>%2<ReplaceDot>."
            "</ReplaceDot></E></L><WinWidth>3375</WinWidth><WinHeight>4380</WinHeight>"
            "<WinDuration>5000</WinDuration><WinSpeed>10</WinSpeed><WinSlide>150</WinSlide>"
            "<WebWidth>3405</WebWidth><WebHeight>3525</WebHeight><PicHeight>850</PicHeight>"
            "<WinSleep>60</WinSleep><LPResults></LPResults></R>"_s.arg(url, right)
                .toUtf8(),
            200, u"text/xml"_s);
    }
};

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
    void initTestCase()
    {
        MessageBox::setTestHook([this](const MessageBox::Request& r) {
            m_events << u"box: "_s + r.title + u": "_s + r.text;
            return QMessageBox::Ok;
        });
    }
    void cleanupTestCase() { MessageBox::setTestHook(nullptr); }
    void init() { oProps = clsProps(); }

    // While one lookup runs a second is refused, with a tray message only when the user asked.
    void lookup_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<bool>("hostDown");
        QTest::addColumn<QString>("events"); // %1: the service host
        const QString notUpdated = u" could not be reached, so the link count was not updated."_s;
        QTest::newRow("notice before the lookup, then the page")
            << u"live"_s << false << u"box: News: A new engine is here.|loading|closed|page"_s;
        QTest::newRow("error box")
            << u"broken"_s << false
            << u"loading|closed|box: Brandle: 91 - Required XML element not found: RightString"_s;
        QTest::newRow("download failure")
            << u"dead"_s << false << u"loading|closed|tray: The engine \"One\""_s + notUpdated;
        QTest::newRow("service host unreachable")
            << u"dead"_s << true << u"tray: The service host %1"_s + notUpdated;
    }
    void lookup()
    {
        QFETCH(QString, engine);
        QFETCH(bool, hostDown);
        QFETCH(QString, events);
        Host host(engine);
        const QString address =
            hostDown ? u"127.0.0.1:"_s + QString::number(closedPort()) : host.server.hostPort();
        const ScopedEnv env("BRANDLE_SERVICE_HOST", address.toUtf8());
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
        QCOMPARE(m_events.join(u'|'),
                 u"tray: A link count is already running. Please wait until it "
                 "ends.|"_s +
                     events.replace(u"%1"_s, address));
        const bool live = engine == u"live"_s;
        QCOMPARE(oProps.LastCount(), live ? u"1234"_s : QString());
        QVERIFY2(!live || ticks > 10, "the event loop stood still during the lookup");
    }
};

BRANDLE_TEST(TestDriver)
#include "tst_driver.moc"

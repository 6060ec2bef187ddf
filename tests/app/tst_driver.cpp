// SPDX-License-Identifier: MIT
#include "TestMain.h"
#include "TestSupport.h"

#include "app/LookupDriver.h"
#include "platform/mConstants.h"
#include "windows/frmLoading.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace Qt::Literals::StringLiterals;

namespace {

QByteArray engineEntry(const QString& name, const QString& url)
{
    return QStringLiteral("<E><EngineName>%1</EngineName><EngineHome>h</EngineHome>"
                          "<LeftURL>%2</LeftURL><RightURL></RightURL>"
                          "<LeftString>[</LeftString><RightString>]</RightString>"
                          "<ReplaceDot>.</ReplaceDot></E>")
        .arg(name, url)
        .toUtf8();
}

const QByteArray styleSheet =
    "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
    "<xsl:output method=\"html\"/><xsl:template match=\"/\"><p>"
    "<xsl:value-of select=\"//Results/@Total\"/></p></xsl:template></xsl:stylesheet>";

// A service host with one engine whose answer comes after delayMs.
struct Host {
    TestServer server;
    explicit Host(const QByteArray& status = "Active", int delayMs = 0,
                  const QByteArray& entries = QByteArray())
    {
        server.route(u"/e"_s, "count [1,234] here", 200, u"text/html"_s, delayMs);
        server.route(mConstants::StatusPath, status);
        server.route(mConstants::StyleSheetPath, styleSheet, 200, u"text/xml"_s);
        server.start();
        const QByteArray list =
            entries.isEmpty() ? engineEntry(u"One"_s, server.url(u"/e?q="_s)) : entries;
        server.route(mConstants::SchemaPath,
                     "<R><A/><L>" + list + "</L><LPResults></LPResults></R>", 200, u"text/xml"_s);
    }
};

struct Recorder {
    QStringList events;
    QList<MessageBox::Request> boxes;
    Recorder(LookupDriver& driver)
    {
        MessageBox::setTestHook([this](const MessageBox::Request& r) {
            boxes << r;
            events << u"box"_s;
            return QMessageBox::Ok;
        });
        QObject::connect(&driver, &LookupDriver::showLoading, [this] { events << u"loading"_s; });
        QObject::connect(&driver, &LookupDriver::closeLoading, [this] { events << u"closed"_s; });
        QObject::connect(&driver, &LookupDriver::showPage, [this] { events << u"page"_s; });
        QObject::connect(&driver, &LookupDriver::trayMessage,
                         [this](const QString&, const QString& t) { events << u"tray: "_s + t; });
    }
    ~Recorder() { MessageBox::setTestHook(nullptr); }
};

bool finish(LookupDriver& driver)
{
    QSignalSpy done(&driver, &LookupDriver::finished);
    return done.wait(15000);
}

} // namespace

class TestDriver : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        clearStore();
        oProps = clsProps();
    }

    void pageWrittenReachesTheWindowsAndTheRecord()
    {
        Host host;
        const ScopedEnv env("BRANDLE_SERVICE_HOST", host.server.hostPort().toUtf8());
        LookupDriver driver;
        Recorder rec(driver);
        QVERIFY(driver.start(u"example.com"_s, LookupDriver::Origin::User));
        QVERIFY(finish(driver));
        QCOMPARE(rec.events, (QStringList{u"loading"_s, u"closed"_s, u"page"_s}));
        QCOMPARE(oProps.URLName(), u"example.com"_s);
        QCOMPARE(oProps.LastCount(), u"1234"_s);
        QVERIFY(oProps.XMLSchema().contains(u"<Results Site=\"example.com\""_s));
        QVERIFY(!driver.isRunning());
    }

    // The user interface goes on while a slow engine answers; a second request is not started.
    void oneLookupAtATime()
    {
        Host host("Active", 1500);
        const ScopedEnv env("BRANDLE_SERVICE_HOST", host.server.hostPort().toUtf8());
        LookupDriver driver;
        Recorder rec(driver);
        QVERIFY(driver.start(u"a.com"_s, LookupDriver::Origin::User));
        int ticks = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
        ticker.start(20);
        QTRY_VERIFY(rec.events.contains(u"loading"_s));
        QVERIFY(!driver.start(u"b.com"_s, LookupDriver::Origin::Automatic));
        QVERIFY(!driver.start(u"b.com"_s, LookupDriver::Origin::User));
        QVERIFY(finish(driver));
        QVERIFY2(ticks > 10, "the event loop stood still during the lookup");
        QCOMPARE(rec.events.filter(u"tray: "_s).size(), 1);
        QVERIFY(rec.events.filter(u"tray: "_s).first().contains(u"already running"_s));
        QCOMPARE(oProps.URLName(), u"a.com"_s);
    }

    void errorBox()
    {
        QByteArray broken = engineEntry(u"One"_s, u"http://127.0.0.1:1/"_s);
        broken.replace("<RightString>]</RightString>", "");
        Host host("Active", 0, broken);
        const ScopedEnv env("BRANDLE_SERVICE_HOST", host.server.hostPort().toUtf8());
        LookupDriver driver;
        Recorder rec(driver);
        driver.start(u"example.com"_s, LookupDriver::Origin::User);
        QVERIFY(finish(driver));
        QCOMPARE(rec.events, (QStringList{u"loading"_s, u"closed"_s, u"box"_s}));
        QCOMPARE(rec.boxes.first().title, u"Brandle"_s);
        QCOMPARE(rec.boxes.first().text, u"91 - Required XML element not found: RightString"_s);
        QCOMPARE(rec.boxes.first().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QVERIFY(oProps.XMLSchema().isEmpty());
    }

    void noticeComesFirst()
    {
        Host host("MessageOn\r\nNews\r\nA new engine is here.\r\n64");
        const ScopedEnv env("BRANDLE_SERVICE_HOST", host.server.hostPort().toUtf8());
        LookupDriver driver;
        Recorder rec(driver);
        driver.start(u"example.com"_s, LookupDriver::Origin::Automatic);
        QVERIFY(finish(driver));
        QCOMPARE(rec.events, (QStringList{u"box"_s, u"loading"_s, u"closed"_s, u"page"_s}));
        QCOMPARE(rec.boxes.first().title, u"News"_s);
        QCOMPARE(rec.boxes.first().text, u"A new engine is here."_s);
        QCOMPARE(rec.boxes.first().icon, QMessageBox::Information);
    }

    void unreachableSaySoInTheTray_data()
    {
        QTest::addColumn<bool>("hostDown");
        QTest::addColumn<QString>("message");
        QTest::newRow("engine") << false << "The engine \"Gone\" could not be reached";
        QTest::newRow("service host") << true << "could not be reached";
    }
    void unreachableSaySoInTheTray()
    {
        QFETCH(bool, hostDown);
        QFETCH(QString, message);
        const QString dead = QStringLiteral("http://127.0.0.1:%1/").arg(closedPort());
        Host host("Active", 0, engineEntry(u"Gone"_s, dead));
        const QByteArray address = hostDown ? "127.0.0.1:" + QByteArray::number(closedPort())
                                            : host.server.hostPort().toUtf8();
        const ScopedEnv env("BRANDLE_SERVICE_HOST", address);
        LookupDriver driver;
        Recorder rec(driver);
        driver.start(u"example.com"_s, LookupDriver::Origin::Automatic);
        QVERIFY(finish(driver));
        QVERIFY(rec.boxes.isEmpty());
        QVERIFY(!rec.events.contains(u"page"_s));
        QCOMPARE(rec.events.filter(u"tray: "_s).size(), 1);
        QVERIFY2(rec.events.filter(u"tray: "_s).first().contains(message),
                 qPrintable(rec.events.join(u'|')));
    }

    void noticeStyles_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<int>("icon");
        QTest::addColumn<int>("buttons");
        QTest::newRow("information") << 64 << int(QMessageBox::Information) << int(QMessageBox::Ok);
        QTest::newRow("warning") << 48 << int(QMessageBox::Warning) << int(QMessageBox::Ok);
        QTest::newRow("critical yes/no")
            << 20 << int(QMessageBox::Critical) << int(QMessageBox::Yes | QMessageBox::No);
        QTest::newRow("question ok/cancel")
            << 33 << int(QMessageBox::Question) << int(QMessageBox::Ok | QMessageBox::Cancel);
        QTest::newRow("plain") << 0 << int(QMessageBox::NoIcon) << int(QMessageBox::Ok);
    }
    void noticeStyles()
    {
        QFETCH(int, style);
        QFETCH(int, icon);
        QFETCH(int, buttons);
        const MessageBox::Request r = noticeRequest({u"T"_s, u"X"_s, style});
        QCOMPARE(int(r.icon), icon);
        QCOMPARE(int(r.buttons), buttons);
    }

    void loadingWindowPlacement()
    {
        QCOMPARE(frmLoading::placement(15360, 11520), QPointF(12390, 10565));
    }
};

BRANDLE_TEST(TestDriver)
#include "tst_driver.moc"

// SPDX-License-Identifier: MIT
#include "GuiTestSupport.h"
#include "TestMain.h"
#include "TestSupport.h"

#include "app/LookupDriver.h"
#include "platform/Store.h"
#include "platform/mConstants.h"

#include <QApplication>
#include <QLabel>
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
        connect(&d, &LookupDriver::tellUser, this,
                [this](const UserNotice& n) { m_events << u"tray: "_s + n.text; });
    }

private slots:
    void init() { oProps = clsProps(); }

    // A notice with markup is shown as the text it is: no heading, no link to follow.
    void noticeIsPlainText()
    {
        const ServiceNotice notice{u"<b>News</b>"_s,
                                   u"<h1>Big</h1><a href=\"file:///etc/passwd\">open</a>"_s, 64};
        QString shown;
        Qt::TextFormat format = Qt::RichText;
        QTimer::singleShot(0, this, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            auto* label = box->findChild<QLabel*>(u"qt_msgbox_label"_s);
            shown = label->text();
            format = label->textFormat();
            box->done(QMessageBox::Ok);
        });
        MessageBox::show(nullptr, noticeRequest(notice));
        QCOMPARE(shown, notice.text);
        QCOMPARE(format, Qt::PlainText);
    }

    // A count whose total changed tells the total and the change against the count before.
    void countNotice_data()
    {
        QTest::addColumn<int>("total");
        QTest::addColumn<int>("previous");
        QTest::addColumn<QString>("text");
        // clang-format off
        QTest::newRow("higher") << 1234 << 1000 << "a.com: 1,234 links, up 234 from 1,000.";
        QTest::newRow("lower") << 1000 << 1234 << "a.com: 1,000 links, down 234 from 1,234.";
        QTest::newRow("unchanged") << 1234 << 1234 << "a.com: 1,234 links, unchanged.";
        QTest::newRow("change beyond 32 bits")
            << 2147483647 << -2147483647
            << "a.com: 2,147,483,647 links, up 4,294,967,294 from -2,147,483,647.";
        // clang-format on
    }
    void countNotice()
    {
        QFETCH(int, total);
        QFETCH(int, previous);
        QFETCH(QString, text);
        const UserNotice notice = brandle::countNotice(u"a.com"_s, total, previous);
        QCOMPARE(notice.text, text);
        QCOMPARE(notice.kind, UserNotice::Kind::Count);
    }

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

    // A lookup whose settings cannot be saved ends with the error box; the page is not shown.
    void settingsCannotBeSaved()
    {
        clearStore();
        QVERIFY(SaveAppSetting(u"ParloApp"_s, u"URLGet1"_s, QString(6000, u'x')));
        FakeServiceHost host;
        host.engines({counted(u"One"_s, u"1,234"_s)}).start();
        const ScopedEnv env("BRANDLE_SERVICE_HOST", host.hostPort().toUtf8());
        const MessageBoxRecorder boxes(QMessageBox::Ok, [this](const MessageBox::Request& r) {
            m_events << u"box: "_s + r.title + u": "_s + r.text.section(u':', 0, 0);
        });
        LookupDriver driver;
        record(driver);
        QSignalSpy done(&driver, &LookupDriver::finished);
        {
            const FileSizeLimit noRoom(4096);
            QVERIFY(driver.start(u"example.com"_s, LookupDriver::Origin::Automatic));
            QVERIFY(done.wait(15000));
        }
        QCOMPARE(m_events, (QStringList{u"loading"_s, u"closed"_s,
                                        u"box: Brandle: 335 - The settings could not be saved"_s}));
        QCOMPARE(GetAppSetting(u"LinkEng"_s, u"Eng-One"_s), QString());
    }
};

BRANDLE_TEST(TestDriver)
#include "tst_driver.moc"

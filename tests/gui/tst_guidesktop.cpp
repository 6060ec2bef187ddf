// SPDX-License-Identifier: MIT
#include "GuiTestSupport.h"
#include "TestMain.h"
#include "TestSupport.h"

#include "app/LookupDriver.h"
#include "desktop/MessageBox.h"
#include "desktop/Notifier.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QLabel>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace brandle;

// A notification service on its own bus connection while it lives, recording what it is sent.
class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList calls; // "summary: body: the id it replaces"
    QVariantMap firstHints;
    bool registered = false;

    FakeNotifications(const QString& address, const QStringList& capabilities = {})
        : m_capabilities(capabilities)
        , m_bus(QDBusConnection::connectToBus(address, m_name))
    {
        m_bus.registerObject(u"/org/freedesktop/Notifications"_s, this,
                             QDBusConnection::ExportAllSlots);
        registered = m_bus.registerService(u"org.freedesktop.Notifications"_s);
    }
    ~FakeNotifications() override { QDBusConnection::disconnectFromBus(m_name); }

public slots:
    QStringList GetCapabilities() { return m_capabilities; }
    quint32 Notify(const QString&, quint32 replaces, const QString&, const QString& summary,
                   const QString& body, const QStringList&, const QVariantMap& hints, qint32)
    {
        if (calls.isEmpty())
            firstHints = hints;
        calls << summary + u": "_s + body + u": "_s + QString::number(replaces);
        return replaces != 0 ? replaces : quint32(calls.size());
    }

private:
    static inline int s_count = 0;
    QStringList m_capabilities;
    QString m_name = u"service-%1"_s.arg(++s_count);
    QDBusConnection m_bus;
};

// The notifier against a private session bus (its own dbus-daemon), with and without a service.
class TestNotifier : public QObject {
    Q_OBJECT
    QProcess m_daemon;
    QString m_address;

    QDBusConnection connect()
    {
        static int connections = 0;
        return QDBusConnection::connectToBus(m_address, u"brandle-%1"_s.arg(++connections));
    }

private slots:
    void initTestCase()
    {
        m_daemon.start(u"dbus-daemon"_s, {u"--session"_s, u"--nofork"_s, u"--print-address=1"_s});
        QVERIFY2(m_daemon.waitForStarted(WaitMs), "dbus-daemon is needed (Debian package dbus)");
        QTRY_VERIFY_WITH_TIMEOUT(m_daemon.canReadLine(), WaitMs);
        m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    }
    void cleanupTestCase()
    {
        m_daemon.terminate();
        m_daemon.waitForFinished(5000);
    }

    // Escaped only for a service that renders markup; a count replaces the count before it.
    void toTheService_data()
    {
        QTest::addColumn<QStringList>("capabilities");
        QTest::addColumn<QString>("body");
        QTest::newRow("service renders markup")
            << QStringList{u"body"_s, u"body-markup"_s}
            << u"a &lt; b &amp; &lt;a href=&quot;file:///etc&quot;&gt;x&lt;/a&gt;"_s;
        QTest::newRow("service shows plain text")
            << QStringList{u"body"_s} << u"a < b & <a href=\"file:///etc\">x</a>"_s;
    }
    void toTheService()
    {
        QFETCH(QStringList, capabilities);
        QFETCH(QString, body);
        FakeNotifications service(m_address, capabilities);
        QVERIFY(service.registered);
        Notifier notifier;
        notifier.setBus(connect());
        notifier.setFallback([](const UserNotice& n) { QFAIL(qPrintable(n.text)); });
        QSignalSpy delivered(&notifier, &Notifier::delivered);
        notifier.tell(
            {u"count 1"_s, u"a < b & <a href=\"file:///etc\">x</a>"_s, UserNotice::Kind::Count});
        notifier.tell({u"count 2"_s, u"second count"_s, UserNotice::Kind::Count});
        notifier.tell({u"news"_s, u"news"_s, UserNotice::Kind::Info});
        QTRY_COMPARE_WITH_TIMEOUT(delivered.size(), 3, WaitMs);
        service.calls.sort();
        QCOMPARE(service.calls, (QStringList{u"count 1: "_s + body + u": 0"_s,
                                             u"count 2: second count: 1"_s, u"news: news: 0"_s}));
        // The icon: 64 x 64 pixels of 4 channels.
        const auto image = service.firstHints.value(u"image-data"_s).value<QDBusArgument>();
        qint32 width = 0, height = 0, stride = 0, bits = 0, channels = 0;
        bool alpha = false;
        QByteArray data;
        image.beginStructure();
        image >> width >> height >> stride >> alpha >> bits >> channels >> data;
        image.endStructure();
        QCOMPARE(QList<int>({width, height, channels, int(data.size())}),
                 QList<int>({64, 64, 4, 16384}));
    }

    // No bus or no service: the fallback; a service that starts later is used.
    void fallback()
    {
        QStringList fellBack;
        const auto record = [&fellBack](const UserNotice& n) {
            fellBack << n.text;
        };
        Notifier noBus;
        noBus.setBus(QDBusConnection(u"no such connection"_s));
        noBus.setFallback(record);
        noBus.tell({u"Brandle"_s, u"no bus"_s, UserNotice::Kind::Warning});
        QCOMPARE(fellBack, QStringList{u"no bus"_s});

        Notifier notifier;
        notifier.setBus(connect());
        notifier.setFallback(record);
        QSignalSpy delivered(&notifier, &Notifier::delivered);
        notifier.tell({u"Brandle"_s, u"first"_s, UserNotice::Kind::Info});
        QTRY_COMPARE_WITH_TIMEOUT(delivered.size(), 1, WaitMs);
        QCOMPARE(delivered.at(0).at(0).toBool(), false);
        FakeNotifications service(m_address);
        QVERIFY(service.registered);
        notifier.tell({u"Brandle"_s, u"second"_s, UserNotice::Kind::Info});
        QTRY_COMPARE_WITH_TIMEOUT(delivered.size(), 2, WaitMs);
        QCOMPARE(delivered.at(1).at(0).toBool(), true);
        QCOMPARE(service.calls, QStringList{u"Brandle: second: 0"_s});
        QCOMPARE(fellBack, (QStringList{u"no bus"_s, u"first"_s}));
    }

    // A notice of the service host with markup shows as the text it is: no heading, no link.
    void noticeIsPlainText()
    {
        const ServiceNotice notice{u"<b>News</b>"_s,
                                   u"<h1>Big</h1><a href=\"file:///etc/passwd\">open</a>"_s, 64};
        QString shown;
        whenBoxOpens([&shown](QWidget* box) {
            const auto* label = box->findChild<QLabel*>(u"qt_msgbox_label"_s);
            shown = label->textFormat() == Qt::PlainText ? label->text() : u"rich text"_s;
        });
        MessageBox::show(nullptr, noticeRequest(notice));
        QCOMPARE(shown, notice.text);
    }
};

BRANDLE_TEST(TestNotifier)
#include "tst_guidesktop.moc"

// SPDX-License-Identifier: MIT
#include "TestMain.h"
#include "TestSupport.h"

#include "desktop/Notifier.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace brandle;

// The desktop's notification service as the protocol describes it, recording what it is sent.
class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Call {
        quint32 replaces = 0;
        QString summary;
        QString body;
        QVariantMap hints;
    };
    QStringList capabilities;
    QList<Call> calls;
    quint32 nextId = 1;

public slots:
    QStringList GetCapabilities() { return capabilities; }
    quint32 Notify(const QString&, quint32 replaces, const QString&, const QString& summary,
                   const QString& body, const QStringList&, const QVariantMap& hints, qint32)
    {
        calls.append({replaces, summary, body, hints});
        return replaces != 0 ? replaces : nextId++;
    }
};

// The size and the byte count of an "image-data" hint: "64x64x4 16384".
static QString imageSummary(const QVariant& hint)
{
    const auto argument = hint.value<QDBusArgument>();
    qint32 width = 0, height = 0, stride = 0, bits = 0, channels = 0;
    bool alpha = false;
    QByteArray data;
    argument.beginStructure();
    argument >> width >> height >> stride >> alpha >> bits >> channels >> data;
    argument.endStructure();
    return u"%1x%2x%3 %4"_s.arg(width).arg(height).arg(channels).arg(data.size());
}

// The fake service on its own connection to the bus while it lives.
class ServiceOnBus {
public:
    explicit ServiceOnBus(const QString& address, const QStringList& capabilities = {})
        : m_name(u"service-%1"_s.arg(++s_count))
        , m_bus(QDBusConnection::connectToBus(address, m_name))
    {
        service.capabilities = capabilities;
        m_bus.registerObject(u"/org/freedesktop/Notifications"_s, &service,
                             QDBusConnection::ExportAllSlots);
        m_registered = m_bus.registerService(u"org.freedesktop.Notifications"_s);
    }
    ~ServiceOnBus() { QDBusConnection::disconnectFromBus(m_name); }
    bool registered() const { return m_registered; }

    FakeNotifications service;

private:
    static inline int s_count = 0;
    QString m_name;
    QDBusConnection m_bus;
    bool m_registered = false;
};

// The notifier against a private session bus (its own dbus-daemon), with and without a service.
class TestNotifier : public QObject {
    Q_OBJECT
    QProcess m_daemon;
    QString m_address;
    int m_connection = 0;

    QDBusConnection connect()
    {
        return QDBusConnection::connectToBus(m_address, u"brandle-%1"_s.arg(++m_connection));
    }

private slots:
    void initTestCase()
    {
        m_daemon.start(u"dbus-daemon"_s, {u"--session"_s, u"--nofork"_s, u"--print-address=1"_s});
        QVERIFY2(m_daemon.waitForStarted(5000), "dbus-daemon is needed (Debian package dbus)");
        QTRY_VERIFY_WITH_TIMEOUT(m_daemon.canReadLine(), 10000);
        m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    }
    void cleanupTestCase()
    {
        m_daemon.terminate();
        m_daemon.waitForFinished(5000);
    }

    // Plain texts stay plain: escaped only for a service that renders markup.
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
        ServiceOnBus onBus(m_address, capabilities);
        QVERIFY(onBus.registered());
        const FakeNotifications& service = onBus.service;

        Notifier notifier;
        notifier.setBus(connect());
        QList<UserNotice> fellBack;
        notifier.setFallback([&](const UserNotice& n) { fellBack << n; });
        QSignalSpy delivered(&notifier, &Notifier::delivered);
        const QString text = u"a < b & <a href=\"file:///etc\">x</a>"_s;
        notifier.tell({u"count 1"_s, text, UserNotice::Kind::Count});
        notifier.tell({u"count 2"_s, u"second count"_s, UserNotice::Kind::Count});
        notifier.tell({u"news"_s, u"news"_s, UserNotice::Kind::Info});
        QTRY_COMPARE(delivered.size(), 3);
        QVERIFY(fellBack.isEmpty());
        QCOMPARE(service.calls.size(), 3);
        QCOMPARE(service.calls[0].summary, u"count 1"_s);
        QCOMPARE(service.calls[0].body, body);
        QCOMPARE(imageSummary(service.calls[0].hints.value(u"image-data"_s)), u"64x64x4 16384"_s);
        // A count replaces the count before it (it waits for that one's number); other notices
        // stand on their own.
        QStringList replaces;
        for (const FakeNotifications::Call& call : service.calls)
            replaces << call.summary + u": "_s + QString::number(call.replaces);
        replaces.sort();
        QCOMPARE(replaces, (QStringList{u"count 1: 0"_s, u"count 2: 1"_s, u"news: 0"_s}));
    }

    // Without a service the fallback shows the notice; a service that starts later is used.
    void fallbackUntilAServiceAppears()
    {
        Notifier notifier;
        notifier.setBus(connect());
        QStringList fellBack;
        notifier.setFallback([&](const UserNotice& n) { fellBack << n.text; });
        QSignalSpy delivered(&notifier, &Notifier::delivered);
        notifier.tell({u"Brandle"_s, u"first"_s, UserNotice::Kind::Info});
        QTRY_COMPARE(delivered.size(), 1);
        QCOMPARE(delivered.at(0).at(0).toBool(), false);
        QCOMPARE(fellBack, QStringList{u"first"_s});

        ServiceOnBus onBus(m_address);
        QVERIFY(onBus.registered());
        notifier.tell({u"Brandle"_s, u"second"_s, UserNotice::Kind::Info});
        QTRY_COMPARE(delivered.size(), 2);
        QCOMPARE(delivered.at(1).at(0).toBool(), true);
        QCOMPARE(onBus.service.calls.value(0).body, u"second"_s);
        QCOMPARE(fellBack, QStringList{u"first"_s});
    }

    // No session bus at all: the fallback at once.
    void noBus()
    {
        Notifier notifier;
        notifier.setBus(QDBusConnection(u"no such connection"_s));
        QStringList fellBack;
        notifier.setFallback([&](const UserNotice& n) { fellBack << n.text; });
        notifier.tell({u"Brandle"_s, u"text"_s, UserNotice::Kind::Warning});
        QCOMPARE(fellBack, QStringList{u"text"_s});
    }
};

BRANDLE_TEST(TestNotifier)
#include "tst_notifier.moc"

// SPDX-License-Identifier: MIT
#include "desktop/Notifier.h"

#include "desktop/Icon.h"
#include "platform/mConstants.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QImage>
#include <QPixmap>

#include <cstdio>
#include <utility>

using namespace Qt::StringLiterals;

namespace brandle {

namespace {

constexpr QLatin1StringView Service{"org.freedesktop.Notifications"};
constexpr QLatin1StringView Path{"/org/freedesktop/Notifications"};
constexpr int CallTimeoutMs = 5000;
constexpr int IconSize = 64;

// The "image-data" hint: raw RGBA pixels, as the notification protocol describes (iiibiiay).
struct NotificationImage {
    qint32 width = 0;
    qint32 height = 0;
    qint32 rowStride = 0;
    bool hasAlpha = true;
    qint32 bitsPerSample = 8;
    qint32 channels = 4;
    QByteArray data;
};

NotificationImage iconImage()
{
    const QImage image =
        brandleIcon().pixmap(IconSize, IconSize).toImage().convertToFormat(QImage::Format_RGBA8888);
    NotificationImage result;
    result.width = image.width();
    result.height = image.height();
    result.rowStride = qint32(image.bytesPerLine());
    result.data = QByteArray(reinterpret_cast<const char*>(image.constBits()),
                             qsizetype(image.sizeInBytes()));
    return result;
}

QDBusMessage call(const QString& method)
{
    return QDBusMessage::createMethodCall(Service, Path, Service, method);
}

} // namespace

} // namespace brandle

Q_DECLARE_METATYPE(brandle::NotificationImage)

namespace brandle {

namespace {

QDBusArgument& operator<<(QDBusArgument& argument, const NotificationImage& image)
{
    argument.beginStructure();
    argument << image.width << image.height << image.rowStride << image.hasAlpha
             << image.bitsPerSample << image.channels << image.data;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, NotificationImage& image)
{
    argument.beginStructure();
    argument >> image.width >> image.height >> image.rowStride >> image.hasAlpha >>
        image.bitsPerSample >> image.channels >> image.data;
    argument.endStructure();
    return argument;
}

} // namespace

Notifier::Notifier(QObject* parent)
    : QObject(parent)
    , m_bus(QDBusConnection::sessionBus())
{
    qDBusRegisterMetaType<NotificationImage>();
}

void Notifier::setBus(const QDBusConnection& bus)
{
    m_bus = bus;
    m_capabilities.reset();
    m_countId = 0;
}

void Notifier::tell(const UserNotice& notice)
{
    if (!m_bus.isConnected()) {
        fallBack(notice);
        return;
    }
    if (!m_capabilities) {
        // A service that starts after Brandle is found at the next notice.
        m_waiting.push_back(notice);
        askCapabilities();
        return;
    }
    send(notice);
}

void Notifier::askCapabilities()
{
    if (m_asking)
        return;
    m_asking = true;
    auto* watcher = new QDBusPendingCallWatcher(
        m_bus.asyncCall(call(u"GetCapabilities"_s), CallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
        watcher->deleteLater();
        m_asking = false;
        const QDBusPendingReply<QStringList> reply = *watcher;
        if (!reply.isError())
            m_capabilities = reply.value();
        std::deque<UserNotice> waiting;
        waiting.swap(m_waiting);
        for (const UserNotice& notice : waiting) {
            if (m_capabilities)
                send(notice);
            else
                fallBack(notice);
        }
    });
}

void Notifier::send(const UserNotice& notice)
{
    // The body is plain text: a service that renders markup gets it escaped.
    const bool markup = m_capabilities->contains(u"body-markup"_s);
    const QString body = markup ? notice.text.toHtmlEscaped() : notice.text;
    const bool count = notice.kind == UserNotice::Kind::Count;
    if (count && m_countSending) {
        // It replaces the one being sent, whose number is not known yet: it waits for it.
        m_nextCount = notice;
        return;
    }
    m_countSending = m_countSending || count;

    QVariantMap hints;
    hints.insert(u"image-data"_s, QVariant::fromValue(iconImage()));
    hints.insert(u"desktop-entry"_s, u"brandle"_s);
    // Normal: a count is told only for a change the user asked to hear of.
    hints.insert(u"urgency"_s, QVariant::fromValue(uchar(1)));

    QDBusMessage message = call(u"Notify"_s);
    message << QString(mConstants::AppTitle) << quint32(count ? m_countId : 0) << u"brandle"_s
            << notice.title << body << QStringList() << hints << qint32(-1);
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message, CallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, notice, count] {
        watcher->deleteLater();
        const QDBusPendingReply<quint32> reply = *watcher;
        if (reply.isError()) {
            // The service went away: look for it again at the next notice.
            m_capabilities.reset();
            fallBack(notice);
        } else {
            if (count)
                m_countId = reply.value();
            emit delivered(true);
        }
        if (count) {
            m_countSending = false;
            if (m_nextCount)
                tell(*std::exchange(m_nextCount, std::nullopt));
        }
    });
}

void Notifier::fallBack(const UserNotice& notice)
{
    if (m_fallback)
        m_fallback(notice);
    else
        std::fprintf(stderr, "%s: %s\n", qPrintable(notice.title), qPrintable(notice.text));
    emit delivered(false);
}

} // namespace brandle

// SPDX-License-Identifier: MIT
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <optional>

namespace brandle {

// Something to tell the user outside the windows. Title and text are plain text.
struct UserNotice {
    enum class Kind {
        Info,    // news the user may want: a count that could not be made
        Warning, // something the user should act on
        Count,   // a change of a total that reached the alert threshold; a newer one replaces
                 // the older
    };
    QString title;
    QString text;
    Kind kind = Kind::Info;
};

// The one way to tell the user something outside the windows: the desktop's notification
// service (org.freedesktop.Notifications on the session bus) when there is one, with the
// program's icon; otherwise the fallback (the tray icon's balloon, or standard error while there
// is no tray). Texts stay plain: where the service renders markup, they are escaped.
class Notifier : public QObject {
    Q_OBJECT
public:
    using Fallback = std::function<void(const UserNotice&)>;

    explicit Notifier(QObject* parent = nullptr);
    // Another bus than the session bus (tests run a private one).
    void setBus(const QDBusConnection& bus);
    void setFallback(Fallback fallback) { m_fallback = std::move(fallback); }

    void tell(const UserNotice& notice);

signals:
    // A notice went to the service (true) or to the fallback (false).
    void delivered(bool byService);

private:
    void askCapabilities();
    void send(const UserNotice& notice);
    void fallBack(const UserNotice& notice);

    QDBusConnection m_bus;
    Fallback m_fallback;
    // The service's capabilities: unknown until it answered, empty when there is no service.
    std::optional<QStringList> m_capabilities;
    bool m_asking = false;
    std::deque<UserNotice> m_waiting; // told before the capabilities were known
    quint32 m_countId = 0;            // the notification of the last count, replaced by the next
    bool m_countSending = false;      // a count's notification awaits the service's answer
    std::optional<UserNotice> m_nextCount; // the newest count told meanwhile
};

} // namespace brandle

// SPDX-License-Identifier: MIT
#include "app/WebChannel.h"

#include <QDataStream>
#include <QDeadlineTimer>
#include <QLocalSocket>
#include <QScopeGuard>

namespace brandle {

Q_LOGGING_CATEGORY(lcWeb, "brandle.web", QtWarningMsg)

namespace {

QDataStream& operator<<(QDataStream& out, const WindowParams& p)
{
    return out << p.WinWidth << p.WinHeight << p.WinDuration << p.WinSpeed << p.WinSlide
               << p.WebWidth << p.WebHeight << p.PicHeight << p.WinSleep;
}

QDataStream& operator>>(QDataStream& in, WindowParams& p)
{
    return in >> p.WinWidth >> p.WinHeight >> p.WinDuration >> p.WinSpeed >> p.WinSlide >>
           p.WebWidth >> p.WebHeight >> p.PicHeight >> p.WinSleep;
}

} // namespace

WebChannel::WebChannel(qintptr socket, QObject* parent)
    : QObject(parent)
    , m_socket(new QLocalSocket(this))
{
    m_socket->setSocketDescriptor(socket);
    connect(m_socket, &QLocalSocket::readyRead, this, &WebChannel::readMessages);
    connect(m_socket, &QLocalSocket::disconnected, this, &WebChannel::closed);
}

bool WebChannel::isOpen() const
{
    return m_socket->state() == QLocalSocket::ConnectedState;
}

void WebChannel::send(const WebMessage& message)
{
    QDataStream out(m_socket);
    out.setVersion(QDataStream::Qt_6_4);
    out << qint32(message.kind) << message.showing << message.text << message.params
        << message.keepOnTop << message.historyLimit << message.accepted;
}

QList<WebMessage> WebChannel::take()
{
    QList<WebMessage> messages;
    QDataStream in(m_socket);
    in.setVersion(QDataStream::Qt_6_4);
    // A message may arrive in parts: it is taken only when whole.
    while (m_socket->bytesAvailable() > 0) {
        in.startTransaction();
        qint32 kind = 0;
        WebMessage message;
        in >> kind >> message.showing >> message.text >> message.params >> message.keepOnTop >>
            message.historyLimit >> message.accepted;
        if (!in.commitTransaction())
            break;
        message.kind = WebMessage::Kind(kind);
        messages.append(message);
    }
    return messages;
}

void WebChannel::readMessages()
{
    // While an answer is awaited, ask() reads the socket itself.
    if (m_asking)
        return;
    m_waiting += take();
    handOn();
}

void WebChannel::handOn()
{
    // A receiver may ask in turn; what comes meanwhile waits in m_waiting, in order.
    while (!m_waiting.isEmpty())
        emit received(m_waiting.takeFirst());
}

std::optional<WebMessage> WebChannel::ask(const WebMessage& message, WebMessage::Kind answer,
                                          int timeoutMs)
{
    send(message);
    m_socket->flush();
    m_asking = true;
    const auto done = qScopeGuard([this] { m_asking = false; });
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        m_waiting += take();
        for (qsizetype i = 0; i < m_waiting.size(); ++i) {
            if (m_waiting.at(i).kind == answer) {
                const WebMessage found = m_waiting.takeAt(i);
                if (!m_waiting.isEmpty())
                    QMetaObject::invokeMethod(this, &WebChannel::handOn, Qt::QueuedConnection);
                return found;
            }
        }
        if (deadline.hasExpired() || !isOpen() ||
            !m_socket->waitForReadyRead(int(deadline.remainingTime())))
            break;
    }
    if (!m_waiting.isEmpty())
        QMetaObject::invokeMethod(this, &WebChannel::handOn, Qt::QueuedConnection);
    return std::nullopt;
}

} // namespace brandle

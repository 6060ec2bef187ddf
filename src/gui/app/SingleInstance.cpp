// SPDX-License-Identifier: MIT
#include "app/SingleInstance.h"

#include "platform/Paths.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QRegularExpression>
#include <QThread>

#include <cstdio>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace brandle {

namespace {

// How often a copy tries to reach a socket where something is but does not answer, before it
// takes it for one left behind.
constexpr int ConnectAttempts = 3;
constexpr int ConnectWaitMs = 1000;
constexpr int RetryPauseMs = 100;
// How long a start waits for the copies that start with it.
constexpr int LockWaitMs = 10000;

enum class Reply { Answered, Nobody, NoAnswer };

// Answered when a copy answers on the socket; it is then asked to show its settings window.
// Nobody when there is no socket, or nothing listens on it (one left behind).
Reply askRunningCopy(const QString& path)
{
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(ConnectWaitMs)) {
        const QLocalSocket::LocalSocketError error = socket.error();
        return error == QLocalSocket::ServerNotFoundError ||
                       error == QLocalSocket::ConnectionRefusedError
                   ? Reply::Nobody
                   : Reply::NoAnswer;
    }
    socket.write("show\n");
    socket.waitForBytesWritten(ConnectWaitMs);
    socket.disconnectFromServer();
    return Reply::Answered;
}

} // namespace

SingleInstance::SingleInstance(QObject* parent)
    : QObject(parent)
{
}

SingleInstance::~SingleInstance()
{
    // Closing removes the socket file.
    if (m_server)
        m_server->close();
}

QString SingleInstance::socketName()
{
    // The login name only when it is a plain name: it becomes part of a path.
    static const QRegularExpression plain(u"^[A-Za-z0-9_][A-Za-z0-9._-]*$"_s);
    QString user = qEnvironmentVariable("USER");
#ifdef Q_OS_UNIX
    if (!plain.match(user).hasMatch())
        user = QString::number(::geteuid());
#else
    if (!plain.match(user).hasMatch())
        user = qEnvironmentVariable("USERNAME");
#endif
    return u"brandle-"_s + user;
}

bool SingleInstance::listening() const
{
    return m_server && m_server->isListening();
}

bool SingleInstance::otherIsRunning()
{
    const QString folder = Paths::privateRuntimeFolder();
    if (folder.isEmpty()) {
        std::fprintf(stderr, "%s\n",
                     qPrintable(tr("Brandle: no private folder for the socket that keeps Brandle "
                                   "to one copy was found (XDG_RUNTIME_DIR is not set or not "
                                   "private, and brandle-<user id> in the temporary folder and in "
                                   "the cache folder belong to someone else or are open to "
                                   "others). This copy runs without that guard.")));
        return false;
    }
    m_path = folder + u'/' + socketName();

    // Copies that start together go through here one at a time: whoever holds the lock either
    // reaches a running copy or becomes it, before the next one looks.
    QLockFile lock(m_path + u".lock"_s);
    if (!lock.tryLock(LockWaitMs))
        std::fprintf(
            stderr, "%s\n",
            qPrintable(
                tr("Brandle: cannot take the lock %1; going on without it.").arg(lock.fileName())));

    // Only a copy that is there but does not answer yet is given more time.
    Reply reply = askRunningCopy(m_path);
    for (int attempt = 1; attempt < ConnectAttempts && reply == Reply::NoAnswer; ++attempt) {
        QThread::msleep(RetryPauseMs);
        reply = askRunningCopy(m_path);
    }
    if (reply == Reply::Answered)
        return true;
    // Nobody answers: a socket there was left by a copy that ended without removing it.
    QLocalServer::removeServer(m_path);
    listen();
    return false;
}

void SingleInstance::listen()
{
    m_server = new QLocalServer(this);
    // No socket options: with them the server binds elsewhere and renames over the path, which
    // would replace a socket another copy had just made. The folder keeps others out.
    if (!m_server->listen(m_path)) {
        std::fprintf(
            stderr, "%s\n",
            qPrintable(
                tr("Brandle: cannot listen on %1: %2").arg(m_path, m_server->errorString())));
        return;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* client = m_server->nextPendingConnection()) {
            connect(client, &QLocalSocket::readyRead, this, [this, client] {
                if (client->readAll().startsWith("show"))
                    emit showRequested();
                client->disconnectFromServer();
            });
            connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        }
    });
}

} // namespace brandle

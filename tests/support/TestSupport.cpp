// SPDX-License-Identifier: MIT
#include "TestSupport.h"

#include "platform/mConstants.h"

#include <QSettings>

#include <httplib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

void clearStore()
{
    QSettings store(QSettings::NativeFormat, QSettings::UserScope,
                    QString(mConstants::StoreApplication));
    store.clear();
    store.sync();
}

ScopedEnv::ScopedEnv(const char* name, const QByteArray& value)
    : m_name(name)
    , m_old(qgetenv(name))
    , m_had(qEnvironmentVariableIsSet(name))
{
    qputenv(name, value);
}

ScopedEnv::~ScopedEnv()
{
    if (m_had)
        qputenv(m_name, m_old);
    else
        qunsetenv(m_name);
}

TestServer::TestServer()
    : m_server(std::make_unique<httplib::Server>())
{
}

TestServer::~TestServer()
{
    stop();
}

void TestServer::route(const QString& path, const QByteArray& body, int status,
                       const QString& contentType, int delayMs)
{
    const std::string type = contentType.toStdString();
    const std::string content = body.toStdString();
    m_server->Get(path.toStdString(), [=](const httplib::Request&, httplib::Response& response) {
        wait(delayMs);
        response.status = status;
        response.set_content(content, type.c_str());
    });
}

void TestServer::start()
{
    m_port = m_server->bind_to_any_port("127.0.0.1");
    if (m_port <= 0)
        qFatal("test server: cannot bind");
    m_thread = std::thread([this] { m_server->listen_after_bind(); });
    while (!m_server->is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void TestServer::stop()
{
    m_stopping = true;
    if (m_thread.joinable()) {
        m_server->stop();
        m_thread.join();
    }
}

QString TestServer::hostPort() const
{
    return QStringLiteral("127.0.0.1:%1").arg(m_port);
}

QString TestServer::url(const QString& path) const
{
    return QLatin1String("http://") + hostPort() + path;
}

void TestServer::wait(int ms) const
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!m_stopping && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

namespace {

int bindLoopback(int fd)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return 0;
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

} // namespace

SilentServer::SilentServer()
    : m_fd(::socket(AF_INET, SOCK_STREAM, 0))
{
    m_port = bindLoopback(m_fd);
    ::listen(m_fd, 16);
}

SilentServer::~SilentServer()
{
    ::close(m_fd);
}

int closedPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const int port = bindLoopback(fd);
    ::close(fd);
    return port;
}

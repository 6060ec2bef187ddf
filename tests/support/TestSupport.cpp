// SPDX-License-Identifier: MIT
#include "TestSupport.h"

#include "platform/mConstants.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include <httplib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

using namespace Qt::StringLiterals;

namespace brandle {

void clearStore()
{
    QSettings store(QSettings::NativeFormat, QSettings::UserScope,
                    QString(mConstants::StoreApplication));
    store.clear();
    store.sync();
}

QString readText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : u"<missing>"_s;
}

bool writeFile(const QString& path, const QByteArray& bytes, bool append)
{
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).path()) &&
           file.open(append ? QIODevice::Append : QIODevice::WriteOnly) &&
           file.write(bytes) == bytes.size();
}

TestServer::TestServer()
    : m_server(std::make_unique<httplib::Server>())
{
}

TestServer::~TestServer()
{
    m_stopping = true;
    if (m_thread.joinable()) {
        m_server->stop();
        m_thread.join();
    }
}

void TestServer::route(const QString& path, const QByteArray& body, int status,
                       const QString& contentType, int delayMs)
{
    const std::string type = contentType.toStdString();
    const std::string content = body.toStdString();
    m_server->Get(path.toStdString(), [=](const httplib::Request&, httplib::Response& response) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(delayMs);
        while (!m_stopping && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
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

int closedPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), length);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

} // namespace brandle

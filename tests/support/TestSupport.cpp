// SPDX-License-Identifier: MIT
#include "TestSupport.h"

#include "log/LinkLog.h"
#include "platform/mConstants.h"
#include "settings/Config.h"

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
    m_port = m_server->bind_to_any_port("127.0.0.1");
    if (m_port <= 0)
        qFatal("test server: cannot bind");
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
    m_thread = std::thread([this] { m_server->listen_after_bind(); });
    while (!m_server->is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

EngineAnswer counted(const QString& name, const QString& count, int delayMs)
{
    return {name, count, EngineAnswer::Kind::Count, delayMs};
}

EngineAnswer noCount(const QString& name)
{
    return {name, QString(), EngineAnswer::Kind::NoCount};
}

EngineAnswer unreachable(const QString& name)
{
    return {name, QString(), EngineAnswer::Kind::Unreachable};
}

EngineAnswer incomplete(const QString& name, const QString& count)
{
    EngineAnswer answer = counted(name, count);
    answer.complete = false;
    return answer;
}

FakeServiceHost::FakeServiceHost()
    : m_deadPort(closedPort())
{
}

FakeServiceHost& FakeServiceHost::status(const QByteArray& text)
{
    m_status = text;
    return *this;
}

FakeServiceHost& FakeServiceHost::engines(const EngineAnswers& engines)
{
    m_engines = engines;
    return *this;
}

FakeServiceHost& FakeServiceHost::withoutPlaceholder()
{
    m_placeholder = false;
    return *this;
}

FakeServiceHost& FakeServiceHost::schema(const QByteArray& text, int status)
{
    m_schema = std::pair(text, status);
    return *this;
}

FakeServiceHost& FakeServiceHost::styleSheet(const QByteArray& text)
{
    m_styleSheet = text;
    return *this;
}

QByteArray FakeServiceHost::plainStyleSheet()
{
    return "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\"/>";
}

QString FakeServiceHost::engineUrl(int i, const QString& site) const
{
    const QString address = m_engines.at(i).kind == EngineAnswer::Kind::Unreachable
                                ? u"http://127.0.0.1:%1/e?q="_s.arg(m_deadPort)
                                : m_server.url(u"/engines/%1?q="_s.arg(i));
    return address + QString(site).replace(u'.', "%2E"_L1);
}

QString FakeServiceHost::schemaText() const
{
    QString entries;
    for (int i = 0; i < m_engines.size(); ++i) {
        const EngineAnswer& e = m_engines.at(i);
        entries +=
            u"<Engine><EngineName>%1</EngineName><EngineHome>http://e/</EngineHome>"
            "<LeftURL>%2</LeftURL><RightURL/><LeftString>&lt;b&gt;</LeftString>%3"
            "<ReplaceDot>%4</ReplaceDot></Engine>"_s.arg(
                e.name.toHtmlEscaped(), engineUrl(i, QString()).toHtmlEscaped(),
                e.complete ? u"<RightString>&lt;/b&gt;</RightString>"_s : QString(), u"%2E"_s);
    }
    return u"<Schema><Service/><Engines>"_s + entries +
           u"</Engines><Window><WinWidth>3375</WinWidth><WinHeight>4380</WinHeight>"
           "<WinDuration>5000</WinDuration><WinSpeed>10</WinSpeed><WinSlide>150</WinSlide>"
           "<WebWidth>3405</WebWidth><WebHeight>3525</WebHeight><PicHeight>850</PicHeight>"
           "<WinSleep>60</WinSleep></Window>"_s +
           (m_placeholder ? QString(mConstants::ResultsPlaceholder) : QString()) + u"</Schema>"_s;
}

void FakeServiceHost::start()
{
    m_server.route(mConstants::StatusPath, m_status);
    if (m_schema)
        m_server.route(mConstants::SchemaPath, m_schema->first, m_schema->second, u"text/xml"_s);
    else
        m_server.route(mConstants::SchemaPath, schemaText().toUtf8(), 200, u"text/xml"_s);
    m_server.route(mConstants::StyleSheetPath, m_styleSheet, 200, u"text/xml"_s);
    for (int i = 0; i < m_engines.size(); ++i) {
        const EngineAnswer& e = m_engines.at(i);
        const QByteArray page = e.kind == EngineAnswer::Kind::Count
                                    ? "about <b>" + e.count.toUtf8() + "</b> pages"
                                    : QByteArray("no count here");
        m_server.route(u"/engines/%1"_s.arg(i), page, 200, u"text/html"_s, e.delayMs);
    }
    m_server.start();
}

bool writeLog(const LoggedTotals& totals)
{
    for (const LoggedTotal& t : totals) {
        QString engines;
        for (const LoggedEngine& e : t.engines)
            engines += u"<Engine%1><Name><![CDATA[%2]]></Name><URL><![CDATA[http://e/]]></URL>"
                       "<Count><![CDATA[%3]]></Count><Fluctuation>0</Fluctuation></Engine>"_s.arg(
                           e.noCount ? u" NoCount=\"1\""_s : QString(), e.name,
                           e.noCount ? u"0"_s : e.count);
        const QString line = u"<Results Site=\"%1\" Total=\"%2\"%3>%4</Results>\r\n"_s.arg(
            t.site, t.total, t.partial ? u" Partial=\"1\""_s : QString(),
            engines.isEmpty() ? u"<Engine/>"_s : engines);
        if (!writeFile(linkLogFile(t.day), line.toUtf8(), true))
            return false;
    }
    return true;
}

QString deadHostPort()
{
    return u"127.0.0.1:%1"_s.arg(closedPort());
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

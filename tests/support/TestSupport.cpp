// SPDX-License-Identifier: MIT
#include "TestSupport.h"

#include "log/LinkLog.h"
#include "platform/Store.h"
#include "platform/mConstants.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <httplib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

using namespace Qt::StringLiterals;

namespace brandle {

void clearStore()
{
    QFile::remove(StoreSession::filePath());
}

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QString readText(const QString& path)
{
    return QString::fromUtf8(readBytes(path));
}

bool writeFile(const QString& path, const QByteArray& bytes, bool append)
{
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).path()) &&
           file.open(append ? QIODevice::Append : QIODevice::WriteOnly) &&
           file.write(bytes) == bytes.size();
}

ProgramRun runProgram(const QString& program, const QStringList& args,
                      const QProcessEnvironment& env)
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, args);
    if (!process.waitForFinished(WaitMs))
        return {-1, {}, u"did not finish: "_s + program};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

QStringList childPrograms(qint64 pid)
{
    QStringList programs;
    const QString tasks = u"/proc/%1/task"_s.arg(pid);
    for (const QString& task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        for (const QString& child :
             readText(tasks + u'/' + task + u"/children"_s).split(u' ', Qt::SkipEmptyParts))
            programs << QFileInfo(u"/proc/"_s + child + u"/exe"_s).symLinkTarget();
    }
    return programs;
}

namespace {

sockaddr_in loopback()
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

int portOf(int fd)
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

int closedPort() // a port on 127.0.0.1 that refuses connections
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in address = loopback();
    ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    const int port = portOf(fd);
    ::close(fd);
    return port;
}

} // namespace

// Listens on 127.0.0.1, reads each request's headers, sends the same bytes and closes.
class RawResponder {
public:
    explicit RawResponder(const QByteArray& answer)
        : m_answer(answer)
        , m_fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0))
    {
        const sockaddr_in address = loopback();
        if (::bind(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(m_fd, 64) != 0)
            qFatal("raw responder: cannot listen");
        m_thread = std::thread([this] {
            for (pollfd listening{m_fd, POLLIN, 0}; !m_stopping;) {
                const int client =
                    ::poll(&listening, 1, 20) > 0 ? ::accept(m_fd, nullptr, nullptr) : -1;
                if (client >= 0)
                    serve(client);
            }
        });
    }
    ~RawResponder()
    {
        m_stopping = true;
        m_thread.join();
        ::close(m_fd);
    }
    QString url() const { return u"http://127.0.0.1:%1/e?q="_s.arg(portOf(m_fd)); }

private:
    void serve(int client) const
    {
        QByteArray request;
        char buffer[4096];
        for (ssize_t n = 1; n > 0 && !request.contains("\r\n\r\n");) {
            if ((n = ::read(client, buffer, sizeof buffer)) > 0)
                request.append(buffer, qsizetype(n));
        }
        ::send(client, m_answer.constData(), size_t(m_answer.size()), MSG_NOSIGNAL);
        ::close(client);
    }

    QByteArray m_answer;
    int m_fd;
    std::atomic<bool> m_stopping{false};
    std::thread m_thread;
};

TestServer::TestServer()
    : m_server(std::make_unique<httplib::Server>())
{
    m_server->new_task_queue = [] {
        return new httplib::ThreadPool(64);
    };
    m_port = m_server->bind_to_any_port("127.0.0.1");
    if (m_port <= 0)
        qFatal("test server: cannot bind");
    // Lengthens the library's listen queue of 5, which drops part of a burst of connections.
    for (int fd = 3; fd < 4096; ++fd) {
        int listening = 0;
        socklen_t size = sizeof listening;
        if (::getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &size) == 0 && listening &&
            portOf(fd) == m_port) {
            ::listen(fd, 128);
            break;
        }
    }
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
        const int now = ++m_inFlight;
        for (int peak = m_peak; now > peak && !m_peak.compare_exchange_weak(peak, now);)
            ;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(delayMs);
        while (!m_stopping && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        response.status = status;
        response.set_content(content, type.c_str());
        --m_inFlight;
    });
}

void TestServer::start()
{
    m_thread = std::thread([this] { m_server->listen_after_bind(); });
    while (!m_server->is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

FakeServiceHost::FakeServiceHost()
    : m_styleSheet(
          "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\"/>")
    , m_deadPort(closedPort())
{
}

FakeServiceHost::~FakeServiceHost() = default;

FakeServiceHost& FakeServiceHost::status(const QByteArray& text)
{
    m_status = text;
    return *this;
}

FakeServiceHost& FakeServiceHost::engines(const EngineAnswers& engines)
{
    m_engines = engines;
    m_raw.clear();
    for (const EngineAnswer& e : engines)
        m_raw.push_back(e.kind == EngineAnswer::Kind::Raw ? std::make_unique<RawResponder>(e.raw)
                                                          : nullptr);
    return *this;
}

FakeServiceHost& FakeServiceHost::withoutPlaceholder()
{
    m_placeholder = false;
    return *this;
}

FakeServiceHost& FakeServiceHost::schema(const QByteArray& text, int status,
                                         const QString& contentType)
{
    m_schema = std::pair(text, status);
    m_schemaType = contentType;
    return *this;
}

FakeServiceHost& FakeServiceHost::styleSheet(const QByteArray& text, const QString& contentType)
{
    m_styleSheet = text;
    m_styleSheetType = contentType;
    return *this;
}

FakeServiceHost& FakeServiceHost::delayed(QLatin1StringView document, int delayMs)
{
    m_delays.append({QString(document), delayMs});
    return *this;
}

QString FakeServiceHost::engineUrl(int i, const QString& site) const
{
    const EngineAnswer::Kind kind = m_engines.at(i).kind;
    const QString address =
        kind == EngineAnswer::Kind::Unreachable ? u"http://127.0.0.1:%1/e?q="_s.arg(m_deadPort)
        : kind == EngineAnswer::Kind::Raw       ? m_raw.at(size_t(i))->url()
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
            "<ReplaceDot>%4</ReplaceDot><ReasonLeftString>&lt;i&gt;</ReasonLeftString>"
            "<ReasonRightString>&lt;/i&gt;</ReasonRightString>%5</Engine>"_s.arg(
                e.name.toHtmlEscaped(), engineUrl(i, QString()).toHtmlEscaped(),
                e.complete ? u"<RightString>&lt;/b&gt;</RightString>"_s : QString(), u"%2E"_s,
                e.unit.isEmpty() ? QString() : "<Unit>"_L1 + e.unit.toHtmlEscaped() + "</Unit>"_L1);
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
    const auto route = [this](QLatin1StringView path, const QByteArray& body, int status,
                              const QString& type) {
        int delay = 0;
        for (const auto& [document, ms] : m_delays)
            delay = document == path ? ms : delay;
        m_server.route(path, body, status, type, delay);
    };
    route(mConstants::StatusPath, m_status, 200, u"text/plain"_s);
    route(mConstants::SchemaPath, m_schema ? m_schema->first : schemaText().toUtf8(),
          m_schema ? m_schema->second : 200, m_schemaType);
    route(mConstants::StyleSheetPath, m_styleSheet, 200, m_styleSheetType);
    for (int i = 0; i < m_engines.size(); ++i) {
        const EngineAnswer& e = m_engines.at(i);
        const QByteArray page = e.kind == EngineAnswer::Kind::Count
                                    ? "about <b>" + e.count.toUtf8() + "</b> pages"
                                    : "no count here <i>" + e.count.toUtf8() + "</i>";
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

FileSizeLimit::FileSizeLimit(qint64 bytes)
{
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    m_previous = qint64(limit.rlim_cur);
    limitChild(bytes);
}

FileSizeLimit::~FileSizeLimit()
{
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = rlim_t(m_previous);
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ::signal(SIGXFSZ, SIG_DFL);
}

void FileSizeLimit::limitChild(qint64 bytes)
{
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = rlim_t(bytes);
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

QString deadHostPort()
{
    return u"127.0.0.1:%1"_s.arg(closedPort());
}

} // namespace brandle

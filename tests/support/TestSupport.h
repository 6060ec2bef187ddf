// SPDX-License-Identifier: MIT
#pragma once

#include "platform/Clock.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>

#include <atomic>
#include <memory>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;

namespace httplib {
class Server;
}

namespace brandle {

// Removes every key of the settings store.
void clearStore();

// The text of a UTF-8 file, or "<missing>" when it cannot be read.
QString readText(const QString& path);
// Writes (or appends) bytes to the file, creating its folder; false when that fails.
bool writeFile(const QString& path, const QByteArray& bytes, bool append = false);

// A clock that shows the time it is given; installed while it lives.
class ManualClock final : public Clock {
public:
    explicit ManualClock(const QDateTime& time)
        : m_time(time)
    {
        Clock::setInstance(this);
    }
    ~ManualClock() override { Clock::setInstance(nullptr); }
    QDateTime now() const override { return m_time; }
    void set(const QDateTime& time) { m_time = time; }

private:
    QDateTime m_time;
};

// Sets an environment variable while it lives.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value)
        : m_name(name)
        , m_old(qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt)
    {
        qputenv(name, value);
    }
    ~ScopedEnv() { m_old ? qputenv(m_name, *m_old) : qunsetenv(m_name); }

private:
    const char* m_name;
    std::optional<QByteArray> m_old;
};

// An HTTP server on 127.0.0.1 in the test process. Its port is bound when it is made; add
// routes, then start().
class TestServer {
public:
    TestServer();
    ~TestServer();
    TestServer(const TestServer&) = delete;
    TestServer& operator=(const TestServer&) = delete;

    // Answers GET path with the body; delayMs holds the answer back (ended early on destruction).
    void route(const QString& path, const QByteArray& body, int status = 200,
               const QString& contentType = u"text/plain"_s, int delayMs = 0);
    httplib::Server& server() { return *m_server; }
    void start();
    QString hostPort() const { return u"127.0.0.1:%1"_s.arg(m_port); }
    QString url(const QString& path) const { return "http://"_L1 + hostPort() + path; }
    // The most requests of route() that were being answered at the same time (the server answers
    // up to 64 at once).
    int peakRequests() const { return m_peak; }

private:
    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
    std::atomic<bool> m_stopping{false};
    std::atomic<int> m_inFlight{0};
    std::atomic<int> m_peak{0};
    int m_port = 0;
};

// A listener on 127.0.0.1 that answers every request with the same bytes and closes the
// connection: for the answers no HTTP server library sends (cut off inside the headers, not HTTP
// at all, a redirect to another scheme).
class RawResponder {
public:
    explicit RawResponder(const QByteArray& answer);
    ~RawResponder();
    RawResponder(const RawResponder&) = delete;
    RawResponder& operator=(const RawResponder&) = delete;
    QString url(const QString& path) const
    {
        return u"http://127.0.0.1:%1%2"_s.arg(m_port).arg(path);
    }

private:
    void serve(int client) const;
    QByteArray m_answer;
    std::atomic<bool> m_stopping{false};
    std::thread m_thread;
    int m_fd = -1;
    int m_port = 0;
};

// One engine of a FakeServiceHost and what it answers.
struct EngineAnswer {
    enum class Kind {
        Count,       // a page with the count text between the markers
        NoCount,     // a page without the markers
        Unreachable, // its address refuses connections
        Raw,         // the bytes of raw, as they are
    };
    QString name;
    QString count;
    Kind kind = Kind::Count;
    int delayMs = 0;
    bool complete = true; // false: the schema entry lacks RightString
    QByteArray raw = QByteArray();
};
using EngineAnswers = QList<EngineAnswer>;

EngineAnswer counted(const QString& name, const QString& count, int delayMs = 0);
EngineAnswer noCount(const QString& name);
EngineAnswer unreachable(const QString& name);
// An entry without RightString; its engine would answer the count.
EngineAnswer incomplete(const QString& name, const QString& count);
// An engine whose connection gets the bytes as its whole answer (see RawResponder).
EngineAnswer rawAnswer(const QString& name, const QByteArray& bytes);

// The service host and its engines in the test process: the status text ("Active"), the engine
// schema made from the engines given (the count between "<b>" and "</b>", the site's dots sent
// as "%2E", the window parameters of the bundled schema and the results placeholder), a style
// sheet, and one answer page per engine. Set it up, then start().
class FakeServiceHost {
public:
    FakeServiceHost();

    FakeServiceHost& status(const QByteArray& text);
    FakeServiceHost& engines(const EngineAnswers& engines);
    // The schema as served: the one made from the engines (with or without placeholder), or a
    // text of the test's own with an HTTP status.
    FakeServiceHost& withoutPlaceholder();
    FakeServiceHost& schema(const QByteArray& text, int status = 200,
                            const QString& contentType = u"text/xml"_s);
    FakeServiceHost& styleSheet(const QByteArray& text, const QString& contentType = u"text/xml"_s);
    // Holds the answer of one of the service host's documents (mConstants::StatusPath ...) back.
    FakeServiceHost& delayed(QLatin1StringView document, int delayMs);
    // The default style sheet: the document's text.
    static QByteArray plainStyleSheet();

    void start();
    QString hostPort() const { return m_server.hostPort(); }
    QString url(const QString& path) const { return m_server.url(path); }
    // The query address of engine i for the site.
    QString engineUrl(int i, const QString& site) const;
    QString schemaText() const;
    TestServer& server() { return m_server; }

private:
    TestServer m_server;
    QByteArray m_status = "Active";
    EngineAnswers m_engines;
    bool m_placeholder = true;
    std::optional<std::pair<QByteArray, int>> m_schema;
    QString m_schemaType = u"text/xml"_s;
    QByteArray m_styleSheet = plainStyleSheet();
    QString m_styleSheetType = u"text/xml"_s;
    QList<std::pair<QString, int>> m_delays;
    std::vector<std::unique_ptr<RawResponder>> m_raw; // by engine, for Raw ones
    int m_deadPort = 0;
};

// An engine of a logged lookup: its name and count, or marked as having given no count.
struct LoggedEngine {
    QString name;
    QString count;
    bool noCount = false;
};

// One logged lookup: the day's file gets a line with the site and the total as a result
// document writes them, with the engines given (Partial="1" when partial).
struct LoggedTotal {
    QDate day;
    QString site;
    QString total;
    QList<LoggedEngine> engines = {};
    bool partial = false;
};
using LoggedTotals = QList<LoggedTotal>;
// Appends the lines to their day files.
bool writeLog(const LoggedTotals& totals);

// While it lives, no file of this process can grow beyond the given size: a write past it fails
// (EFBIG), as writes fail on a full disk, and the signal that would end the process is ignored.
// limitChild() sets the same limit in a child process between fork and exec, where it stays.
class FileSizeLimit {
public:
    explicit FileSizeLimit(qint64 bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    static void limitChild(qint64 bytes);

private:
    qint64 m_previous;
};

// "127.0.0.1:port" of a port where nothing answers.
QString deadHostPort();

// A port on 127.0.0.1 on which nothing listens (connections are refused).
int closedPort();

} // namespace brandle

Q_DECLARE_METATYPE(brandle::EngineAnswers)
Q_DECLARE_METATYPE(brandle::LoggedTotals)

// SPDX-License-Identifier: MIT
#pragma once

#include "platform/Clock.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

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

// How long a test waits for what normally takes a moment (a process, a page, a lookup): long
// enough for a machine busy with other work. A wait for a condition ends once it holds.
constexpr int WaitMs = 60000;

void clearStore(); // removes the settings file
// The bytes (text as UTF-8) of a file, or "<missing>" when it cannot be read.
QByteArray readBytes(const QString& path);
QString readText(const QString& path);
// Writes (or appends) bytes to the file, making its folder; false when that fails.
bool writeFile(const QString& path, const QByteArray& bytes, bool append = false);

// A program run to its end: exit code (-1 when it crashed or outran the deadline) and output.
struct ProgramRun {
    int exitCode = -1;
    QString out;
    QString err;
};
ProgramRun runProgram(const QString& program, const QStringList& args,
                      const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment());
// The executables of the running children of a process.
QStringList childPrograms(qint64 pid);

// A clock that shows the time it is given, installed while it lives.
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

// An HTTP server on 127.0.0.1 (64 handler threads), bound when made; add routes, then start().
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
    // The most requests of route() answered at the same time.
    int peakRequests() const { return m_peak; }

private:
    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
    std::atomic<bool> m_stopping{false};
    std::atomic<int> m_inFlight{0};
    std::atomic<int> m_peak{0};
    int m_port = 0;
};

class RawResponder;

// One engine of a FakeServiceHost and what it answers.
struct EngineAnswer {
    enum class Kind {
        Count,       // a page with the count text between the markers
        NoCount,     // a page without the markers; with a reason, "<i>" + reason + "</i>"
        Unreachable, // its address refuses connections
        Raw,         // the connection gets the bytes of raw, as they are, then closes
    };
    QString name;
    QString count; // Count: the text between the markers; NoCount: the reason's, as markup
    Kind kind = Kind::Count;
    int delayMs = 0;
    bool complete = true; // false: the schema entry lacks RightString
    QByteArray raw = QByteArray();
    QString unit = QString(); // the schema entry's Unit, none when ""
};
using EngineAnswers = QList<EngineAnswer>;

inline EngineAnswer counted(const QString& name, const QString& count, int delayMs = 0)
{
    return {name, count, EngineAnswer::Kind::Count, delayMs};
}
inline EngineAnswer noCount(const QString& name, const QString& reasonMarkup = QString())
{
    return {name, reasonMarkup, EngineAnswer::Kind::NoCount};
}
inline EngineAnswer unreachable(const QString& name)
{
    return {name, QString(), EngineAnswer::Kind::Unreachable};
}
inline EngineAnswer incomplete(const QString& name, const QString& count) // without RightString
{
    return {name, count, EngineAnswer::Kind::Count, 0, false};
}
// Bytes no HTTP library sends: cut off inside the headers, not HTTP, a redirect to ftp: ...
inline EngineAnswer rawAnswer(const QString& name, const QByteArray& bytes)
{
    return {name, QString(), EngineAnswer::Kind::Raw, 0, true, bytes};
}

// The service host and its engines (count between "<b>" and "</b>", the reason for none between
// "<i>" and "</i>", dots sent as "%2E").
class FakeServiceHost {
public:
    FakeServiceHost();
    ~FakeServiceHost();

    FakeServiceHost& status(const QByteArray& text);
    FakeServiceHost& engines(const EngineAnswers& engines);
    FakeServiceHost& withoutPlaceholder();
    // Documents of the test's own instead of the made schema and the plain style sheet.
    FakeServiceHost& schema(const QByteArray& text, int status = 200,
                            const QString& contentType = u"text/xml"_s);
    FakeServiceHost& styleSheet(const QByteArray& text, const QString& contentType = u"text/xml"_s);
    // Holds the answer of one of the service host's documents (mConstants::StatusPath ...) back.
    FakeServiceHost& delayed(QLatin1StringView document, int delayMs);

    void start();
    QString hostPort() const { return m_server.hostPort(); }
    QString engineUrl(int i, const QString& site) const; // the query address of engine i
    QString schemaText() const;
    TestServer& server() { return m_server; }

private:
    TestServer m_server;
    QByteArray m_status = "Active";
    EngineAnswers m_engines;
    bool m_placeholder = true;
    std::optional<std::pair<QByteArray, int>> m_schema;
    QString m_schemaType = u"text/xml"_s;
    QByteArray m_styleSheet;
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

// One logged lookup: a line of the day's file as a result document writes it.
struct LoggedTotal {
    QDate day;
    QString site;
    QString total;
    QList<LoggedEngine> engines = {};
    bool partial = false;
};
using LoggedTotals = QList<LoggedTotal>;
bool writeLog(const LoggedTotals& totals); // appends the lines to their day files

// While it lives, a write past bytes fails (EFBIG) as on a full disk; limitChild() for a child.
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

QString deadHostPort(); // "127.0.0.1:<port>" where nothing listens

} // namespace brandle

Q_DECLARE_METATYPE(brandle::EngineAnswers)
Q_DECLARE_METATYPE(brandle::LoggedTotals)

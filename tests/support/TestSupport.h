// SPDX-License-Identifier: MIT
#pragma once

#include "platform/Clock.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <memory>
#include <optional>
#include <thread>

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

// An HTTP server on 127.0.0.1 in the test process, playing the service host and the engines.
// Add routes, then start().
class TestServer {
public:
    TestServer();
    ~TestServer();

    // Answers GET path with the body; delayMs holds the answer back (ended early on destruction).
    void route(const QString& path, const QByteArray& body, int status = 200,
               const QString& contentType = u"text/plain"_s, int delayMs = 0);
    httplib::Server& server() { return *m_server; }
    void start();
    QString hostPort() const { return u"127.0.0.1:%1"_s.arg(m_port); }
    QString url(const QString& path) const { return "http://"_L1 + hostPort() + path; }

private:
    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
    std::atomic<bool> m_stopping{false};
    int m_port = 0;
};

// A port on 127.0.0.1 on which nothing listens (connections are refused).
int closedPort();

} // namespace brandle

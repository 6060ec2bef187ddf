// SPDX-License-Identifier: MIT
#pragma once

#include "platform/Clock.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

namespace httplib {
class Server;
}

// Removes every key of the settings store.
void clearStore();

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
    ScopedEnv(const char* name, const QByteArray& value);
    ~ScopedEnv();

private:
    const char* m_name;
    QByteArray m_old;
    bool m_had;
};

// An HTTP server on 127.0.0.1 in the test process, playing the service host and the engines.
// Add routes, then start().
class TestServer {
public:
    TestServer();
    ~TestServer();

    // Answers GET path with the body; delayMs holds the answer back (ended early on stop).
    void route(const QString& path, const QByteArray& body, int status = 200,
               const QString& contentType = QStringLiteral("text/plain"), int delayMs = 0);
    httplib::Server& server() { return *m_server; }

    void start();
    void stop();
    int port() const { return m_port; }
    QString hostPort() const;               // "127.0.0.1:port"
    QString url(const QString& path) const; // "http://127.0.0.1:port" + path
    // Sleeps up to ms, ending early when the server stops.
    void wait(int ms) const;

private:
    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
    std::atomic<bool> m_stopping{false};
    int m_port = 0;
};

// A port on 127.0.0.1 that accepts connections but never answers.
class SilentServer {
public:
    SilentServer();
    ~SilentServer();
    int port() const { return m_port; }

private:
    int m_fd = -1;
    int m_port = 0;
};

// A port on 127.0.0.1 on which nothing listens (connections are refused).
int closedPort();

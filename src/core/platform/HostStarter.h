// SPDX-License-Identifier: MIT
#pragma once

#include <QCoreApplication>
#include <QString>

#include <memory>

class QProcess;

namespace brandle {

// Starts the installed service host for a program whose service host is the local address
// compiled in, when nothing answers there: once per start, said on standard error, and ended
// with the program. Never when BRANDLE_SERVICE_HOST names another host. The host's standard
// output goes to "brandle-host.log" in the program's folder (that run's only).
class HostStarter {
    Q_DECLARE_TR_FUNCTIONS(HostStarter)

public:
    struct Setup {
        QString defaultHost; // "host:port" compiled in
        QString program;     // the brandle-host to start; "" when none is installed
        int answerWaitMs = 5000;
    };

    enum class Outcome {
        OtherHost,    // the service host in use is not the default one, or not on this machine
        Answering,    // something answers at the default address already
        NotInstalled, // no brandle-host to start
        Started,      // started, and it answers
        Failed,       // started, but it ended or did not answer in time
        AlreadyTried, // not the first call
    };

    // The default address, and brandle-host beside the executable or in the installed bin folder.
    HostStarter();
    explicit HostStarter(Setup setup);
    // Ends the host it started.
    ~HostStarter();
    HostStarter(const HostStarter&) = delete;
    HostStarter& operator=(const HostStarter&) = delete;

    // The first call starts the host when the service host is the default local address and
    // nothing answers there; program names the caller in the lines it writes.
    Outcome startIfNeeded(const QString& program);

    // brandle-host beside the executable, else in the installed bin folder; "" when neither.
    static QString installedHost();

private:
    bool answers() const;

    Setup m_setup;
    bool m_tried = false;
    std::unique_ptr<QProcess> m_process;
};

} // namespace brandle

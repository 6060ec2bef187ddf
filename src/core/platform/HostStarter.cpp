// SPDX-License-Identifier: MIT
#include "platform/HostStarter.h"

#include "platform/Http.h"
#include "platform/Paths.h"
#include "platform/mConstants.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include <cstdio>

#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/prctl.h>
#endif

using namespace Qt::StringLiterals;

namespace brandle {

namespace {

constexpr QLatin1StringView HostProgram{"brandle-host"};
constexpr QLatin1StringView HostLog{"brandle-host.log"};

void say(const QString& text)
{
    std::fputs((text + u'\n').toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}

// "127.0.0.1:8750" -> {"127.0.0.1", "8750"}; "[::1]:8750" -> {"::1", "8750"}.
std::pair<QString, QString> splitHostPort(const QString& hostPort)
{
    const qsizetype colon = hostPort.lastIndexOf(u':');
    if (colon < 0)
        return {hostPort, QString()};
    QString host = hostPort.left(colon);
    if (host.startsWith(u'[') && host.endsWith(u']'))
        host = host.mid(1, host.size() - 2);
    return {host, hostPort.mid(colon + 1)};
}

bool isLocal(const QString& host)
{
    return host == "127.0.0.1"_L1 || host == "::1"_L1 ||
           host.compare("localhost"_L1, Qt::CaseInsensitive) == 0;
}

bool isExecutable(const QString& path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

} // namespace

HostStarter::HostStarter()
    : HostStarter(Setup{Paths::defaultServiceHost(), installedHost()})
{
}

HostStarter::HostStarter(Setup setup)
    : m_setup(std::move(setup))
{
}

HostStarter::~HostStarter()
{
    if (!m_process || m_process->state() == QProcess::NotRunning)
        return;
    m_process->terminate();
    if (!m_process->waitForFinished(2000)) {
        m_process->kill();
        m_process->waitForFinished(500);
    }
}

QString HostStarter::installedHost()
{
    QStringList candidates;
    if (QCoreApplication::instance())
        candidates << QCoreApplication::applicationDirPath() + u'/' + HostProgram;
#ifdef BRANDLE_INSTALL_BINDIR
    candidates << QString::fromUtf8(BRANDLE_INSTALL_BINDIR) + u'/' + HostProgram;
#endif
    for (const QString& candidate : candidates) {
        if (isExecutable(candidate))
            return QFileInfo(candidate).absoluteFilePath();
    }
    return {};
}

bool HostStarter::answers() const
{
    HttpOptions quick;
    quick.connectTimeoutMs = 1000;
    quick.totalTimeoutMs = 3000;
    return httpGet("http://"_L1 + m_setup.defaultHost + mConstants::StatusPath, quick).ok();
}

HostStarter::Outcome HostStarter::startIfNeeded(const QString& program)
{
    if (m_tried)
        return Outcome::AlreadyTried;
    m_tried = true;
    const auto [host, port] = splitHostPort(m_setup.defaultHost);
    const QString chosen = Paths::chosenServiceHost();
    if ((!chosen.isEmpty() && chosen.compare(m_setup.defaultHost, Qt::CaseInsensitive) != 0) ||
        !isLocal(host) || port.isEmpty())
        return Outcome::OtherHost;
    if (answers())
        return Outcome::Answering;
    if (m_setup.program.isEmpty() || !isExecutable(m_setup.program)) {
        say(tr("%1: nothing answers at the service host %2, and %3 is not installed")
                .arg(program, m_setup.defaultHost, HostProgram));
        return Outcome::NotInstalled;
    }

    m_process = std::make_unique<QProcess>();
    m_process->setProgram(m_setup.program);
    m_process->setArguments({u"--bind"_s, host, u"--port"_s, port});
    // Its request lines and news go to a log of this run instead of mixing with the program's
    // output; its complaints are worth seeing at once.
    const QString log = Paths::inProgramFolder(HostLog);
    m_process->setStandardOutputFile(log);
    m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
#ifdef Q_OS_LINUX
    // The host also ends when the program is killed before it can end the host itself.
    m_process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
#endif
    say(tr("%1: nothing answers at the service host %2; starting %3 (log: %4)")
            .arg(program, m_setup.defaultHost, m_setup.program, log));
    m_process->start();
    if (!m_process->waitForStarted(m_setup.answerWaitMs)) {
        say(tr("%1: %2 could not be started: %3")
                .arg(program, m_setup.program, m_process->errorString()));
        return Outcome::Failed;
    }

    const QDeadlineTimer deadline(m_setup.answerWaitMs);
    while (!deadline.hasExpired()) {
        if (answers()) {
            say(tr("%1: the service host started at %2 answers; it ends with %1")
                    .arg(program, m_setup.defaultHost));
            return Outcome::Started;
        }
        if (m_process->waitForFinished(100)) {
            say(tr("%1: %2 ended at once (exit status %3)")
                    .arg(program, m_setup.program)
                    .arg(m_process->exitCode()));
            return Outcome::Failed;
        }
    }
    say(tr("%1: %2 did not answer within %3 s")
            .arg(program, m_setup.program)
            .arg(m_setup.answerWaitMs / 1000.0));
    return Outcome::Failed;
}

} // namespace brandle

// SPDX-License-Identifier: MIT
#include "app/WebWindows.h"

#include "app/WebChannel.h"
#include "platform/SocketPair.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QTimer>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace brandle {

namespace {

// Beside the program (a build or portable folder), then where an installation puts it.
QString findHelper()
{
    const QString programDir = QCoreApplication::applicationDirPath();
    QStringList candidates{programDir + "/brandle-web"_L1,
                           programDir + "/../lib/brandle/brandle-web"_L1};
#ifdef BRANDLE_WEB_HELPER_DIR
    candidates << QString::fromUtf8(BRANDLE_WEB_HELPER_DIR "/brandle-web");
#endif
    for (const QString& candidate : candidates) {
        if (QFileInfo(candidate).isExecutable())
            return candidate;
    }
    std::fprintf(stderr, "Brandle: the result windows cannot be shown: brandle-web is not in %s\n",
                 qPrintable(candidates.join(", "_L1)));
    return {};
}

} // namespace

// The program's view of the helper's windows. It knows which windows it asked for and which the
// helper reported gone; a helper that is started for a request lives until neither window has
// been open for WebModule::IdleMs, then is told to quit.
class HelperWindows final : public QObject, public WebWindows {
public:
    HelperWindows(WebWindowsHost& host, const QString& program);
    ~HelperWindows() override;

    void prepare() override;
    void showLoading() override;
    void closeLoading() override;
    void showMessage(const QString& pagePath, const WindowParams& params) override;
    void unloadMessage() override;
    bool messageLoaded() const override { return running() && m_message; }

    bool running() const { return m_process != nullptr; }

private:
    bool start();
    void send(const WebMessage& message);
    void received(const WebMessage& message);
    void ended(QProcess* process);
    void idleIfDone();
    void quit();

    WebWindowsHost& m_host;
    QString m_program;
    QProcess* m_process = nullptr;
    WebChannel* m_channel = nullptr;
    bool m_loading = false;
    bool m_message = false;
    quint32 m_showing = 0; // the last showing asked for
    QTimer m_idle;
};

HelperWindows::HelperWindows(WebWindowsHost& host, const QString& program)
    : m_host(host)
    , m_program(program)
{
    m_idle.setSingleShot(true);
    m_idle.setInterval(WebModule::IdleMs);
    connect(&m_idle, &QTimer::timeout, this, &HelperWindows::quit);
}

HelperWindows::~HelperWindows()
{
    quit();
    // The windows close at once; a helper that does not end soon is ended. That is also one told
    // to quit a moment ago, which may still be ending.
    const QList<QProcess*> helpers = findChildren<QProcess*>();
    for (QProcess* process : helpers) {
        if (process->state() != QProcess::NotRunning && !process->waitForFinished(1000)) {
            process->kill();
            process->waitForFinished(500);
        }
    }
}

bool HelperWindows::start()
{
    if (m_process)
        return true;
    const std::optional<SocketPair> pair = makeSocketPair();
    if (!pair)
        return false;
    auto* process = new QProcess(this);
    process->setProgram(m_program);
    process->setArguments({u"--channel"_s, QString::number(pair->theirs), u"--protocol"_s,
                           QString::number(WebChannel::ProtocolVersion)});
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    const qintptr theirs = pair->theirs;
    process->setChildProcessModifier([theirs] { keepAcrossExec(theirs); });
    connect(process, &QProcess::finished, this, [this, process] { ended(process); });
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart) {
            std::fprintf(stderr, "Brandle: %s cannot be started: %s\n", qPrintable(m_program),
                         qPrintable(process->errorString()));
            ended(process);
        }
    });
    process->start();
    closeSocket(pair->theirs);

    m_process = process;
    m_channel = new WebChannel(pair->ours, process);
    connect(m_channel, &WebChannel::received, this, &HelperWindows::received);
    m_loading = m_message = false;
    qCDebug(lcWeb) << "helper started";
    return true;
}

void HelperWindows::ended(QProcess* process)
{
    if (process == m_process) {
        m_process = nullptr;
        m_channel = nullptr;
        m_loading = m_message = false;
        m_idle.stop();
    }
    qCDebug(lcWeb) << "helper ended";
    process->deleteLater();
}

void HelperWindows::send(const WebMessage& message)
{
    if (m_channel)
        m_channel->send(message);
}

void HelperWindows::received(const WebMessage& message)
{
    switch (message.kind) {
    case WebMessage::Kind::StartLookup: {
        WebMessage answer(WebMessage::Kind::LookupAnswer);
        answer.accepted = m_host.startLookup(message.text);
        send(answer);
        break;
    }
    case WebMessage::Kind::MessageUnloaded:
        // Not when a later page is on its way already.
        if (message.showing == m_showing) {
            m_message = false;
            idleIfDone();
        }
        break;
    default:
        break;
    }
}

void HelperWindows::idleIfDone()
{
    if (!m_loading && !m_message)
        m_idle.start();
}

void HelperWindows::quit()
{
    if (!m_process)
        return;
    qCDebug(lcWeb) << "helper told to quit";
    send(WebMessage(WebMessage::Kind::Quit));
    // It ends by itself (ended() deletes it); a later request starts another.
    m_process = nullptr;
    m_channel = nullptr;
    m_loading = m_message = false;
    m_idle.stop();
}

void HelperWindows::prepare()
{
    // The helper starts while the lookup asks the service host and the engines, and ends again
    // when no window follows.
    if (start())
        idleIfDone();
}

void HelperWindows::showLoading()
{
    if (!start())
        return;
    m_idle.stop();
    m_loading = true;
    send(WebMessage(WebMessage::Kind::ShowLoading));
}

void HelperWindows::closeLoading()
{
    if (!m_process || !m_loading)
        return;
    m_loading = false;
    send(WebMessage(WebMessage::Kind::CloseLoading));
    idleIfDone();
}

void HelperWindows::showMessage(const QString& pagePath, const WindowParams& params)
{
    if (!start())
        return;
    m_idle.stop();
    m_message = true;
    qCDebug(lcWeb) << "result" << pagePath;
    WebMessage message{WebMessage::Kind::ShowMessage};
    message.showing = ++m_showing;
    message.text = pagePath;
    message.params = params;
    message.keepOnTop = m_host.keepOnTop();
    message.historyLimit = m_host.historyLimit();
    send(message);
}

void HelperWindows::unloadMessage()
{
    if (!m_process || !m_message)
        return;
    m_message = false;
    send(WebMessage(WebMessage::Kind::UnloadMessage));
    idleIfDone();
}

WebModule::WebModule(WebWindowsHost& host)
    : m_host(host)
{
}

WebModule::~WebModule() = default;

WebWindows* WebModule::windows()
{
    if (!m_windows && !m_triedToFind) {
        m_triedToFind = true;
        const QString program = findHelper();
        if (!program.isEmpty())
            m_windows = std::make_unique<HelperWindows>(m_host, program);
    }
    return m_windows.get();
}

WebWindows* WebModule::loaded() const
{
    return m_windows && m_windows->running() ? m_windows.get() : nullptr;
}

} // namespace brandle

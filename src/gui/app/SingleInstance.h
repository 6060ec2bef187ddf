// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace brandle {

// One Brandle per user: the first copy listens on a local socket in a folder only the user can
// enter (Paths::privateRuntimeFolder); a later copy finds it, asks it to show its settings window
// and ends. Copies that start at the same moment take turns through a lock file beside the
// socket, so exactly one of them listens. The socket is removed when this object goes, which
// an ordinary exit and a SIGTERM or SIGINT both reach (quitOnTerminationSignals).
class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when another copy runs (it was asked to show itself); false when this copy is the
    // first and now listens, or when no private folder could be had (then it runs unguarded and
    // says so on standard error).
    bool otherIsRunning();

    // The socket's path; empty before otherIsRunning().
    QString socketPath() const { return m_path; }
    bool listening() const;

    // The socket's name in its folder: "brandle-" and the login name, or the user id when USER
    // is unset or is not a plain name.
    static QString socketName();

signals:
    void showRequested();

private:
    void listen();

    QLocalServer* m_server = nullptr;
    QString m_path;
};

} // namespace brandle

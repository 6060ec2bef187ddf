// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

class QLocalServer;

namespace brandle {

// One Brandle per user: the first copy listens on a local socket named after the user; a later
// copy finds it, asks it to show its settings window and ends.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(QObject* parent = nullptr);

    // True when another copy runs (it was asked to show itself); false when this copy is the
    // first and now listens.
    bool otherIsRunning();

signals:
    void showRequested();

private:
    QLocalServer* m_server = nullptr;
};

} // namespace brandle

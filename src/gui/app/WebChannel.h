// SPDX-License-Identifier: MIT
#pragma once

#include "engine/WindowParams.h"

#include <QList>
#include <QLoggingCategory>
#include <QObject>
#include <QString>

#include <optional>

class QLocalSocket;

namespace brandle {

// "brandle.web": when the web windows start, show a page and go (off unless enabled, e.g. with
// QT_LOGGING_RULES="brandle.web.debug=true").
Q_DECLARE_LOGGING_CATEGORY(lcWeb)

// One message between the program and brandle-web, the helper process that holds its web
// windows.
struct WebMessage {
    enum class Kind : qint32 {
        // The program asks:
        ShowLoading,
        CloseLoading,
        ShowMessage,
        UnloadMessage,
        Quit,
        LookupAnswer, // to StartLookup: accepted says whether the lookup started
        // The helper tells:
        StartLookup,     // GO in the quick lookup box; waits for LookupAnswer
        MessageUnloaded, // the message window went by itself
    };
    explicit WebMessage(Kind kind = Kind::Quit)
        : kind(kind)
    {
    }

    Kind kind;
    quint32 showing = 0;   // ShowMessage, MessageUnloaded: which showing of the message window
    QString text;          // ShowMessage: the page file; StartLookup: the site
    WindowParams params;   // ShowMessage
    bool keepOnTop = true; // ShowMessage: the live "Keep window on topmost position"
    QString historyLimit;  // ShowMessage: the recent-lookups limit (the record's History)
    bool accepted = false; // LookupAnswer
};

// Messages both ways over a connected local socket. Both ends run the same build: the program
// hands the helper ProtocolVersion, and a helper of another version does not start.
class WebChannel : public QObject {
    Q_OBJECT
public:
    static constexpr int ProtocolVersion = 1;

    // A channel over the socket's descriptor, which it owns from now on.
    explicit WebChannel(qintptr socket, QObject* parent = nullptr);

    void send(const WebMessage& message);
    // Sends the message and waits at most timeoutMs for the answer of the given kind. Messages
    // of other kinds that come first are handed on after it, in their order. Nothing when no
    // answer came.
    std::optional<WebMessage> ask(const WebMessage& message, WebMessage::Kind answer,
                                  int timeoutMs);
    bool isOpen() const;

signals:
    void received(const brandle::WebMessage& message);
    // The other end is gone.
    void closed();

private:
    void readMessages();
    // The whole messages that have come, taken from the socket.
    QList<WebMessage> take();
    void handOn();

    QLocalSocket* m_socket;
    QList<WebMessage> m_waiting; // taken from the socket, not yet handed on
    bool m_asking = false;
};

} // namespace brandle

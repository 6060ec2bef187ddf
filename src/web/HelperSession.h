// SPDX-License-Identifier: MIT
#pragma once

#include "WebModule.h"
#include "app/WebChannel.h"

#include <QObject>

namespace brandle {

// brandle-web's side of the channel: shows and closes the windows the program asks for, and
// tells the program when the message window went by itself. Told to quit, it ends once the
// user has answered any message box still open. GO asks the program for a lookup
// and waits for its answer (at most AnswerWaitMs). The program's keep-on-top state and history
// limit come with each page.
class HelperSession : public QObject, private WebWindowsHost {
    Q_OBJECT
public:
    // Works through the channel (made a child of the session).
    explicit HelperSession(WebChannel* channel, QObject* parent = nullptr);

    static constexpr int AnswerWaitMs = 5000;

    ModuleWindows& windows() { return m_windows; }

signals:
    // The program said Quit, or is gone.
    void finished();

private:
    void received(const WebMessage& message);
    // Ends the session once no message box is open.
    void finishAfterBoxes();

    // WebWindowsHost
    bool startLookup(const QString& site) override;
    bool keepOnTop() const override { return m_keepOnTop; }
    QString historyLimit() const override { return m_historyLimit; }

    WebChannel* m_channel;
    ModuleWindows m_windows{*this};
    quint32 m_showing = 0;
    bool m_loadingWanted = false;
    bool m_keepOnTop = true;
    QString m_historyLimit;
};

} // namespace brandle

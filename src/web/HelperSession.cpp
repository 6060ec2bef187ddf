// SPDX-License-Identifier: MIT
#include "HelperSession.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

namespace brandle {

HelperSession::HelperSession(WebChannel* channel, QObject* parent)
    : QObject(parent)
    , m_channel(channel)
{
    m_channel->setParent(this);
    connect(m_channel, &WebChannel::received, this, &HelperSession::received);
    connect(m_channel, &WebChannel::closed, this, &HelperSession::finished);
    m_windows.setMessageGoneHandler([this] {
        WebMessage gone{WebMessage::Kind::MessageUnloaded};
        gone.showing = m_showing;
        m_channel->send(gone);
    });
}

void HelperSession::received(const WebMessage& message)
{
    switch (message.kind) {
    case WebMessage::Kind::ShowLoading:
        // Shown once the messages at hand are read: a lookup that ended meanwhile has sent
        // CloseLoading after it, and the strip is not made for nothing.
        m_loadingWanted = true;
        QTimer::singleShot(0, this, [this] {
            if (!m_loadingWanted)
                return;
            m_windows.showLoading();
            // The result window is made while the engines are asked.
            QTimer::singleShot(0, this, [this] { m_windows.prepareMessage(); });
        });
        break;
    case WebMessage::Kind::CloseLoading:
        m_loadingWanted = false;
        m_windows.closeLoading();
        break;
    case WebMessage::Kind::ShowMessage:
        m_showing = message.showing;
        m_keepOnTop = message.keepOnTop;
        m_historyLimit = message.historyLimit;
        m_windows.showMessage(message.text, message.params);
        break;
    case WebMessage::Kind::UnloadMessage:
        m_windows.unloadMessage();
        break;
    case WebMessage::Kind::Quit:
        m_loadingWanted = false;
        m_windows.unloadMessage();
        m_windows.closeLoading();
        finishAfterBoxes();
        break;
    case WebMessage::Kind::LookupAnswer:
    case WebMessage::Kind::StartLookup:
    case WebMessage::Kind::MessageUnloaded:
        break;
    }
}

void HelperSession::finishAfterBoxes()
{
    // A box the user has not answered yet stays until OK.
    if (QWidget* box = QApplication::activeModalWidget()) {
        connect(box, &QObject::destroyed, this, &HelperSession::finishAfterBoxes,
                Qt::QueuedConnection);
        return;
    }
    emit finished();
}

bool HelperSession::startLookup(const QString& site)
{
    WebMessage lookup{WebMessage::Kind::StartLookup};
    lookup.text = site;
    const std::optional<WebMessage> answer =
        m_channel->ask(lookup, WebMessage::Kind::LookupAnswer, AnswerWaitMs);
    return answer && answer->accepted;
}

} // namespace brandle

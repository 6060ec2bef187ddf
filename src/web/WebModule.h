// SPDX-License-Identifier: MIT
#pragma once

#include "app/WebWindows.h"

#include "frmLoading.h"
#include "frmMessage.h"

#include <QPointer>

#include <functional>

namespace brandle {

// The web windows of one program: at most one message window and one loading window, each
// loaded on first use and discarded after use, so that every showing starts afresh.
class ModuleWindows final : public WebWindows {
public:
    explicit ModuleWindows(WebWindowsHost& host);
    ~ModuleWindows() override;

    void prepare() override;
    void showLoading() override;
    void closeLoading() override;
    void showMessage(const QString& pagePath, const WindowParams& params) override;
    void unloadMessage() override;
    bool messageLoaded() const override { return !m_message.isNull(); }

    // Called when the message window has gone by itself (slid out, closed, or GO pressed).
    void setMessageGoneHandler(std::function<void()> handler)
    {
        m_messageGone = std::move(handler);
    }

    // Makes the next message window ahead, hidden, with its browser started, so that a page
    // that comes soon shows sooner; the next showMessage takes it.
    void prepareMessage();

    // The loaded windows, nullptr when not loaded.
    frmMessage* message() const { return m_message; }
    frmLoading* loading() const { return m_loading; }

private:
    WebWindowsHost& m_host;
    QPointer<frmMessage> m_message;
    QPointer<frmMessage> m_next; // made ahead by prepareMessage
    QPointer<frmLoading> m_loading;
    std::function<void()> m_messageGone;
};

} // namespace brandle

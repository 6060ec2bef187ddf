// SPDX-License-Identifier: MIT
// The entry of the web-window module: the program loads it on first use and asks for its
// windows through brandleWebWindows().
#include "WebModule.h"

#include <QtGlobal>

namespace brandle {

ModuleWindows::ModuleWindows(WebWindowsHost& host)
    : m_host(host)
{
}

ModuleWindows::~ModuleWindows()
{
    unloadMessage();
    closeLoading();
}

void ModuleWindows::showLoading()
{
    if (!m_loading)
        m_loading = new frmLoading;
    m_loading->ShowLoading();
}

void ModuleWindows::closeLoading()
{
    if (frmLoading* window = m_loading) {
        m_loading.clear();
        window->hide();
        window->deleteLater();
    }
}

void ModuleWindows::showMessage(const QString& pagePath, const WindowParams& params)
{
    if (!m_message) {
        frmMessage* window = new frmMessage(m_host);
        QObject::connect(window, &frmMessage::unloadRequested, window, [this, window] {
            if (m_message == window)
                unloadMessage();
        });
        m_message = window;
    }
    m_message->ShowMessage(pagePath, params);
}

void ModuleWindows::unloadMessage()
{
    if (frmMessage* window = m_message) {
        m_message.clear();
        window->discard();
    }
}

} // namespace brandle

extern "C" Q_DECL_EXPORT brandle::WebWindows* brandleWebWindows(brandle::WebWindowsHost* host)
{
    return new brandle::ModuleWindows(*host);
}

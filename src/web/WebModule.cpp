// SPDX-License-Identifier: MIT
#include "WebModule.h"

#include "app/WebChannel.h"

#include <QWebEngineView>

using namespace Qt::StringLiterals;

namespace brandle {

ModuleWindows::ModuleWindows(WebWindowsHost& host)
    : m_host(host)
{
}

ModuleWindows::~ModuleWindows()
{
    unloadMessage();
    closeLoading();
    delete m_next;
}

void ModuleWindows::prepare()
{
    // The windows are in this process already.
}

void ModuleWindows::prepareMessage()
{
    if (!m_message && !m_next) {
        m_next = new frmMessage(m_host);
        m_next->preload();
    }
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
        frmMessage* window = m_next ? m_next.data() : new frmMessage(m_host);
        m_next.clear();
        QObject::connect(window, &frmMessage::unloadRequested, window, [this, window] {
            if (m_message != window)
                return;
            unloadMessage();
            if (m_messageGone)
                m_messageGone();
        });
        if (auto* view = window->findChild<QWebEngineView*>(u"webMessage"_s)) {
            QObject::connect(view, &QWebEngineView::loadFinished, view,
                             [](bool ok) { qCDebug(lcWeb) << "page shown" << ok; });
        }
        m_message = window;
    }
    m_message->ShowMessage(pagePath, params);
}

void ModuleWindows::unloadMessage()
{
    if (frmMessage* window = m_message) {
        m_message.clear();
        window->discard();
        qCDebug(lcWeb) << "message window left";
    }
}

} // namespace brandle

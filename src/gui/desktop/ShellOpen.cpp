// SPDX-License-Identifier: MIT
#include "desktop/ShellOpen.h"

#include "platform/Address.h"

#include <QDesktopServices>

using namespace brandle;

namespace brandle::Browser {

namespace {
Hook& testHook()
{
    static Hook hook;
    return hook;
}
} // namespace

void open(const QUrl& url)
{
    if (testHook())
        testHook()(url);
    else
        QDesktopServices::openUrl(url);
}

void setTestHook(Hook hook)
{
    testHook() = std::move(hook);
}

} // namespace brandle::Browser

void OpenInBrowser(QWidget* ownerWindow, const QString& address)
{
    (void)ownerWindow; // the desktop chooses the browser's window
    Browser::open(QUrl(browserAddress(address), QUrl::TolerantMode));
}

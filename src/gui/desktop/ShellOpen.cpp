// SPDX-License-Identifier: MIT
#include "desktop/ShellOpen.h"

#include "platform/Address.h"

#include <QDesktopServices>
#include <QUrl>

using namespace brandle;

void OpenInBrowser(QWidget* ownerWindow, const QString& address)
{
    (void)ownerWindow; // the desktop chooses the browser's window
    QDesktopServices::openUrl(QUrl(browserAddress(address), QUrl::TolerantMode));
}

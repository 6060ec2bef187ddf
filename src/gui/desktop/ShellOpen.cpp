// SPDX-License-Identifier: MIT
#include "desktop/ShellOpen.h"

#include "engine/Site.h"

#include <QDesktopServices>
#include <QUrl>

void OpenInBrowser(QWidget* ownerWindow, const QString& address)
{
    (void)ownerWindow; // the desktop chooses the browser's window
    QDesktopServices::openUrl(QUrl(browserAddress(address), QUrl::TolerantMode));
}

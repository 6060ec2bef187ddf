// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

class QWidget;

// Opens the site in the default browser: lower-cased, with "http://" in front unless it starts
// with it. A failure is ignored.
void OpenInBrowser(QWidget* ownerWindow, const QString& address);

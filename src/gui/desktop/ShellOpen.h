// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QUrl>

#include <functional>

class QWidget;

// Opens the site in the default browser: lower-cased, with "http://" in front unless it starts
// with it. A failure is ignored.
void OpenInBrowser(QWidget* ownerWindow, const QString& address);

namespace brandle::Browser {

// Opens the address in the user's default browser. Every launch of the browser goes through
// here; a failure is ignored.
void open(const QUrl& url);

// Tests: while set, no browser starts; the hook receives the address instead.
using Hook = std::function<void(const QUrl&)>;
void setTestHook(Hook hook);

} // namespace brandle::Browser

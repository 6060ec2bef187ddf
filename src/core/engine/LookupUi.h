// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace brandle {

// A notice of the service host: shown in a message box with the host's title, text and style.
struct ServiceNotice {
    QString title;
    QString text;
    qint32 style = 0;
};

// What a lookup asks of the windows. The lookup runs on a worker thread; an implementation
// forwards each call to the user-interface thread. The defaults do nothing (headless use).
class LookupUi {
public:
    virtual ~LookupUi() = default;
    // Shows the notice and returns when the user has closed it.
    virtual void showNotice(const ServiceNotice& notice) { (void)notice; }
    virtual void showLoading() {}
    virtual void closeLoading() {}
    // Starts the alert and returns at once.
    virtual void playAlert(const QString& code) { (void)code; }
};

} // namespace brandle

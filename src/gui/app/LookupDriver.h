// SPDX-License-Identifier: MIT
#pragma once

#include "desktop/MessageBox.h"
#include "desktop/Notifier.h"
#include "engine/LookupRun.h"

#include <QObject>
#include <QString>

class QThread;

namespace brandle {

// The message box that shows a notice of the service host: its style number gives the buttons
// and the icon.
MessageBox::Request noticeRequest(const ServiceNotice& notice);

// What the user is told of a count of site whose total moved from previous to total: the total
// and its change.
UserNotice countNotice(const QString& site, qint32 total, qint32 previous);

// Runs one lookup at a time on a worker thread and brings its outcome to the user-interface
// thread: notices and error boxes are shown here, the windows and sounds are asked for by
// signals, and the values of the lookup reach oProps.
class LookupDriver : public QObject {
    Q_OBJECT
public:
    // Who asked: the user, the automatic check for the primary site, or the automatic check for
    // one of the tracked sites (whose page is shown only for a change that alerts).
    enum class Origin { User, Automatic, Tracked };

    explicit LookupDriver(QObject* parent = nullptr);
    ~LookupDriver() override;

    // Starts a lookup of the site (already normalised). While another runs, a user's request is
    // answered with a notice and an automatic one is dropped silently; both return false.
    // The page of a tracked site is shown only when its total changed by at least the alert
    // threshold.
    bool start(const QString& site, Origin origin);
    bool isRunning() const { return m_thread != nullptr; }

    // Aborts the network transfers and waits at most the given time for the worker.
    void shutdown(int waitMs = 2000);

signals:
    // A lookup has begun on its worker.
    void started();
    void showLoading();
    void closeLoading();
    void playAlert(const QString& code);
    // A page was written whose window parameters could be read.
    void showPage(const QString& pagePath, const brandle::WindowParams& params);
    // Something to tell the user outside the windows: why a count was not made.
    void tellUser(const brandle::UserNotice& notice);
    // The site's total moved from previous to total, by at least the alert threshold.
    void totalChanged(const QString& site, qint32 total, qint32 previous);
    void finished(LookupOutcome::Kind kind);

private:
    void onFinished(const LookupOutcome& outcome, const clsProps& props);

    QThread* m_thread = nullptr;
    Origin m_origin = Origin::User;
};

} // namespace brandle

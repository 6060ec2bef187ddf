// SPDX-License-Identifier: MIT
#pragma once

#include "app/LookupDriver.h"
#include "app/WebWindows.h"
#include "desktop/Notifier.h"
#include "engine/WindowParams.h"
#include "forms/frmSettings.h"
#include "settings/AutoCheck.h"
#include "tray/TrayIcon.h"

#include <QObject>
#include <QTimer>

#include <optional>

namespace brandle {

// The resident program: the settings window, the tray icon and its menu, the automatic check,
// the lookup driver and the web windows, wired together; start-up and the one orderly exit.
class BrandleApp : public QObject, private WebWindowsHost {
    Q_OBJECT
public:
    BrandleApp();
    ~BrandleApp() override;

    // Start-up: loads the settings, fills the settings window, adds the tray icon, then checks
    // the primary site (automatic checks on) or shows the settings window (no primary site).
    // demoSite, when given, is counted at start when no primary site is stored.
    void OpenParlo(qint32 lTabIndex, const QString& demoSite = QString());
    enum class ExitSound { AsSet, Off };
    // Closes the windows, plays the exit sound (when sounds are on, unless Off), removes the tray
    // icon and ends the event loop; the exit sound may finish, for at most 2 s.
    void ExitApp(ExitSound sound = ExitSound::AsSet);

    // The one entry of a lookup from the tray, the settings window, start-up and the automatic
    // check: the settings window validates and saves, the message window closes, the driver
    // counts the site, and the tray tip names url once the lookup has ended. A tracked site's
    // lookup leaves the message window and the tip as they are. True when the lookup started.
    bool CheckURL(const QString& url, LookupDriver::Origin origin);

    // The tracked sites still to be counted after the running automatic check.
    QStringList pendingTrackedSites() const { return m_tracked; }

    // The one way to tell the user something outside the windows: a desktop notification, or the
    // tray's balloon where the desktop has no notification service.
    void tellUser(const UserNotice& notice);

    frmSettings* settings() { return &m_settings; }
    TrayIcon* tray() { return &m_tray; }
    LookupDriver* driver() { return &m_driver; }
    QTimer* timer() { return &m_timer; }
    WebModule* web() { return &m_web; }
    Notifier* notifier() { return &m_notifier; }

public slots:
    void Timer_Timer();
    void mnuPopViewCount_Click();
    void mnuPopLastCount_Click();
    void mnuPopClose_Click();
    void mnuPopHist_Click(const QString& address);

private:
    // WebWindowsHost
    bool startLookup(const QString& site) override;
    bool keepOnTop() const override;
    QString historyLimit() const override;

    void showPage(const QString& pagePath, const WindowParams& params);
    void onLookupFinished();
    void startNextTracked();
    void tellChange(const QString& site, qint32 total, qint32 previous);
    void handRecentLookups();

    frmSettings m_settings;
    TrayIcon m_tray;
    Notifier m_notifier;
    LookupDriver m_driver;
    WebModule m_web{*this};
    QTimer m_timer;
    AutoCheck m_autoCheck;
    // The page of the last lookup that wrote one, for Recall Count.
    QString m_lastPage;
    std::optional<WindowParams> m_lastWindow;
    QString m_tipUrl; // the address of the running CheckURL lookup, for the tray tip
    bool m_tipPending = false;
    // "Also check automatically": counted one after another after the primary site.
    QStringList m_tracked;
};

} // namespace brandle

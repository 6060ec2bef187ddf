// SPDX-License-Identifier: MIT
#pragma once

#include "app/LookupDriver.h"
#include "settings/AutoCheck.h"
#include "forms/frmSettings.h"
#include "tray/TrayIcon.h"

#include <QObject>
#include <QTimer>

// The resident program: the settings window, the tray icon and its menu, the automatic check and
// the lookup driver, wired together; start-up and the one orderly exit.
class BrandleApp : public QObject {
    Q_OBJECT
public:
    BrandleApp();
    ~BrandleApp() override;

    // Start-up: loads the settings, fills the settings window, adds the tray icon, then checks
    // the primary site (automatic checks on) or shows the settings window (no primary site).
    // demoSite, when given, is counted at start when no primary site is stored.
    void OpenParlo(qint32 lTabIndex, const QString& demoSite = QString());
    // Closes the windows, plays the exit sound (when sounds are on), removes the tray icon and
    // ends the event loop; the exit sound may finish, for at most 2 s.
    void ExitApp();

    frmSettings* settings() { return &m_settings; }
    TrayIcon* tray() { return &m_tray; }
    LookupDriver* driver() { return &m_driver; }
    QTimer* timer() { return &m_timer; }

public slots:
    void Timer_Timer();
    void mnuPopViewCount_Click();
    void mnuPopLastCount_Click();
    void mnuPopClose_Click();
    void mnuPopHist_Click(const QString& address);

private:
    void onLookupRequested(const QString& site, const QString& url);
    void onLookupFinished();

    frmSettings m_settings;
    TrayIcon m_tray;
    LookupDriver m_driver;
    QTimer m_timer;
    AutoCheck m_autoCheck;
    bool m_automatic = false;
    QString m_tipUrl; // the address of the running CheckURL lookup, for the tray tip
    bool m_tipPending = false;
};

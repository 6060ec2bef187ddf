// SPDX-License-Identifier: MIT
#include "app/BrandleApp.h"

#include "engine/LookupRun.h"
#include "engine/Site.h"
#include "platform/Clock.h"
#include "platform/Errors.h"
#include "platform/Http.h"
#include "desktop/Sound.h"
#include "platform/mConstants.h"
#include "settings/clsProps.h"
#include "app/WebWindows.h"

#include <QCoreApplication>
#include <QElapsedTimer>

namespace {

void showPage(const QString& path)
{
    WebWindows* windows = webWindows();
    if (!windows)
        return;
    try {
        windows->showMessage(path);
    } catch (const BrandleError&) {
        // A page whose window parameters cannot be read is not shown.
    }
}

void unloadMessage()
{
    if (WebWindows* windows = loadedWebWindows())
        windows->unloadMessage();
}

void closeLoading()
{
    if (WebWindows* windows = loadedWebWindows())
        windows->closeLoading();
}

} // namespace

BrandleApp::BrandleApp()
{
    connect(&m_driver, &LookupDriver::showLoading, this, [] {
        if (WebWindows* windows = webWindows())
            windows->showLoading();
    });
    connect(&m_driver, &LookupDriver::closeLoading, this, &closeLoading);
    connect(&m_driver, &LookupDriver::playAlert, this,
            [](const QString& code) { PlayAlert(code); });
    connect(&m_driver, &LookupDriver::showPage, this, &showPage);
    connect(&m_driver, &LookupDriver::trayMessage, &m_tray, &TrayIcon::showMessage);
    connect(&m_driver, &LookupDriver::finished, this, &BrandleApp::onLookupFinished);

    setWebWindowHooks(
        [this](const QString& site) { m_driver.start(site, LookupDriver::Origin::User); },
        [this] { return m_settings.keepOnTop(); });

    connect(&m_settings, &frmSettings::lookupRequested, this, &BrandleApp::onLookupRequested);

    connect(&m_tray, &TrayIcon::refreshRequested, this, &BrandleApp::mnuPopViewCount_Click);
    connect(&m_tray, &TrayIcon::recallRequested, this, &BrandleApp::mnuPopLastCount_Click);
    connect(&m_tray, &TrayIcon::closeCountRequested, this, &BrandleApp::mnuPopClose_Click);
    connect(&m_tray, &TrayIcon::settingsRequested, &m_settings, &frmSettings::showOnTab);
    connect(&m_tray, &TrayIcon::recentRequested, this, &BrandleApp::mnuPopHist_Click);
    connect(&m_tray, &TrayIcon::exitRequested, this, &BrandleApp::ExitApp);

    // The automatic check ticks at once, then every 50 s once a site is known.
    m_timer.setObjectName(QStringLiteral("Timer"));
    m_timer.setInterval(AutoCheck::FirstInterval);
    connect(&m_timer, &QTimer::timeout, this, &BrandleApp::Timer_Timer);
    m_timer.start();
}

BrandleApp::~BrandleApp()
{
    setWebWindowHooks(nullptr, nullptr);
    unloadMessage();
    closeLoading();
}

void BrandleApp::OpenParlo(qint32 lTabIndex, const QString& demoSite)
{
    (void)lTabIndex;
    LoadProps(oProps, m_settings.historyText());
    m_tray.setTip(initialTrayTip());
    m_settings.fillFromProps();
    m_tray.show();
    if (!oProps.URLName().isEmpty()) {
        if (clsProps::isOn(oProps.PlaySound()))
            PlayAlert(mConstants::AlertWelcome);
        if (clsProps::isOn(oProps.AutoCheck()))
            m_settings.CheckURL(m_settings.primaryUrl());
    } else {
        m_settings.show();
        if (!demoSite.isEmpty())
            m_driver.start(siteForLookup(demoSite), LookupDriver::Origin::User);
    }
    m_settings.setChanged(false);
}

void BrandleApp::onLookupRequested(const QString& site, const QString& url)
{
    const auto origin = m_automatic ? LookupDriver::Origin::Automatic : LookupDriver::Origin::User;
    if (m_driver.start(site, origin)) {
        m_tipUrl = url;
        m_tipPending = true;
    }
}

void BrandleApp::onLookupFinished()
{
    if (m_tipPending) {
        m_tray.setTip(trayTip(m_tipUrl));
        m_tipPending = false;
    }
}

void BrandleApp::Timer_Timer()
{
    const AutoCheck::Tick tick =
        m_autoCheck.tick(oProps, Clock::instance().now(), m_driver.isRunning());
    if (tick.check) {
        m_automatic = true;
        m_settings.CheckURL(m_settings.primaryUrl());
        m_automatic = false;
    }
    if (tick.interval > 0 && m_timer.interval() != tick.interval)
        m_timer.setInterval(tick.interval);
}

void BrandleApp::mnuPopViewCount_Click()
{
    m_settings.CheckURL(m_settings.primaryUrl());
}

void BrandleApp::mnuPopLastCount_Click()
{
    if (oProps.XMLSchema().isEmpty())
        return;
    unloadMessage();
    showPage(resultPagePath());
}

void BrandleApp::mnuPopClose_Click()
{
    unloadMessage();
}

void BrandleApp::mnuPopHist_Click(const QString& address)
{
    m_settings.CheckURL(address);
}

void BrandleApp::ExitApp()
{
    closeLoading();
    unloadMessage();
    m_settings.close();
    const bool sound = clsProps::isOn(oProps.PlaySound());
    if (sound)
        PlayAlert(mConstants::AlertExit);
    m_tray.hide();
    m_timer.stop();
    // Exit never waits on the network: running transfers end at once.
    abortAllTransfers();

    // The exit sound may finish, for at most 2 s; the icon is already gone.
    auto* waiting = new QTimer(this);
    auto* clock = new QElapsedTimer;
    clock->start();
    connect(waiting, &QTimer::timeout, this, [waiting, clock, sound] {
        if (!sound || !isAlertPlaying() || clock->elapsed() > 2000) {
            waiting->stop();
            delete clock;
            QCoreApplication::exit(0);
        }
    });
    waiting->start(sound ? 50 : 0);
}

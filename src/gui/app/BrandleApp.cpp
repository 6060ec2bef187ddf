// SPDX-License-Identifier: MIT
#include "app/BrandleApp.h"

#include "desktop/Sound.h"
#include "engine/LookupRun.h"
#include "platform/Address.h"
#include "platform/Clock.h"
#include "platform/Http.h"
#include "platform/LocaleText.h"
#include "platform/mConstants.h"
#include "settings/Config.h"
#include "settings/clsProps.h"
#include "windows/RecentList.h"

#include <QCoreApplication>
#include <QElapsedTimer>

using namespace Qt::StringLiterals;

namespace brandle {

BrandleApp::BrandleApp()
{
    connect(&m_driver, &LookupDriver::started, this, [this] {
        if (WebWindows* windows = m_web.windows())
            windows->prepare();
    });
    connect(&m_driver, &LookupDriver::showLoading, this, [this] {
        if (WebWindows* windows = m_web.windows())
            windows->showLoading();
    });
    connect(&m_driver, &LookupDriver::closeLoading, this, [this] {
        if (WebWindows* windows = m_web.loaded())
            windows->closeLoading();
    });
    connect(&m_driver, &LookupDriver::playAlert, this,
            [](const QString& code) { PlayAlert(code); });
    connect(&m_driver, &LookupDriver::showPage, this, &BrandleApp::showPage);
    connect(&m_driver, &LookupDriver::tellUser, this, &BrandleApp::tellUser);
    m_notifier.setFallback([this](const UserNotice& notice) {
        m_tray.showMessage(notice.title, notice.text,
                           notice.kind == UserNotice::Kind::Warning ? QSystemTrayIcon::Warning
                                                                    : QSystemTrayIcon::Information);
    });
    connect(&m_driver, &LookupDriver::totalChanged, this, &BrandleApp::tellChange);
    connect(&m_driver, &LookupDriver::finished, this, &BrandleApp::onLookupFinished);

    connect(&m_settings, &frmSettings::checkRequested, this,
            [this](const QString& url) { CheckURL(url, LookupDriver::Origin::User); });

    connect(&m_tray, &TrayIcon::refreshRequested, this, &BrandleApp::mnuPopViewCount_Click);
    connect(&m_tray, &TrayIcon::recallRequested, this, &BrandleApp::mnuPopLastCount_Click);
    connect(&m_tray, &TrayIcon::closeCountRequested, this, &BrandleApp::mnuPopClose_Click);
    connect(&m_tray, &TrayIcon::settingsRequested, &m_settings, &frmSettings::showOnTab);
    connect(&m_tray, &TrayIcon::recentRequested, this, &BrandleApp::mnuPopHist_Click);
    connect(&m_tray, &TrayIcon::exitRequested, this, [this] { ExitApp(); });
    connect(&m_tray, &TrayIcon::recentLookupsWanted, this, &BrandleApp::handRecentLookups);
    // Without a tray there is no menu to end Brandle from: the settings window offers Exit.
    connect(&m_tray, &TrayIcon::inTrayChanged, &m_settings,
            [this](bool inTray) { m_settings.setExitOffered(!inTray); });
    connect(&m_settings, &frmSettings::exitRequested, this, [this] { ExitApp(); });

    // The automatic check ticks at once, then every second until a site is known, then every
    // 50 s.
    m_timer.setObjectName(u"Timer"_s);
    m_timer.setInterval(AutoCheck::FirstInterval);
    connect(&m_timer, &QTimer::timeout, this, &BrandleApp::Timer_Timer);
    m_timer.start();
}

BrandleApp::~BrandleApp() = default;

void BrandleApp::OpenParlo(qint32 lTabIndex, const QString& demoSite)
{
    (void)lTabIndex;
    LoadProps(oProps, m_settings.historyText());
    m_tray.setTip(initialTrayTip());
    m_settings.fillFromProps();
    m_tray.show();
    m_settings.setExitOffered(!m_tray.inTray());
    if (!oProps.URLName().isEmpty()) {
        if (clsProps::isOn(oProps.PlaySound()))
            PlayAlert(mConstants::AlertWelcome);
        if (clsProps::isOn(oProps.AutoCheck()))
            CheckURL(m_settings.primaryUrl(), LookupDriver::Origin::User);
    } else {
        m_settings.show();
        if (!demoSite.isEmpty())
            m_driver.start(siteForLookup(demoSite), LookupDriver::Origin::User);
    }
    m_settings.setChanged(false);
}

bool BrandleApp::CheckURL(const QString& url, LookupDriver::Origin origin)
{
    const std::optional<QString> site = m_settings.prepareLookup(url);
    if (!site)
        return false;
    const bool tracked = origin == LookupDriver::Origin::Tracked;
    if (WebWindows* windows = m_web.loaded(); windows && !tracked)
        windows->unloadMessage();
    if (!m_driver.start(*site, origin))
        return false;
    if (!tracked) {
        m_tipUrl = url;
        m_tipPending = true;
    }
    return true;
}

void BrandleApp::tellUser(const UserNotice& notice)
{
    m_notifier.tell(notice);
}

bool BrandleApp::startLookup(const QString& site)
{
    // The quick lookup box says so itself when a count is running.
    if (m_driver.isRunning())
        return false;
    return m_driver.start(site, LookupDriver::Origin::User);
}

bool BrandleApp::keepOnTop() const
{
    return m_settings.keepOnTop();
}

QString BrandleApp::historyLimit() const
{
    return oProps.History();
}

void BrandleApp::showPage(const QString& pagePath, const WindowParams& params)
{
    m_lastPage = pagePath;
    m_lastWindow = params;
    if (WebWindows* windows = m_web.windows())
        windows->showMessage(pagePath, params);
}

void BrandleApp::onLookupFinished()
{
    if (m_tipPending) {
        m_tray.setTip(trayTip(m_tipUrl));
        m_tipPending = false;
    }
    startNextTracked();
}

void BrandleApp::startNextTracked()
{
    // Still one lookup at a time: the next tracked site starts when the last lookup has ended.
    while (!m_tracked.isEmpty() && !m_driver.isRunning()) {
        if (CheckURL(m_tracked.takeFirst(), LookupDriver::Origin::Tracked))
            return;
    }
}

void BrandleApp::tellChange(const QString& site, qint32 total, qint32 previous)
{
    tellUser(countNotice(site, total, previous));
}

void BrandleApp::handRecentLookups()
{
    const qint32 limit = RecentList::limit(oProps.History());
    m_tray.setRecentLookups(limit, RecentList::storedValues(limit));
}

void BrandleApp::Timer_Timer()
{
    const AutoCheck::Tick tick =
        m_autoCheck.tick(oProps, Clock::instance().now(), m_driver.isRunning());
    if (tick.check && CheckURL(m_settings.primaryUrl(), LookupDriver::Origin::Automatic)) {
        // The primary site first, then each tracked site once (saved settings, as AutoCheck).
        QStringList counted{siteForLookup(m_settings.primaryUrl())};
        m_tracked.clear();
        for (const QString& url : Config::trackedSites()) {
            if (!counted.contains(siteForLookup(url))) {
                counted.append(siteForLookup(url));
                m_tracked.append(url);
            }
        }
    }
    const int interval =
        tick.interval > 0 ? tick.interval : qMax(m_timer.interval(), AutoCheck::WaitingInterval);
    if (m_timer.interval() != interval)
        m_timer.setInterval(interval);
}

void BrandleApp::mnuPopViewCount_Click()
{
    CheckURL(m_settings.primaryUrl(), LookupDriver::Origin::User);
}

void BrandleApp::mnuPopLastCount_Click()
{
    if (oProps.XMLSchema().isEmpty())
        return;
    if (WebWindows* windows = m_web.loaded())
        windows->unloadMessage();
    if (m_lastWindow)
        showPage(m_lastPage, *m_lastWindow);
}

void BrandleApp::mnuPopClose_Click()
{
    if (WebWindows* windows = m_web.loaded())
        windows->unloadMessage();
}

void BrandleApp::mnuPopHist_Click(const QString& address)
{
    CheckURL(address, LookupDriver::Origin::User);
}

void BrandleApp::ExitApp(ExitSound exitSound)
{
    if (WebWindows* windows = m_web.loaded()) {
        windows->closeLoading();
        windows->unloadMessage();
    }
    m_settings.close();
    const bool sound = exitSound == ExitSound::AsSet && clsProps::isOn(oProps.PlaySound());
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

} // namespace brandle

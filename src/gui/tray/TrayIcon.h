// SPDX-License-Identifier: MIT
#pragma once

#include "windows/TrayTip.h"

#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>
#include <QTimer>

#include <functional>

class QAction;

namespace brandle {

// The tray icon and its popup menu, a façade: it shows what its owner hands it (the tip, the
// recent lookups) and emits what the user asked for; the application decides.
// Where no system tray exists yet (a desktop still starting, or none at all), it says so once on
// standard error. It looks for a tray every few seconds for as long as the program runs: the icon
// is added when one appears, and added again when a tray that went away comes back.
class TrayIcon : public QObject {
    Q_OBJECT
public:
    explicit TrayIcon(QObject* parent = nullptr);

    // Adds the icon to the tray (now or as soon as a tray appears).
    void show();
    // Removes the icon.
    void hide();
    void setTip(const QString& tip);
    QString tip() const { return m_tip; }
    // A balloon message (plain text); on standard error when there is no tray.
    void showMessage(const QString& title, const QString& text,
                     QSystemTrayIcon::MessageIcon icon = QSystemTrayIcon::Information);
    // Whether the icon is in a tray now.
    bool inTray() const { return m_inTray; }

    // How often the icon looks for a tray.
    static constexpr int WatchIntervalMs = 3000;
    // Tests: how the icon learns whether a tray exists (QSystemTrayIcon's own answer by default).
    void setTrayProbe(std::function<bool()> probe) { m_probe = std::move(probe); }
    // Looks for a tray now (the timer does so every WatchIntervalMs).
    void lookForTray();
    // Rebuilds the Recent Lookups submenu: limit is the recent-lookups limit, stored.at(k - 1)
    // the address stored as recent lookup k ("" for none). The owner calls it when asked by
    // recentLookupsWanted().
    void setRecentLookups(qint32 limit, const QStringList& stored);

    QMenu* menu() { return &m_menu; }
    QSystemTrayIcon* icon() { return &m_icon; }

signals:
    void refreshRequested();         // "&Refresh Count"
    void recallRequested();          // "Recall &Count"
    void closeCountRequested();      // "&Close Count"
    void settingsRequested(int tab); // "&URL Settings" (0), "&Quick Graph" (1), double-click
    void recentRequested(const QString& address);
    void exitRequested(); // "E&xit"
    // The menu is about to show: the owner hands the recent lookups (setRecentLookups).
    void recentLookupsWanted();
    // The icon came into a tray (true) or its tray went away (false).
    void inTrayChanged(bool inTray);

private:
    void onActivated(QSystemTrayIcon::ActivationReason reason);

    QSystemTrayIcon m_icon;
    QMenu m_menu;
    QMenu* m_history = nullptr;
    QAction* m_historyAction = nullptr;
    QAction* m_recent[5] = {};
    RecentLookupsMenu m_recentState;
    QTimer m_watch;
    std::function<bool()> m_probe;
    bool m_wanted = false;
    bool m_inTray = false;
    QString m_tip;
};

} // namespace brandle

// SPDX-License-Identifier: MIT
#include "tray/TrayIcon.h"

#include "desktop/Icon.h"
#include "platform/mConstants.h"

#include <cstdio>

using namespace Qt::StringLiterals;

namespace brandle {

namespace {

QAction* addItem(QMenu* menu, const QString& name, const QString& caption)
{
    QAction* action = menu->addAction(caption);
    action->setObjectName(name);
    return action;
}

} // namespace

TrayIcon::TrayIcon(QObject* parent)
    : QObject(parent)
{
    m_icon.setIcon(brandleIcon());
    setTip(initialTrayTip());
    m_menu.setObjectName(u"mnuPopupSys"_s);

    connect(addItem(&m_menu, u"mnuPopViewCount"_s, tr("&Refresh Count")), &QAction::triggered, this,
            &TrayIcon::refreshRequested);
    m_menu.addSeparator()->setObjectName(u"mnuPopDash2"_s);
    connect(addItem(&m_menu, u"mnuPopLastCount"_s, tr("Recall &Count")), &QAction::triggered, this,
            &TrayIcon::recallRequested);
    connect(addItem(&m_menu, u"mnuPopClose"_s, tr("&Close Count")), &QAction::triggered, this,
            &TrayIcon::closeCountRequested);
    m_menu.addSeparator()->setObjectName(u"mnuPopDash3"_s);
    connect(addItem(&m_menu, u"mnuPopRestore"_s, tr("&URL Settings")), &QAction::triggered, this,
            [this] { emit settingsRequested(0); });
    connect(addItem(&m_menu, u"mnuPopGraph"_s, tr("&Quick Graph")), &QAction::triggered, this,
            [this] { emit settingsRequested(1); });

    m_history = new QMenu(tr("&Recent Lookups"), &m_menu);
    m_history->setObjectName(u"mnuPopHistory"_s);
    m_historyAction = m_menu.addMenu(m_history);
    m_historyAction->setObjectName(u"mnuPopHistoryAction"_s);
    m_historyAction->setVisible(false);
    for (int i = 0; i < 5; ++i) {
        QAction* item =
            addItem(m_history, u"mnuPopHist%1"_s.arg(i + 1), tr("History %1").arg(i + 1));
        item->setVisible(i == 0);
        connect(item, &QAction::triggered, this, [this, item] {
            const QString tag = item->data().toString();
            if (!tag.isEmpty())
                emit recentRequested(tag);
        });
        m_recent[i] = item;
    }

    m_menu.addSeparator()->setObjectName(u"mnuPopDash4"_s);
    connect(addItem(&m_menu, u"mnuPopExit"_s, tr("E&xit")), &QAction::triggered, this,
            &TrayIcon::exitRequested);

    connect(&m_menu, &QMenu::aboutToShow, this, &TrayIcon::recentLookupsWanted);
    m_icon.setContextMenu(&m_menu);
    connect(&m_icon, &QSystemTrayIcon::activated, this, &TrayIcon::onActivated);

    m_probe = [] {
        return QSystemTrayIcon::isSystemTrayAvailable();
    };
    m_watch.setInterval(WatchIntervalMs);
    connect(&m_watch, &QTimer::timeout, this, &TrayIcon::lookForTray);
}

void TrayIcon::setRecentLookups(qint32 limit, const QStringList& stored)
{
    m_recentState.rebuild(limit, stored);
    m_historyAction->setVisible(m_recentState.submenuVisible());
    for (int i = 0; i < 5; ++i) {
        const RecentLookupsMenu::Item& state = m_recentState.item(i);
        m_recent[i]->setText(state.caption);
        m_recent[i]->setData(state.tag);
        m_recent[i]->setVisible(state.visible);
    }
}

void TrayIcon::onActivated(QSystemTrayIcon::ActivationReason reason)
{
    // A double-click opens the settings; a single click does nothing, and the context menu
    // shows by itself.
    if (reason == QSystemTrayIcon::DoubleClick)
        emit settingsRequested(0);
}

void TrayIcon::show()
{
    m_wanted = true;
    m_watch.start();
    lookForTray();
    if (!m_inTray)
        std::fprintf(stderr, "%s\n",
                     qPrintable(tr("Brandle: no system tray was found; the icon will be added "
                                   "when one appears. Brandle keeps counting meanwhile.")));
}

void TrayIcon::lookForTray()
{
    if (!m_wanted)
        return;
    const bool available = m_probe();
    if (available == m_inTray)
        return;
    m_inTray = available;
    if (available) {
        // Shown again, so that the icon goes into a tray that appeared since it was first shown.
        m_icon.hide();
        m_icon.show();
    }
    emit inTrayChanged(available);
}

void TrayIcon::hide()
{
    m_wanted = false;
    m_watch.stop();
    m_icon.hide();
    m_inTray = false;
}

void TrayIcon::setTip(const QString& tip)
{
    m_tip = tip;
    QString shown = tip;
    m_icon.setToolTip(shown.replace("\r\n"_L1, "\n"_L1));
}

void TrayIcon::showMessage(const QString& title, const QString& text,
                           QSystemTrayIcon::MessageIcon icon)
{
    if (m_inTray && m_icon.isVisible())
        m_icon.showMessage(title, text, icon, 8000);
    else
        std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(text));
}

} // namespace brandle

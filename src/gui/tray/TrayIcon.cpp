// SPDX-License-Identifier: MIT
#include "tray/TrayIcon.h"

#include "platform/Store.h"
#include "platform/StoreKeys.h"
#include "platform/mConstants.h"
#include "settings/clsProps.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <cstdio>

namespace {

// How long to wait for a tray to appear: every 2 s for 2 minutes.
constexpr int RetryIntervalMs = 2000;
constexpr int RetryCount = 60;

// A blue rounded square with three rising bars: counts that grow.
QPixmap drawIcon(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    QPainterPath frame;
    frame.addRoundedRect(QRectF(0.5, 0.5, s - 1, s - 1), s * 0.2, s * 0.2);
    QLinearGradient fill(0, 0, 0, s);
    fill.setColorAt(0, QColor(0x3b, 0x82, 0xf6));
    fill.setColorAt(1, QColor(0x1d, 0x4e, 0xd8));
    p.fillPath(frame, fill);

    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    const qreal barWidth = s * 0.18;
    const qreal gap = s * 0.08;
    const qreal left = (s - 3 * barWidth - 2 * gap) / 2;
    const qreal bottom = s * 0.8;
    const qreal heights[] = {0.25, 0.42, 0.6};
    for (int i = 0; i < 3; ++i) {
        const qreal h = s * heights[i];
        p.drawRoundedRect(QRectF(left + i * (barWidth + gap), bottom - h, barWidth, h), s * 0.03,
                          s * 0.03);
    }
    return pixmap;
}

QAction* addItem(QMenu* menu, const QString& name, const QString& caption)
{
    QAction* action = menu->addAction(caption);
    action->setObjectName(name);
    return action;
}

} // namespace

QIcon brandleIcon()
{
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128})
        icon.addPixmap(drawIcon(size));
    return icon;
}

TrayIcon::TrayIcon(QObject* parent)
    : QObject(parent)
{
    m_icon.setIcon(brandleIcon());
    setTip(initialTrayTip());
    m_menu.setObjectName(QStringLiteral("mnuPopupSys"));

    connect(addItem(&m_menu, QStringLiteral("mnuPopViewCount"), tr("&Refresh Count")),
            &QAction::triggered, this, &TrayIcon::refreshRequested);
    m_menu.addSeparator()->setObjectName(QStringLiteral("mnuPopDash2"));
    connect(addItem(&m_menu, QStringLiteral("mnuPopLastCount"), tr("Recall &Count")),
            &QAction::triggered, this, &TrayIcon::recallRequested);
    connect(addItem(&m_menu, QStringLiteral("mnuPopClose"), tr("&Close Count")),
            &QAction::triggered, this, &TrayIcon::closeCountRequested);
    m_menu.addSeparator()->setObjectName(QStringLiteral("mnuPopDash3"));
    connect(addItem(&m_menu, QStringLiteral("mnuPopRestore"), tr("&URL Settings")),
            &QAction::triggered, this, [this] { emit settingsRequested(0); });
    connect(addItem(&m_menu, QStringLiteral("mnuPopGraph"), tr("&Quick Graph")),
            &QAction::triggered, this, [this] { emit settingsRequested(1); });

    m_history = new QMenu(tr("&Recent Lookups"), &m_menu);
    m_history->setObjectName(QStringLiteral("mnuPopHistory"));
    m_historyAction = m_menu.addMenu(m_history);
    m_historyAction->setObjectName(QStringLiteral("mnuPopHistoryAction"));
    m_historyAction->setVisible(false);
    for (int i = 0; i < 5; ++i) {
        QAction* item = addItem(m_history, QStringLiteral("mnuPopHist%1").arg(i + 1),
                                QStringLiteral("History %1").arg(i + 1));
        item->setVisible(i == 0);
        connect(item, &QAction::triggered, this, [this, item] {
            const QString tag = item->data().toString();
            if (!tag.isEmpty())
                emit recentRequested(tag);
        });
        m_recent[i] = item;
    }

    m_menu.addSeparator()->setObjectName(QStringLiteral("mnuPopDash4"));
    connect(addItem(&m_menu, QStringLiteral("mnuPopExit"), tr("E&xit")), &QAction::triggered, this,
            &TrayIcon::exitRequested);

    connect(&m_menu, &QMenu::aboutToShow, this, &TrayIcon::rebuildRecentLookups);
    m_icon.setContextMenu(&m_menu);
    connect(&m_icon, &QSystemTrayIcon::activated, this, &TrayIcon::onActivated);

    m_retry.setInterval(RetryIntervalMs);
    connect(&m_retry, &QTimer::timeout, this, &TrayIcon::tryToShow);
}

void TrayIcon::rebuildRecentLookups()
{
    m_recentState.rebuild(oProps.History(), [](int k) {
        return GetAppSetting(StoreKeys::SectionApp, StoreKeys::recentLookup(k));
    });
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
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        m_icon.show();
        return;
    }
    std::fprintf(stderr, "Brandle: no system tray was found; the icon will be added when one "
                         "appears. Brandle keeps counting meanwhile.\n");
    m_retries = 0;
    m_retry.start();
}

void TrayIcon::tryToShow()
{
    if (!m_wanted || ++m_retries > RetryCount) {
        m_retry.stop();
        return;
    }
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        m_retry.stop();
        m_icon.show();
    }
}

void TrayIcon::hide()
{
    m_wanted = false;
    m_retry.stop();
    m_icon.hide();
}

void TrayIcon::setTip(const QString& tip)
{
    m_tip = tip;
    QString shown = tip;
    m_icon.setToolTip(shown.replace(QLatin1String("\r\n"), QLatin1String("\n")));
}

void TrayIcon::showMessage(const QString& title, const QString& text)
{
    if (QSystemTrayIcon::isSystemTrayAvailable() && m_icon.isVisible())
        m_icon.showMessage(title, text, QSystemTrayIcon::Information, 8000);
    else
        std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(text));
}

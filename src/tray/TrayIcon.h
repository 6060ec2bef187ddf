// SPDX-License-Identifier: MIT
#pragma once

#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>

// The program's icon, drawn at the sizes a tray and a window ask for.
QIcon brandleIcon();

// The tray icon and its popup menu. Emits what the user asked for; the application decides.
class TrayIcon : public QObject {
    Q_OBJECT
public:
    explicit TrayIcon(QObject* parent = nullptr);

    void show();
    void hide();
    QMenu* menu() { return &m_menu; }
    QSystemTrayIcon* icon() { return &m_icon; }

signals:
    void exitRequested();

private:
    QSystemTrayIcon m_icon;
    QMenu m_menu;
};

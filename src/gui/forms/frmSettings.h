// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

class GraphsTab;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QToolButton;

// The program's main window, hidden while the program lives in the tray. The "Main URL" tab edits
// the settings of oProps and the store; "Chec&k" counts the primary site at once, "&Save" writes
// the settings, "&Close" and the close box only hide the window.
class frmSettings : public QWidget {
    Q_OBJECT
public:
    explicit frmSettings(QWidget* parent = nullptr);

    // Start-up: the controls take the values of oProps (an empty flag shows its default: logging,
    // hourly checks and topmost on, sound off). A check box that ends up in another state than
    // it was created in runs its change handling as for a click, so bChanged may be set; the
    // caller clears it.
    void fillFromProps();

    // True when the fields are acceptable; otherwise the message listing every missing or invalid
    // field has been shown.
    bool ValidateSettings();
    // Validates, then writes the settings to the store and copies them into oProps. True when
    // written.
    bool SaveSettings();
    // Validates the window's fields, closes the message window, saves edited settings and asks
    // for a lookup of url (lookupRequested). Nothing happens after a failed validation.
    void CheckURL(const QString& url);

    // Restores, shows and raises the window and selects the tab.
    void showOnTab(int index);

    bool bChanged() const { return m_bChanged; }
    void setChanged(bool changed) { m_bChanged = changed; }

    QString primaryUrl() const;
    QString historyText() const;
    // The live state of "Keep window on topmost position", saved or not.
    bool keepOnTop() const;
    GraphsTab* graphsTab() const { return m_graphs; }
    QTabWidget* tabs() const { return tabSettings; }

signals:
    // CheckURL passed its checks: site is the address to count (leading "http://" dropped, lower
    // case); url is the address exactly as given, for the tray tip once the lookup has ended.
    void lookupRequested(const QString& site, const QString& url);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void cmdView_Click();
    void cmdSave_Click();
    void cmdClose_Click();
    void cmdViewURL_Click();
    void chkLogging_Click(bool checked);
    void flag_Click();

private:
    QWidget* buildMainTab();

    bool m_bChanged = false;

    QTabWidget* tabSettings = nullptr;
    GraphsTab* m_graphs = nullptr;
    QLabel* lblSearchURL = nullptr;
    QLineEdit* txtSearchURL = nullptr;
    QToolButton* cmdViewURL = nullptr;
    QLabel* lblExample = nullptr;
    QCheckBox* chkLogging = nullptr;
    QCheckBox* chkHourCheck = nullptr;
    QCheckBox* chkPlaySound = nullptr;
    QCheckBox* chkWindowTop = nullptr;
    QLabel* lblHistory = nullptr;
    QLineEdit* txtURLHistory = nullptr;
    QPushButton* cmdURLReset = nullptr;
    QPushButton* cmdView = nullptr;
    QPushButton* cmdSave = nullptr;
    QPushButton* cmdClose = nullptr;
};

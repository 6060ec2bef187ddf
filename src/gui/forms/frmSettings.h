// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

#include <optional>

namespace brandle {
class GraphsTab;
class SourcesTab;
} // namespace brandle
class QCheckBox;
class QComboBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QToolButton;

// The program's main window, hidden while the program lives in the tray. The "Main URL" tab edits
// the settings of oProps and the store, "Graphs" charts the log, "Sources" shows the service
// host's sources and takes the keys of the services asked with the user's own account; "Chec&k"
// counts the primary site at once, "&Save" writes the settings, "&Close" and the close box only
// hide the window.
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
    // Validates, then writes the settings to the store in one save and copies them into oProps.
    // True when written; a save that fails is shown in an error box and changes nothing.
    bool SaveSettings();
    // The settings' part of a lookup of url: validates the window's fields (the message lists
    // what is wrong), saves edited settings and gives the site to count (leading "http://"
    // dropped, lower case). Nothing when the validation or the save fails.
    std::optional<QString> prepareLookup(const QString& url);

    // Restores, shows and raises the window and selects the tab.
    void showOnTab(int index);

    // While there is no tray (and so no tray menu), the window offers "E&xit" beside "&Close".
    void setExitOffered(bool offered);

    bool bChanged() const { return m_bChanged; }
    void setChanged(bool changed) { m_bChanged = changed; }

    QString primaryUrl() const;
    // The sites of "Also check automatically" as typed, one per line, empty lines left out.
    QStringList trackedUrls() const;
    QString historyText() const;
    // The live state of "Keep window on topmost position", saved or not.
    bool keepOnTop() const;
    brandle::GraphsTab* graphsTab() const { return m_graphs; }
    brandle::SourcesTab* sourcesTab() const { return m_sources; }
    QTabWidget* tabs() const { return tabSettings; }

signals:
    // "Chec&k": count the primary site, typed as url.
    void checkRequested(const QString& url);
    // "E&xit", offered while there is no tray.
    void exitRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private slots:
    void cmdView_Click();
    void cmdSave_Click();
    void cmdClose_Click();
    void cmdViewURL_Click();
    void chkLogging_Click(bool checked);
    void flag_Click();

private:
    QWidget* buildMainTab();
    void fitIntoScreen();

    bool m_bChanged = false;

    QTabWidget* tabSettings = nullptr;
    brandle::GraphsTab* m_graphs = nullptr;
    brandle::SourcesTab* m_sources = nullptr;
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
    QLabel* lblTrackURLs = nullptr;
    QPlainTextEdit* txtTrackURLs = nullptr;
    QLabel* lblAlertMin = nullptr;
    QSpinBox* txtAlertMin = nullptr;
    QComboBox* cboAlertUnit = nullptr;
    QPushButton* cmdView = nullptr;
    QPushButton* cmdSave = nullptr;
    QPushButton* cmdClose = nullptr;
    QPushButton* cmdExit = nullptr;
    // The labelled settings below the check boxes; a new one is one more row here.
    QFormLayout* m_settingsRows = nullptr;
};

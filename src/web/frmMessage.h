// SPDX-License-Identifier: MIT
#pragma once

#include "windows/SlideState.h"

#include <QStringList>
#include <QWidget>

#include <functional>

class QComboBox;
class QLabel;
class QPushButton;
class QTimer;
class QWebEngineProfile;
class QWebEnginePage;
class QWebEngineView;

// The small pop-up that shows a lookup's result page. It slides in at the right edge of the
// screen, holds while the user is active in it, slides back out and unloads itself. Its bottom
// panel holds the quick lookup box: an address typed there and sent with GO is remembered in the
// recent lookups and counted.
//
// There is one shared window: instance() loads it when it is not loaded, unload() discards it
// (the next instance() loads a fresh one). A caller loads it and calls ShowMessage() in one go.
class frmMessage : public QWidget {
    Q_OBJECT
public:
    static frmMessage* instance();
    static bool isLoaded();
    // Hides the window at once and deletes it; safe from inside the window's own handlers.
    static void unload();

    // The live state of the settings window's "Keep window on topmost position" box. Until it is
    // set the window stays on top.
    static void setKeepOnTopCheck(std::function<bool()> check);
    // Starts a lookup of a site; the quick lookup calls it after unloading the window. Until it
    // is set nothing starts.
    static void setLookupStarter(std::function<void(const QString& site)> starter);

    // Sizes the window from the parameters in oProps.XMLSchema(), copies "WinSleep" into
    // oProps.SleepTime, shows the page file at path beyond the screen's right edge and starts the
    // slide-in. Does nothing when XMLSchema is empty. Throws BrandleError when a parameter is
    // missing or not a number; the parameters read before it are kept.
    void ShowMessage(const QString& path);
    // Navigates the browser to the local file.
    void LoadHTML(const QString& sLocFile);

    const SlideState& slideState() const { return m_slide; }

    ~frmMessage() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private slots:
    void tmrMove_Timer();
    void cmdGetCount_Click();
    void imgClose_Click();
    void noteActivity();

private:
    frmMessage();
    void Form_Load();
    void ApplyWindowParameters(const QString& schema);
    void setTopmost(bool on);
    void placeLeft();
    int selectedEntry() const;
    int pixelsX(double twips) const;
    int pixelsY(double twips) const;

    SlideState m_slide;
    QStringList m_recent;
    int m_chosen = -1;       // entry picked from the list, until the text is edited
    int m_modalDepth = 0;    // message boxes open over the window
    bool m_unloaded = false; // unloaded while a message box was open

    QWebEngineProfile* m_profile = nullptr;
    QWebEnginePage* m_page = nullptr;
    QWebEngineView* webMessage = nullptr;
    QWidget* picBottom = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* cboURLs = nullptr;
    QPushButton* cmdGetCount = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* imgClose = nullptr;
    QTimer* tmrMove = nullptr;
};

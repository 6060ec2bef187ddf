// SPDX-License-Identifier: MIT
#pragma once

#include "windows/SlideState.h"

#include <QPoint>
#include <QStringList>
#include <QUrl>
#include <QWebEnginePage>
#include <QWidget>

#include <optional>

class QAbstractButton;
class QComboBox;
class QLabel;
class QPushButton;
class QTimer;
class QWebEngineProfile;
class QWebEngineNewWindowRequest;
class QWebEngineView;

namespace brandle {
class WebWindowsHost;
struct WindowParams;
} // namespace brandle

// The small pop-up that shows a lookup's result page. It slides in at the right edge of the
// screen, holds while the user is active in it, slides back out and asks to be unloaded. Its
// bottom panel holds the quick lookup box: an address typed there and sent with GO is
// remembered in the recent lookups and counted through the host.
//
// The window is shown once: its owner loads a fresh one for every showing and discards it when
// it asks to go (unloadRequested).
class frmMessage : public QWidget {
    Q_OBJECT
public:
    explicit frmMessage(brandle::WebWindowsHost& host);
    ~frmMessage() override;

    // Readies the browser before a page is known (an empty page), so that the first page shows
    // sooner. The window stays hidden.
    void preload();
    // Sizes the window from the parameters, shows the page file at path beyond the screen's right
    // edge and starts the slide-in. The first showing loads the window: it fills the quick lookup
    // box and starts the slide timer.
    void ShowMessage(const QString& path, const brandle::WindowParams& params);
    // Navigates the browser to the local file ("" for an empty page).
    void LoadHTML(const QString& sLocFile);
    // Hides the window at once and deletes it; a message box open over the window finishes
    // first. Safe from inside the window's own handlers.
    void discard();

    const brandle::SlideState& slideState() const { return m_slide; }

    // How long after a click or a key press in the page the page may open one link in the
    // browser.
    static constexpr int UserGestureMs = 2000;

signals:
    // The window is done: its slide-out ended, its close picture was clicked, or GO was pressed.
    void unloadRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private slots:
    void tmrMove_Timer();
    void cmdGetCount_Click();
    void imgClose_Click();
    void noteActivity();
    void onNewWindowRequested(QWebEngineNewWindowRequest& request);

private:
    void Form_Load();
    void ApplyWindowParameters(const brandle::WindowParams& params);
    void setTopmost(bool on);
    bool isTopmost() const;
    void placeLeft();
    void openClickedLink(const QUrl& url);
    bool navigationAllowed(const QUrl& url, QWebEnginePage::NavigationType type, bool isMainFrame);
    int selectedEntry() const;
    void showExample(bool busy);
    void applyPanelColours();
    int pixelsX(double twips) const;
    int pixelsY(double twips) const;

    brandle::WebWindowsHost& m_host;
    brandle::SlideState m_slide;
    QStringList m_recent;
    int m_chosen = -1;       // entry picked from the list, until the text is edited
    bool m_loaded = false;   // shown at least once (Form_Load has run)
    QUrl m_pageUrl;          // what the browser was asked to show
    int m_modalDepth = 0;    // message boxes open over the window
    bool m_unloaded = false; // discarded while a message box was open
    qint64 m_gestureAt = -1; // when the user last clicked or pressed a key in the page
    quint64 m_gestures = 0;  // how many times
    // Where that click was in the page; none for a key.
    std::optional<QPoint> m_gesturePoint;

    QWebEngineProfile* m_profile = nullptr;
    QWebEnginePage* m_page = nullptr;
    QWebEngineView* webMessage = nullptr;
    QWidget* picBottom = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* cboURLs = nullptr;
    QPushButton* cmdGetCount = nullptr;
    QLabel* Label2 = nullptr;
    QAbstractButton* imgClose = nullptr;
    QTimer* tmrMove = nullptr;
};

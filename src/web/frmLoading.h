// SPDX-License-Identifier: MIT
#pragma once

#include <QPointF>
#include <QWidget>

class QWebEngineView;

// The strip in the lower right corner of the screen that shows the service host's loading page
// while a lookup runs. Loaded for one lookup and discarded after it.
class frmLoading : public QWidget {
    Q_OBJECT
public:
    frmLoading();

    // Always topmost; the loading page; flush with the right edge, its lower edge 400 twips
    // above the bottom of the screen.
    void ShowLoading();
    void LoadMSG();

    QWebEngineView* webLoading() const { return m_webLoading; }

    // Where ShowLoading puts the window on a screen of the given size, all in twips.
    static QPointF placement(double screenWidth, double screenHeight);

private:
    QWebEngineView* m_webLoading = nullptr;
};

// SPDX-License-Identifier: MIT
#include "frmLoading.h"

#include "desktop/Screen.h"
#include "platform/Paths.h"
#include "platform/mConstants.h"

#include <QWebEngineView>

using namespace Qt::StringLiterals;
using namespace brandle;

namespace {

// Design size of the window and of its browser, in twips.
constexpr int WinWidth = 2970;
constexpr int WinHeight = 555;
constexpr int WebLeft = -30;
constexpr int WebTop = -30;
constexpr int WebWidth = 3270;
constexpr int WebHeight = 870;
} // namespace

frmLoading::frmLoading()
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(u"frmLoading"_s);
    setAttribute(Qt::WA_ShowWithoutActivating);
    const ScreenTwips screen = ScreenTwips::primary();
    resize(screen.toPixelsX(WinWidth), screen.toPixelsY(WinHeight));
    m_webLoading = new QWebEngineView(this);
    m_webLoading->setObjectName(u"webLoading"_s);
    m_webLoading->setContextMenuPolicy(Qt::NoContextMenu);
    m_webLoading->setGeometry(screen.toPixelsX(WebLeft), screen.toPixelsY(WebTop),
                              screen.toPixelsX(WebWidth), screen.toPixelsY(WebHeight));
}

void frmLoading::ShowLoading()
{
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    LoadMSG();
    const ScreenTwips screen = ScreenTwips::primary();
    const QPointF place = placement(screen.width, screen.height);
    move(screen.origin + QPoint(screen.toPixelsX(place.x()), screen.toPixelsY(place.y())));
    show();
}

QPointF frmLoading::placement(double screenWidth, double screenHeight)
{
    return {screenWidth - WinWidth, screenHeight - WinHeight - 400};
}

void frmLoading::LoadMSG()
{
    m_webLoading->load(QUrl(Paths::serviceUrl(mConstants::LoadingPath)));
}

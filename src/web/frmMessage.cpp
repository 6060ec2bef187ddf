// SPDX-License-Identifier: MIT
#include "frmMessage.h"

#include "app/WebWindows.h"
#include "desktop/MessageBox.h"
#include "desktop/Screen.h"
#include "engine/WindowParams.h"
#include "platform/Address.h"
#include "platform/mConstants.h"
#include "windows/RecentList.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include <utility>

using namespace Qt::StringLiterals;
using namespace brandle;

namespace {

// Design layout in twips.
constexpr int DesignWidth = 3375;
constexpr int DesignHeight = 4380;
constexpr int BrowserOffset = -15;
constexpr int RestAboveBottom = 1500;

// A 40 x 12 pixel close button: the word and a boxed cross.
QPixmap closePicture(qreal ratio)
{
    QPixmap picture(QSize(40, 12) * ratio);
    picture.setDevicePixelRatio(ratio);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor ink(0x4a, 0x55, 0x63);
    QFont font;
    font.setPixelSize(9);
    painter.setFont(font);
    painter.setPen(ink);
    painter.drawText(QRectF(0, 0, 28, 12), Qt::AlignRight | Qt::AlignVCenter, u"Close"_s);
    painter.setPen(QPen(ink, 1.0));
    painter.drawRoundedRect(QRectF(29.5, 1.5, 10, 9), 1.5, 1.5);
    painter.setPen(QPen(ink, 1.3, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(32.2, 3.7), QPointF(36.8, 8.3));
    painter.drawLine(QPointF(36.8, 3.7), QPointF(32.2, 8.3));
    return picture;
}

// Takes the address of a link that asks for a new window, opens it in the default browser and
// goes away. Only web addresses are handed on.
class NewWindowPage : public QWebEnginePage {
public:
    NewWindowPage(QWebEngineProfile* profile, QObject* parent)
        : QWebEnginePage(profile, parent)
    {
    }

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool) override
    {
        if (url.scheme() == u"http"_s || url.scheme() == u"https"_s) {
            QDesktopServices::openUrl(url);
            deleteLater();
        }
        return false;
    }
};

// The result page. Every navigation and every request for a new window counts as activity;
// none is refused.
class MessagePage : public QWebEnginePage {
public:
    MessagePage(QWebEngineProfile* profile, QObject* parent, std::function<void()> onActivity)
        : QWebEnginePage(profile, parent)
        , m_onActivity(std::move(onActivity))
    {
    }

protected:
    bool acceptNavigationRequest(const QUrl&, NavigationType, bool) override
    {
        m_onActivity();
        return true;
    }
    QWebEnginePage* createWindow(WebWindowType) override
    {
        m_onActivity();
        return new NewWindowPage(profile(), this);
    }

private:
    std::function<void()> m_onActivity;
};

} // namespace

void frmMessage::discard()
{
    tmrMove->stop();
    hide();
    m_unloaded = true;
    // A message box over the window runs its own event loop; the window goes once it closes.
    if (m_modalDepth == 0)
        deleteLater();
}

frmMessage::frmMessage(WebWindowsHost& host)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint)
    , m_host(host)
{
    setObjectName(u"frmMessage"_s);
    setWindowTitle(QString(mConstants::AppTitle));
    setAttribute(Qt::WA_ShowWithoutActivating);

    // Off the record: the page leaves no cache or cookies in the user's folders.
    m_profile = new QWebEngineProfile(this);
    m_page = new MessagePage(m_profile, this, [this] { noteActivity(); });
    // The page is a local file; it may not read other local files.
    m_page->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    m_page->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);

    webMessage = new QWebEngineView(this);
    webMessage->setObjectName(u"webMessage"_s);
    webMessage->setPage(m_page);
    connect(m_page, &QWebEnginePage::loadFinished, this, &frmMessage::noteActivity);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now && webMessage && (now == webMessage || webMessage->isAncestorOf(now)))
            noteActivity();
    });

    picBottom = new QWidget(this);
    picBottom->setObjectName(u"picBottom"_s);
    picBottom->setAutoFillBackground(true);
    QPalette white = picBottom->palette();
    white.setColor(QPalette::Window, Qt::white);
    picBottom->setPalette(white);
    QFont panelFont = picBottom->font();
    panelFont.setPixelSize(11);
    picBottom->setFont(panelFont);

    Label1 = new QLabel(tr("Type URL and click GO"), picBottom);
    Label1->setObjectName(u"Label1"_s);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    cboURLs = new QComboBox(picBottom);
    cboURLs->setObjectName(u"cboURLs"_s);
    cboURLs->setEditable(true);
    cboURLs->setInsertPolicy(QComboBox::NoInsert);
    // The text is taken exactly as typed: no completion, and Enter never picks a list entry.
    cboURLs->setCompleter(nullptr);
    cboURLs->setDuplicatesEnabled(true);
    cmdGetCount = new QPushButton(tr("GO"), picBottom);
    cmdGetCount->setObjectName(u"cmdGetCount"_s);
    cmdGetCount->setStyleSheet(u"QPushButton { padding: 0px; }"_s);
    Label2 = new QLabel(tr("e.g. www.example.com"), picBottom);
    Label2->setObjectName(u"Label2"_s);
    Label2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    imgClose = new QLabel(picBottom);
    imgClose->setObjectName(u"imgClose"_s);
    imgClose->setPixmap(closePicture(devicePixelRatioF()));
    imgClose->setCursor(Qt::PointingHandCursor);
    imgClose->setToolTip(tr("Close"));

    tmrMove = new QTimer(this);
    tmrMove->setObjectName(u"tmrMove"_s);
    tmrMove->setTimerType(Qt::PreciseTimer);

    // Design layout; ShowMessage sizes the window and its parts from the window parameters.
    setGeometry(pixelsX(20040), pixelsY(20040), pixelsX(DesignWidth), pixelsY(DesignHeight));
    webMessage->setGeometry(pixelsX(BrowserOffset), pixelsY(BrowserOffset), pixelsX(3375),
                            pixelsY(1215));
    picBottom->setGeometry(pixelsX(-10), pixelsY(3480), pixelsX(3375), pixelsY(850));
    Label1->setGeometry(pixelsX(240), pixelsY(60), pixelsX(2175), pixelsY(255));
    cboURLs->setGeometry(pixelsX(240), pixelsY(240), pixelsX(2535), pixelsY(315));
    cmdGetCount->setGeometry(pixelsX(2820), pixelsY(240), pixelsX(375), pixelsY(290));
    Label2->setGeometry(pixelsX(240), pixelsY(585), pixelsX(2415), pixelsY(255));
    imgClose->setGeometry(pixelsX(2720), pixelsY(620), 40, 12);

    Form_Load();

    connect(tmrMove, &QTimer::timeout, this, &frmMessage::tmrMove_Timer);
    connect(cmdGetCount, &QPushButton::clicked, this, &frmMessage::cmdGetCount_Click);
    connect(cboURLs, &QComboBox::editTextChanged, this, &frmMessage::noteActivity);
    connect(cboURLs, &QComboBox::activated, this, [this](int index) {
        m_chosen = index;
        noteActivity();
    });
    connect(cboURLs->lineEdit(), &QLineEdit::textEdited, this, [this] { m_chosen = -1; });
    cboURLs->installEventFilter(this);
    cboURLs->lineEdit()->installEventFilter(this);
    imgClose->installEventFilter(this);

    tmrMove->start(SlideState::DesignInterval);
}

frmMessage::~frmMessage()
{
    // The focus moves while the browser goes; nothing here may look at it then.
    disconnect(qApp, nullptr, this, nullptr);
    delete std::exchange(webMessage, nullptr);
    // The page must go before its profile.
    delete m_page;
    delete m_profile;
}

void frmMessage::Form_Load()
{
    // SlideState starts with bJustLoaded set.
    m_recent = RecentList::load(RecentList::limit(m_host.historyLimit()));
    cboURLs->clear();
    cboURLs->addItems(m_recent);
    cboURLs->setCurrentIndex(-1);
    cboURLs->clearEditText();
}

int frmMessage::pixelsX(double twips) const
{
    return ScreenTwips::primary().toPixelsX(twips);
}

int frmMessage::pixelsY(double twips) const
{
    return ScreenTwips::primary().toPixelsY(twips);
}

void frmMessage::setTopmost(bool on)
{
    if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) != on)
        setWindowFlag(Qt::WindowStaysOnTopHint, on);
}

void frmMessage::ShowMessage(const QString& path, const WindowParams& params)
{
    setTopmost(true);
    ApplyWindowParameters(params);
    LoadHTML(path);

    const ScreenTwips screen = ScreenTwips::primary();
    m_slide.show(screen.width);
    if (!m_host.keepOnTop())
        setTopmost(false);
    const double top = screen.height - m_slide.lWinHeight - RestAboveBottom;
    move(screen.origin.x() + screen.toPixelsX(m_slide.left()),
         screen.origin.y() + screen.toPixelsY(top));
    show();
}

void frmMessage::LoadHTML(const QString& sLocFile)
{
    webMessage->load(QUrl::fromLocalFile(sLocFile));
}

void frmMessage::ApplyWindowParameters(const WindowParams& params)
{
    m_slide.lWinWidth = params.WinWidth;
    m_slide.lWinHeight = params.WinHeight;
    m_slide.lWinDuration = params.WinDuration;
    m_slide.lWinSpeed = params.WinSpeed;
    m_slide.lWinSlide = params.WinSlide;
    m_slide.lWebWidth = params.WebWidth;
    m_slide.lWebHeight = params.WebHeight;
    m_slide.lPicHeight = params.PicHeight;

    resize(pixelsX(m_slide.lWinWidth), pixelsY(m_slide.lWinHeight));
    webMessage->setGeometry(pixelsX(BrowserOffset), pixelsY(BrowserOffset),
                            pixelsX(m_slide.lWebWidth), pixelsY(m_slide.lWebHeight));
    picBottom->setGeometry(0, pixelsY(double(m_slide.lWinHeight) - m_slide.lPicHeight), width(),
                           pixelsY(m_slide.lPicHeight));
}

void frmMessage::placeLeft()
{
    move(ScreenTwips::primary().origin.x() + pixelsX(m_slide.left()), y());
}

void frmMessage::tmrMove_Timer()
{
    m_slide.tick();
    if (m_slide.unloadRequested()) {
        emit unloadRequested();
        return;
    }
    if (m_slide.timerRunning())
        tmrMove->start(m_slide.interval());
    else
        tmrMove->stop();
    if (m_slide.lSlideState != 0)
        placeLeft();
}

void frmMessage::noteActivity()
{
    m_slide.noteActivity();
}

int frmMessage::selectedEntry() const
{
    if (m_chosen >= 0 && m_chosen < m_recent.size() && m_chosen < cboURLs->count() &&
        cboURLs->currentText() == cboURLs->itemText(m_chosen))
        return m_chosen;
    return -1;
}

void frmMessage::cmdGetCount_Click()
{
    const QString address = cboURLs->currentText();
    if (RecentList::isBlank(address)) {
        ++m_modalDepth;
        MessageBox::show(this, {QString(mConstants::AppTitle),
                                tr("You must provide a URL to perform a link count on."),
                                QMessageBox::Warning, QMessageBox::Ok});
        --m_modalDepth;
        if (m_unloaded && m_modalDepth == 0)
            deleteLater();
        return;
    }
    const QStringList list = RecentList::afterLookup(m_recent, selectedEntry(), address,
                                                     RecentList::limit(m_host.historyLimit()));
    RecentList::save(list);
    emit unloadRequested();
    m_host.startLookup(siteForLookup(address));
}

void frmMessage::imgClose_Click()
{
    emit unloadRequested();
}

bool frmMessage::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == imgClose && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton &&
            imgClose->rect().contains(mouse->position().toPoint())) {
            imgClose_Click();
            return true;
        }
    } else if ((watched == cboURLs || watched == cboURLs->lineEdit()) &&
               event->type() == QEvent::MouseButtonPress) {
        noteActivity();
    }
    return QWidget::eventFilter(watched, event);
}

void frmMessage::closeEvent(QCloseEvent* event)
{
    // Closed by the window system: the same as the close picture.
    event->ignore();
    imgClose_Click();
}

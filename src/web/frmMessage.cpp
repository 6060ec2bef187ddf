// SPDX-License-Identifier: MIT
#include "frmMessage.h"

#include "app/WebWindows.h"
#include "desktop/MessageBox.h"
#include "desktop/Screen.h"
#include "desktop/ShellOpen.h"
#include "desktop/WindowStack.h"
#include "engine/WindowParams.h"
#include "platform/Address.h"
#include "platform/Clock.h"
#include "platform/mConstants.h"
#include "windows/RecentList.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QWebEngineNewWindowRequest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
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

// A 40 x 12 pixel close picture: the word and a boxed cross, drawn in ink.
QPixmap closePicture(qreal ratio, const QColor& ink)
{
    QPixmap picture(QSize(40, 12) * ratio);
    picture.setDevicePixelRatio(ratio);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    QFont font;
    font.setPixelSize(9);
    painter.setFont(font);
    painter.setPen(ink);
    painter.drawText(QRectF(0, 0, 28, 12), Qt::AlignRight | Qt::AlignVCenter,
                     frmMessage::tr("Close", "the word on the close picture, 28 pixels wide"));
    painter.setPen(QPen(ink, 1.0));
    painter.drawRoundedRect(QRectF(29.5, 1.5, 10, 9), 1.5, 1.5);
    painter.setPen(QPen(ink, 1.3, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(32.2, 3.7), QPointF(36.8, 8.3));
    painter.drawLine(QPointF(36.8, 3.7), QPointF(32.2, 8.3));
    return picture;
}

// The close picture as a flat button: it takes the keyboard focus (Tab), answers Space and
// Enter, and shows the focus with a dotted frame. Its ink is the panel's text colour, softened.
class CloseButton final : public QAbstractButton {
public:
    explicit CloseButton(QWidget* parent)
        : QAbstractButton(parent)
    {
        setFocusPolicy(Qt::StrongFocus);
        setCursor(Qt::PointingHandCursor);
        setForegroundRole(QPalette::WindowText);
    }
    QSize sizeHint() const override { return {40, 12}; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const QColor text = palette().color(foregroundRole());
        const QColor back = palette().color(QPalette::Window);
        QColor ink = QColor::fromRgbF(0.7f * text.redF() + 0.3f * back.redF(),
                                      0.7f * text.greenF() + 0.3f * back.greenF(),
                                      0.7f * text.blueF() + 0.3f * back.blueF());
        if (isDown())
            ink = text;
        painter.drawPixmap(0, 0, closePicture(devicePixelRatioF(), ink));
        if (hasFocus()) {
            painter.setPen(QPen(text, 1, Qt::DotLine));
            painter.drawRect(rect().adjusted(0, 0, -1, -1));
        }
    }
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
            click();
        else
            QAbstractButton::keyPressEvent(event);
    }
};

// The result page. Every navigation and every request for a new window counts as activity; the
// window decides which navigation may go on (navigationAllowed). The page itself never gets a
// second window: a request for one is handed to the window (newWindowRequested), which opens the
// address in the browser only after a user's click.
class MessagePage : public QWebEnginePage {
public:
    using Decider = std::function<bool(const QUrl&, NavigationType, bool)>;
    MessagePage(QWebEngineProfile* profile, QObject* parent, Decider decide,
                std::function<void()> onActivity)
        : QWebEnginePage(profile, parent)
        , m_decide(std::move(decide))
        , m_onActivity(std::move(onActivity))
    {
    }

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override
    {
        m_onActivity();
        return m_decide(url, type, isMainFrame);
    }
    QWebEnginePage* createWindow(WebWindowType) override
    {
        m_onActivity();
        return nullptr;
    }

private:
    Decider m_decide;
    std::function<void()> m_onActivity;
};

bool isWebAddress(const QUrl& url)
{
    return url.scheme() == "http"_L1 || url.scheme() == "https"_L1;
}

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

// The window manager does not place the window (it would hold it at the screen's edge while it
// is meant to be beyond it): the window goes exactly where the slide puts it.
frmMessage::frmMessage(WebWindowsHost& host)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint)
    , m_host(host)
{
    setObjectName(u"frmMessage"_s);
    setWindowTitle(QString(mConstants::AppTitle));
    setAttribute(Qt::WA_ShowWithoutActivating);

    // Off the record: the page leaves no cache or cookies in the user's folders.
    m_profile = new QWebEngineProfile(this);
    m_page = new MessagePage(
        m_profile, this,
        [this](const QUrl& url, QWebEnginePage::NavigationType type, bool isMainFrame) {
            return navigationAllowed(url, type, isMainFrame);
        },
        [this] { noteActivity(); });
    // The page is a local file; it may not read other local files.
    m_page->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    m_page->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    // Scripts may not open windows by themselves; a link the user clicked may (see below).
    m_page->settings()->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    // Addresses of other schemes are never handed to the desktop's programs for them.
    m_page->settings()->setUnknownUrlSchemePolicy(QWebEngineSettings::DisallowUnknownUrlSchemes);
    connect(m_page, &QWebEnginePage::newWindowRequested, this, &frmMessage::onNewWindowRequested);

    webMessage = new QWebEngineView(this);
    webMessage->setObjectName(u"webMessage"_s);
    webMessage->setPage(m_page);
    webMessage->setAccessibleName(tr("Link count result"));
    connect(m_page, &QWebEnginePage::loadFinished, this, &frmMessage::noteActivity);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now && webMessage && (now == webMessage || webMessage->isAncestorOf(now)))
            noteActivity();
    });

    // The panel takes the theme's window colours, against which its text box stands out.
    picBottom = new QWidget(this);
    picBottom->setObjectName(u"picBottom"_s);
    picBottom->setAutoFillBackground(true);
    applyPanelColours();
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
    cmdGetCount->setAutoDefault(false);
    Label1->setBuddy(cboURLs);
    Label2 = new QLabel(picBottom);
    Label2->setObjectName(u"Label2"_s);
    Label2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    showExample(false);
    imgClose = new CloseButton(picBottom);
    imgClose->setObjectName(u"imgClose"_s);
    imgClose->setToolTip(tr("Close"));
    imgClose->setAccessibleName(tr("Close"));
    for (QLabel* label : {Label1, Label2})
        label->setForegroundRole(QPalette::WindowText);

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
    // The labels may use the room beside them, as other languages' texts run longer.
    Label1->resize(pixelsX(DesignWidth - 240 - 120), Label1->height());
    Label2->resize(imgClose->x() - Label2->x() - 2, Label2->height());

    setTabOrder(webMessage, cboURLs);
    setTabOrder(cboURLs, cmdGetCount);
    setTabOrder(cmdGetCount, imgClose);

    connect(tmrMove, &QTimer::timeout, this, &frmMessage::tmrMove_Timer);
    connect(cmdGetCount, &QPushButton::clicked, this, &frmMessage::cmdGetCount_Click);
    connect(imgClose, &QAbstractButton::clicked, this, &frmMessage::imgClose_Click);
    connect(cboURLs, &QComboBox::editTextChanged, this, &frmMessage::noteActivity);
    connect(cboURLs, &QComboBox::activated, this, [this](int index) {
        m_chosen = index;
        noteActivity();
    });
    connect(cboURLs->lineEdit(), &QLineEdit::textEdited, this, [this] {
        m_chosen = -1;
        showExample(false);
    });
    cboURLs->installEventFilter(this);
    cboURLs->lineEdit()->installEventFilter(this);
    // Clicks and keys anywhere in the window: a click activates it and brings it forward (the
    // window manager does not), and one in the page lets that page open a link.
    qApp->installEventFilter(this);
}

frmMessage::~frmMessage()
{
    // The focus moves while the browser goes; nothing here may look at it then.
    qApp->removeEventFilter(this);
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

void frmMessage::preload()
{
    LoadHTML(QString());
}

void frmMessage::ShowMessage(const QString& path, const WindowParams& params)
{
    // Loaded with its first showing, also when it was made earlier (preload): the recent list is
    // read then, and the slide timer starts.
    if (!m_loaded) {
        m_loaded = true;
        Form_Load();
        tmrMove->start(SlideState::DesignInterval);
    }
    showExample(false);
    setTopmost(true);
    ApplyWindowParameters(params);
    LoadHTML(path);

    const ScreenTwips screen = ScreenTwips::primary();
    m_slide.show(screen.width);
    if (!m_host.keepOnTop())
        setTopmost(false);
    // On a screen too low for the window and the gap below it (scale factor 2 on 768 pixels),
    // its top stays on the screen.
    const double top = qMax(0.0, screen.height - m_slide.lWinHeight - RestAboveBottom);
    move(screen.origin.x() + screen.toPixelsX(m_slide.left()),
         screen.origin.y() + screen.toPixelsY(top));
    show();
    // Not placed by the window manager, the window is stacked here: above every other window
    // when it keeps on top, else among the ordinary windows, which cover it once raised.
    if (isTopmost())
        raise();
    else
        WindowStack::placeAmongOrdinaryWindows(this);
}

void frmMessage::LoadHTML(const QString& sLocFile)
{
    m_pageUrl = sLocFile.isEmpty() ? QUrl(u"about:blank"_s) : QUrl::fromLocalFile(sLocFile);
    webMessage->load(m_pageUrl);
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

bool frmMessage::isTopmost() const
{
    return windowFlags().testFlag(Qt::WindowStaysOnTopHint);
}

void frmMessage::placeLeft()
{
    move(ScreenTwips::primary().origin.x() + pixelsX(m_slide.left()), y());
    // Not placed by the window manager, the window is not kept above others by it either; a box
    // of its own stays above it.
    if (isTopmost() && m_modalDepth == 0)
        raise();
}

void frmMessage::tmrMove_Timer()
{
    // The window stays while a box of its own is open.
    if (m_modalDepth > 0)
        m_slide.noteActivity();
    m_slide.tick();
    if (m_slide.unloadRequested()) {
        // Its last step takes it wholly beyond the edge; then it goes.
        placeLeft();
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
        // The box keeps on top; the window goes among the ordinary windows beneath it until OK.
        ++m_modalDepth;
        WindowStack::placeAmongOrdinaryWindows(this);
        MessageBox::show(this, {QString(mConstants::AppTitle),
                                tr("You must provide a URL to perform a link count on."),
                                QMessageBox::Warning, QMessageBox::Ok});
        --m_modalDepth;
        if (m_unloaded && m_modalDepth == 0)
            deleteLater();
        else if (isTopmost() && m_modalDepth == 0)
            raise();
        return;
    }
    // While a count runs the request is not taken: the window, the typed text and the recent
    // list stay as they are, and the window says why.
    const QString site = siteForLookup(address);
    if (!m_host.startLookup(site)) {
        showExample(true);
        noteActivity();
        return;
    }
    const QStringList list = RecentList::afterLookup(m_recent, selectedEntry(), address,
                                                     RecentList::limit(m_host.historyLimit()));
    RecentList::save(list);
    emit unloadRequested();
}

void frmMessage::imgClose_Click()
{
    emit unloadRequested();
}

void frmMessage::showExample(bool busy)
{
    Label2->setText(busy ? tr("A count is running.") : tr("e.g. www.example.com"));
    Label2->setToolTip(busy ? tr("A link count is already running. Try again when it has ended.")
                            : QString());
}

void frmMessage::applyPanelColours()
{
    picBottom->setBackgroundRole(QPalette::Window);
    picBottom->setForegroundRole(QPalette::WindowText);
}

void frmMessage::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange && picBottom)
        applyPanelColours();
    QWidget::changeEvent(event);
}

void frmMessage::onNewWindowRequested(QWebEngineNewWindowRequest& request)
{
    // The engine must call the request the user's as well.
    if (request.isUserInitiated())
        openClickedLink(request.requestedUrl());
}

void frmMessage::openClickedLink(const QUrl& url)
{
    // Only a link the user clicked opens the browser, once per click, and only an http or https
    // address: a click or key press in the page must have come just before. A request that
    // scripts make by themselves, or a second one from the same click, is refused.
    const qint64 now = Clock::instance().now().toMSecsSinceEpoch();
    const bool fromClick = m_gestureAt >= 0 && now - m_gestureAt <= UserGestureMs;
    if (!fromClick || !isWebAddress(url))
        return;
    // The engine counts a script's request as the user's for a while after a click, so a script
    // that runs between the click and the link's own request could take the click. When the
    // click (or the key) was on a link, only that link's address is opened. The page is asked in
    // a world of its own, where its scripts cannot replace what the question uses.
    const QString target = !m_gesturePoint ? u"document.activeElement"_s
                                           : u"document.elementFromPoint(%1, %2)"_s
                                                 .arg(m_gesturePoint->x() / m_page->zoomFactor())
                                                 .arg(m_gesturePoint->y() / m_page->zoomFactor());
    const QString linkAtGesture =
        u"(function() { var e = %1; var a = e && e.closest ? e.closest('a[href]') : null;"
        " return a ? a.href : ''; })()"_s.arg(target);
    const auto openIfTheLink = [self = QPointer<frmMessage>(this), url,
                                gesture = m_gestures](const QVariant& link) {
        // Not when the click has opened a link meanwhile, or another has come.
        if (!self || self->m_gestureAt < 0 || self->m_gestures != gesture ||
            link.typeId() != QMetaType::QString ||
            (!link.toString().isEmpty() && QUrl(link.toString()) != url))
            return;
        self->m_gestureAt = -1;
        Browser::open(url);
    };
    m_page->runJavaScript(linkAtGesture, QWebEngineScript::ApplicationWorld, openIfTheLink);
}

bool frmMessage::navigationAllowed(const QUrl& url, QWebEnginePage::NavigationType type,
                                   bool isMainFrame)
{
    // The page stays what the window loaded: its own file (again, or at another anchor). A link
    // clicked in it goes to the browser; every other address, whatever its scheme, goes nowhere.
    if (isMainFrame && url.adjusted(QUrl::RemoveFragment) == m_pageUrl)
        return true;
    if (isMainFrame && type == QWebEnginePage::NavigationTypeLinkClicked)
        openClickedLink(url);
    return false;
}

bool frmMessage::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    // Enter in the box is GO. The key comes to the box or to its text field, which both would
    // otherwise take it as their own.
    if ((watched == cboURLs || watched == cboURLs->lineEdit()) && type == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            cmdGetCount_Click();
            return true;
        }
    }
    if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease ||
        type == QEvent::KeyPress) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && (widget == this || isAncestorOf(widget))) {
            if (type == QEvent::MouseButtonPress && !isActiveWindow()) {
                activateWindow();
                // Clicked, it comes to the top of the ordinary windows, as they do.
                if (!isTopmost() && m_modalDepth == 0)
                    WindowStack::placeAmongOrdinaryWindows(this);
            }
            if (webMessage && (widget == webMessage || webMessage->isAncestorOf(widget))) {
                m_gestureAt = Clock::instance().now().toMSecsSinceEpoch();
                ++m_gestures;
                m_gesturePoint.reset();
                if (type != QEvent::KeyPress)
                    m_gesturePoint = widget->mapTo(
                        webMessage, static_cast<QMouseEvent*>(event)->position().toPoint());
            }
            if (type == QEvent::MouseButtonPress &&
                (widget == cboURLs || cboURLs->isAncestorOf(widget)))
                noteActivity();
        }
    }
    return QWidget::eventFilter(watched, event);
}

void frmMessage::closeEvent(QCloseEvent* event)
{
    // Closed by the window system: the same as the close picture.
    event->ignore();
    imgClose_Click();
}

// SPDX-License-Identifier: MIT
#include "forms/frmSettings.h"

#include "forms/SourcesTab.h"

#include "desktop/Icon.h"
#include "desktop/MessageBox.h"
#include "desktop/ShellOpen.h"
#include "graphs/GraphsTab.h"
#include "platform/Address.h"
#include "platform/Errors.h"
#include "platform/LocaleText.h"
#include "platform/Store.h"
#include "platform/Twips.h"
#include "platform/mConstants.h"
#include "settings/Config.h"
#include "settings/clsProps.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;
using namespace brandle;

namespace {

// The window's design width in twips.
constexpr double DesignWidthTwips = 6150;

QString flagText(const QCheckBox* box)
{
    return Config::flagText(box->isChecked());
}

// Keys that produce a character in the box. Delete edits without producing one, and Tab only
// moves the focus.
bool isCharacterKey(const QKeyEvent* key)
{
    switch (key->key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return true;
    case Qt::Key_Delete:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return false;
    default:
        return !key->text().isEmpty();
    }
}

template <typename T> T* named(T* widget, const char* name)
{
    widget->setObjectName(QLatin1StringView(name));
    return widget;
}

} // namespace

frmSettings::frmSettings(QWidget* parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(u"frmSettings"_s);
    setWindowTitle(tr("Brandle - Link Popularity Checker"));
    setWindowIcon(brandleIcon());

    tabSettings = named(new QTabWidget(this), "tabSettings");
    tabSettings->setAccessibleName(tr("Settings"));
    // On a screen too small for all its settings the tab scrolls; the window still fits.
    auto* mainScroll = named(new QScrollArea, "scrMainURL");
    mainScroll->setFrameShape(QFrame::NoFrame);
    mainScroll->setFocusPolicy(Qt::NoFocus);
    mainScroll->setWidgetResizable(true);
    mainScroll->setWidget(buildMainTab());
    mainScroll->viewport()->setAutoFillBackground(false);
    mainScroll->widget()->setAutoFillBackground(false);
    tabSettings->addTab(mainScroll, tr("Main URL"));
    m_graphs = new GraphsTab;
    tabSettings->addTab(m_graphs, tr("Graphs"));
    m_sources = new SourcesTab;
    m_sources->setTestSite([this] { return txtSearchURL->text(); });
    tabSettings->addTab(m_sources, tr("Sources"));

    cmdView = named(new QPushButton(tr("Chec&k"), this), "cmdView");
    cmdSave = named(new QPushButton(tr("&Save"), this), "cmdSave");
    cmdClose = named(new QPushButton(tr("&Close"), this), "cmdClose");
    cmdExit = named(new QPushButton(tr("E&xit"), this), "cmdExit");
    cmdExit->setToolTip(tr("End Brandle (there is no tray icon to end it from)"));
    cmdExit->hide();
    for (QPushButton* button : {cmdView, cmdSave, cmdClose, cmdExit})
        button->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdView);
    buttons->addWidget(cmdSave);
    buttons->addWidget(cmdClose);
    buttons->addWidget(cmdExit);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabSettings, 1);
    layout->addLayout(buttons);

    // The keyboard's order: the tabs, the controls of the tab shown, the buttons.
    QList<QWidget*> order{txtSearchURL, cmdViewURL,    chkLogging,  chkHourCheck,
                          chkPlaySound, chkWindowTop,  txtAlertMin, cboAlertUnit,
                          txtTrackURLs, txtURLHistory, cmdURLReset};
    order << m_graphs->tabOrder() << m_sources->tabOrder()
          << QList<QWidget*>{cmdView, cmdSave, cmdClose, cmdExit};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(cmdView, &QPushButton::clicked, this, &frmSettings::cmdView_Click);
    connect(cmdSave, &QPushButton::clicked, this, &frmSettings::cmdSave_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmSettings::cmdClose_Click);
    connect(cmdExit, &QPushButton::clicked, this, &frmSettings::exitRequested);
    connect(cmdViewURL, &QToolButton::clicked, this, &frmSettings::cmdViewURL_Click);
    connect(chkLogging, &QCheckBox::toggled, this, &frmSettings::chkLogging_Click);
    connect(chkHourCheck, &QCheckBox::toggled, this, &frmSettings::flag_Click);
    connect(chkPlaySound, &QCheckBox::toggled, this, &frmSettings::flag_Click);
    connect(txtTrackURLs, &QPlainTextEdit::textChanged, this, &frmSettings::flag_Click);
    connect(txtAlertMin, &QSpinBox::valueChanged, this, &frmSettings::flag_Click);
    connect(cboAlertUnit, &QComboBox::currentIndexChanged, this, &frmSettings::flag_Click);
    txtSearchURL->installEventFilter(this);

    // The Graphs tab starts in the view that matches the logging box.
    m_graphs->setLoggingEnabled(chkLogging->isChecked());

    // The design width, or what the texts need, within the screen.
    const int designWidth = Twips::toPixels(DesignWidthTwips, logicalDpiX());
    resize(sizeHint().expandedTo(QSize(designWidth, 0)));
    fitIntoScreen();
}

QWidget* frmSettings::buildMainTab()
{
    auto* page = named(new QWidget, "tabMainURL");

    lblSearchURL =
        named(new QLabel(tr("Primary URL for Link Popularity Count"), page), "lblSearchURL");
    txtSearchURL = named(new QLineEdit(page), "txtSearchURL");
    lblSearchURL->setBuddy(txtSearchURL);
    cmdViewURL = named(new QToolButton(page), "cmdViewURL");
    cmdViewURL->setText(tr("..."));
    cmdViewURL->setToolTip(tr("View URL in a Browser"));
    cmdViewURL->setAccessibleName(tr("View URL in a Browser"));
    cmdViewURL->setFocusPolicy(Qt::StrongFocus);
    cmdViewURL->setFixedHeight(txtSearchURL->sizeHint().height());
    lblExample = named(new QLabel(tr("(e.g. www.example.com)"), page), "lblExample");
    lblExample->setEnabled(false);

    chkLogging =
        named(new QCheckBox(tr("Enable logging (required for charting)"), page), "chkLogging");
    chkHourCheck =
        named(new QCheckBox(tr("Perform automatic hourly checks"), page), "chkHourCheck");
    chkPlaySound =
        named(new QCheckBox(tr("Play sound alerts on link activity"), page), "chkPlaySound");
    chkWindowTop =
        named(new QCheckBox(tr("Keep window on topmost position"), page), "chkWindowTop");
    for (QCheckBox* box : {chkLogging, chkHourCheck, chkPlaySound, chkWindowTop})
        box->setChecked(true);

    // The recent-lookups limit: part of the settings, but never shown.
    lblHistory = named(new QLabel(tr("History"), page), "lblHistory");
    txtURLHistory = named(new QLineEdit(u"5"_s, page), "txtURLHistory");
    txtURLHistory->setMaximumWidth(txtURLHistory->fontMetrics().horizontalAdvance(u'0') * 6);
    lblHistory->setBuddy(txtURLHistory);
    cmdURLReset = named(new QPushButton(tr("Clear History"), page), "cmdURLReset");
    cmdURLReset->setAutoDefault(false);

    // The further sites of the automatic check, and when a change of the total alerts.
    lblTrackURLs = named(new QLabel(tr("Also check automatically (one site per line, up to %1)")
                                        .arg(Config::MaxTrackedSites),
                                    page),
                         "lblTrackURLs");
    txtTrackURLs = named(new QPlainTextEdit(page), "txtTrackURLs");
    txtTrackURLs->setTabChangesFocus(true);
    // Four lines where there is room, two at least.
    const int line = txtTrackURLs->fontMetrics().lineSpacing();
    txtTrackURLs->setMinimumHeight(line * 2 + 10);
    txtTrackURLs->setMaximumHeight(line * 4 + 10);
    lblTrackURLs->setBuddy(txtTrackURLs);
    lblAlertMin =
        named(new QLabel(tr("Alert only when the total changes by at least"), page), "lblAlertMin");
    txtAlertMin = named(new QSpinBox(page), "txtAlertMin");
    txtAlertMin->setRange(0, 1000000000);
    txtAlertMin->setToolTip(tr("0 alerts on every change"));
    lblAlertMin->setBuddy(txtAlertMin);
    cboAlertUnit = named(new QComboBox(page), "cboAlertUnit");
    cboAlertUnit->addItem(tr("%"), true);
    cboAlertUnit->addItem(tr("links"), false);

    cboAlertUnit->setAccessibleName(tr("Unit of the alert threshold"));

    auto* alertRow = new QHBoxLayout;
    alertRow->addWidget(txtAlertMin);
    alertRow->addWidget(cboAlertUnit);
    alertRow->addStretch();

    auto* urlRow = new QHBoxLayout;
    urlRow->setSpacing(2);
    urlRow->addWidget(txtSearchURL, 1);
    urlRow->addWidget(cmdViewURL);

    // One check box per line.
    auto* flags = new QVBoxLayout;
    for (QCheckBox* box : {chkLogging, chkHourCheck, chkPlaySound, chkWindowTop})
        flags->addWidget(box);

    auto* historyRow = new QHBoxLayout;
    historyRow->addWidget(txtURLHistory);
    historyRow->addWidget(cmdURLReset);
    historyRow->addStretch();
    m_settingsRows = new QFormLayout;
    // A label too long for one line with its field puts the field below it.
    m_settingsRows->setRowWrapPolicy(QFormLayout::WrapLongRows);
    m_settingsRows->addRow(lblHistory, historyRow);
    m_settingsRows->setRowVisible(historyRow, false);
    m_settingsRows->addRow(lblAlertMin, alertRow);
    m_settingsRows->addRow(lblTrackURLs);
    m_settingsRows->addRow(txtTrackURLs);

    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->addWidget(lblSearchURL);
    layout->addLayout(urlRow);
    layout->addWidget(lblExample);
    layout->addSpacing(10);
    layout->addLayout(flags);
    layout->addLayout(m_settingsRows);
    layout->addStretch();
    return page;
}

void frmSettings::fillFromProps()
{
    txtSearchURL->setText(oProps.URLName());
    m_graphs->txtChartURL()->setText(oProps.URLName());
    // setChecked runs the change handling whenever the state changes.
    chkLogging->setChecked(Config::flagShown(Setting::Logging, oProps.Logging()));
    chkHourCheck->setChecked(Config::flagShown(Setting::AutoCheck, oProps.AutoCheck()));
    chkPlaySound->setChecked(Config::flagShown(Setting::PlaySound, oProps.PlaySound()));
    chkWindowTop->setChecked(Config::flagShown(Setting::WindowTop, oProps.WindowTop()));
    txtURLHistory->setText(oProps.History());
    // Not part of the settings record: read from the store as saved.
    const StoreSession store;
    const QString tracked = Config::trackedSites(store).join(u'\n');
    if (txtTrackURLs->toPlainText() != tracked)
        txtTrackURLs->setPlainText(tracked);
    txtAlertMin->setValue(Config::count(store, Setting::AlertAmount));
    const bool percent =
        Config::flagShown(Setting::AlertPercent, Config::text(store, Setting::AlertPercent));
    cboAlertUnit->setCurrentIndex(cboAlertUnit->findData(percent));
}

bool frmSettings::ValidateSettings()
{
    const QString lineBreak = u"\r\n"_s;
    const QString heading = tr("The following fields are missing or invalid:") + lineBreak;
    QString message = heading;
    if (txtSearchURL->text().trimmed().isEmpty())
        message += tr("Primary URL") + lineBreak;
    if (!LocaleText::isNumericText(txtURLHistory->text()))
        message += tr("URL history must be numberic") + lineBreak;
    if (trackedUrls().size() > Config::MaxTrackedSites)
        message += tr("Also check automatically: at most %1 sites").arg(Config::MaxTrackedSites) +
                   lineBreak;
    if (message == heading)
        return true;

    // A check from the tray or the timer runs while the window is hidden.
    MessageBox::show(isVisible() ? this : nullptr, {QString(mConstants::AppTitle), message,
                                                    QMessageBox::Critical, QMessageBox::Ok});
    return false;
}

bool frmSettings::SaveSettings()
{
    if (!ValidateSettings())
        return false;

    StoreSession store;
    const bool firstPrimaryUrl = Config::text(store, Setting::PrimaryUrl).isEmpty();
    Config::setText(store, Setting::PrimaryUrl, txtSearchURL->text());
    Config::setText(store, Setting::Logging, flagText(chkLogging));
    Config::setText(store, Setting::AutoCheck, flagText(chkHourCheck));
    Config::setText(store, Setting::PlaySound, flagText(chkPlaySound));
    Config::setText(store, Setting::WindowTop, flagText(chkWindowTop));
    Config::setText(store, Setting::HistoryLimit, txtURLHistory->text());
    Config::setTrackedSites(store, trackedUrls());
    Config::setCount(store, Setting::AlertAmount, txtAlertMin->value());
    Config::setText(store, Setting::AlertPercent,
                    Config::flagText(cboAlertUnit->currentData().toBool()));
    try {
        store.save();
    } catch (const BrandleError& e) {
        // Nothing was saved: the record keeps the saved settings, the edits stay unsaved.
        MessageBox::show(isVisible() ? this : nullptr, {QString(mConstants::AppTitle), e.userText(),
                                                        QMessageBox::Critical, QMessageBox::Ok});
        return false;
    }

    oProps.setLogging(flagText(chkLogging));
    oProps.setAutoCheck(flagText(chkHourCheck));
    oProps.setPlaySound(flagText(chkPlaySound));
    oProps.setWindowTop(flagText(chkWindowTop));
    oProps.setHistory(txtURLHistory->text());
    // The Graph URL starts as the Primary URL, also on the first run, where it was empty.
    if (firstPrimaryUrl && m_graphs->txtChartURL()->text().isEmpty())
        m_graphs->txtChartURL()->setText(txtSearchURL->text());

    m_bChanged = false;
    return true;
}

std::optional<QString> frmSettings::prepareLookup(const QString& url)
{
    if (!ValidateSettings())
        return std::nullopt;
    // Edits that cannot be saved stop the lookup: its own save would fail the same way.
    if (m_bChanged && !SaveSettings())
        return std::nullopt;
    return siteForLookup(url);
}

void frmSettings::showOnTab(int index)
{
    setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
    show();
    raise();
    activateWindow();
    tabSettings->setCurrentIndex(index);
}

void frmSettings::setExitOffered(bool offered)
{
    cmdExit->setVisible(offered);
}

void frmSettings::fitIntoScreen()
{
    const QScreen* where = screen();
    if (!where)
        return;
    const QRect available = where->availableGeometry();
    // The window manager's frame; before the window was first framed, room for a title bar.
    const QRect frame = frameGeometry();
    const QRect inner = geometry();
    QMargins margins(inner.left() - frame.left(), inner.top() - frame.top(),
                     frame.right() - inner.right(), frame.bottom() - inner.bottom());
    if (margins.isNull())
        margins = QMargins(4, 32, 4, 4);
    const QSize room = available.size().shrunkBy(margins);
    if (width() > room.width() || height() > room.height())
        resize(size().boundedTo(room).expandedTo(minimumSizeHint()));
    if (isVisible()) {
        // Its frame wholly on the screen where that is possible.
        const QRect now = frameGeometry();
        const QPoint place(qBound(available.left(), now.left(),
                                  qMax(available.left(), available.right() - now.width() + 1)),
                           qBound(available.top(), now.top(),
                                  qMax(available.top(), available.bottom() - now.height() + 1)));
        if (place != now.topLeft())
            move(place);
    }
}

void frmSettings::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Again once the window manager has framed the window.
    fitIntoScreen();
    QTimer::singleShot(0, this, &frmSettings::fitIntoScreen);
}

void frmSettings::keyPressEvent(QKeyEvent* event)
{
    // Esc is "&Close".
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        cmdClose_Click();
        return;
    }
    QWidget::keyPressEvent(event);
}

QString frmSettings::primaryUrl() const
{
    return txtSearchURL->text();
}

QStringList frmSettings::trackedUrls() const
{
    QStringList urls;
    for (const QString& line : txtTrackURLs->toPlainText().split(u'\n')) {
        if (!line.trimmed().isEmpty())
            urls.append(line.trimmed());
    }
    return urls;
}

QString frmSettings::historyText() const
{
    return txtURLHistory->text();
}

bool frmSettings::keepOnTop() const
{
    return chkWindowTop->isChecked();
}

void frmSettings::closeEvent(QCloseEvent* event)
{
    // The window lives as long as the program; closing it only hides it.
    event->ignore();
    hide();
}

bool frmSettings::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == txtSearchURL) {
        if (event->type() == QEvent::KeyPress && isCharacterKey(static_cast<QKeyEvent*>(event)))
            m_bChanged = true;
        // Text composed with an input method arrives without key presses.
        else if (event->type() == QEvent::InputMethod &&
                 !static_cast<QInputMethodEvent*>(event)->commitString().isEmpty())
            m_bChanged = true;
    }
    return QWidget::eventFilter(watched, event);
}

void frmSettings::cmdView_Click()
{
    emit checkRequested(txtSearchURL->text());
}

void frmSettings::cmdSave_Click()
{
    SaveSettings();
    m_sources->storeKeys();
}

void frmSettings::cmdClose_Click()
{
    hide();
}

void frmSettings::cmdViewURL_Click()
{
    OpenInBrowser(this, txtSearchURL->text());
}

void frmSettings::chkLogging_Click(bool checked)
{
    m_graphs->setLoggingEnabled(checked);
    m_bChanged = true;
}

void frmSettings::flag_Click()
{
    m_bChanged = true;
}

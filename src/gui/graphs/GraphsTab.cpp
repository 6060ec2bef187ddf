// SPDX-License-Identifier: MIT
#include "graphs/GraphsTab.h"

#include "desktop/MessageBox.h"
#include "graphs/LinkChart.h"
#include "platform/Clock.h"
#include "reports/ReportData.h"
#include "settings/Config.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QThread>
#include <QVBoxLayout>

#include <cmath>
#include <exception>
#include <memory>

namespace brandle {

namespace {

// Rows of the "Graphing Options" frame, top to bottom; a new option is one more row here.
enum OptionRow { UrlRow, SpanRow, RangeRow, ViewRow, LeaveOutRow };
// Its columns: a label, a field, and a second label and field on the date row.
// Its columns: a label and its field (the date row holds both dates in its field).
enum OptionColumn { LabelColumn, FieldColumn, ColumnCount };

// Wide enough for the text, as the line edit's frame and margins need.
int widthForText(const QLineEdit* edit, const QString& text)
{
    QStyleOptionFrame option;
    option.initFrom(edit);
    const QSize content(edit->fontMetrics().horizontalAdvance(text) + 8, edit->height());
    return edit->style()->sizeFromContents(QStyle::CT_LineEdit, &option, content, edit).width();
}

// The "Graphing Options" frame: its design width, or what its texts need where that is more.
class OptionsFrame final : public QGroupBox {
public:
    OptionsFrame(const QString& title, int designWidth, QWidget* parent)
        : QGroupBox(title, parent)
        , m_designWidth(designWidth)
    {
    }
    QSize sizeHint() const override
    {
        return {qMax(m_designWidth, minimumSizeHint().width()), QGroupBox::sizeHint().height()};
    }

private:
    int m_designWidth;
};

} // namespace

GraphsTab::GraphsTab(QWidget* parent)
    : QWidget(parent)
{
    // Design sizes are pixels at 96 dots per inch; they grow with the screen's logical dpi.
    const auto px = [this](int pixels) {
        return int(std::lround(pixels * logicalDpiX() / 96.0));
    };
    const auto named = [](auto* widget, const char* name) {
        widget->setObjectName(QLatin1StringView(name));
        return widget;
    };

    // The chart first: the frame, the notice and the chart's own controls lie over it.
    chtStats = named(new LinkChart(this), "chtStats");
    chtStats->setAccessibleName(tr("Link count chart"));
    // Tab reaches the chart: its menu key opens the copy and save menu.
    chtStats->setFocusPolicy(Qt::StrongFocus);
    chtStats->setMinimumSize(px(240), px(150));
    cboChartType = named(new QComboBox(this), "cboChartType");
    cboChartType->setAccessibleName(tr("Chart type"));
    cmdReturn = named(new QPushButton(tr("Back"), this), "cmdReturn");
    cmdReturn->setAutoDefault(false);

    Label4 = named(new QLabel(this), "Label4");
    Label4->setTextFormat(Qt::PlainText);
    Label4->setWordWrap(true);
    Label4->setText(tr("The Chart feature is currently disabled.  To enable it, click on the URL "
                       "tab and select Enable Logging so that Brandle can collect the data "
                       "required to chart."));
    Label4->setMinimumWidth(px(257));
    Label4->setMaximumWidth(px(360));

    fraReportOption =
        named(new OptionsFrame(tr("Graphing Options"), px(313), this), "fraReportOption");
    Label5 = named(new QLabel(tr("Graph URL"), fraReportOption), "Label5");
    m_txtChartURL = named(new QLineEdit(fraReportOption), "txtChartURL");
    m_txtChartURL->setMinimumWidth(px(201));
    Label3 = named(new QLabel(tr("Time Span"), fraReportOption), "Label3");
    cboReportType = named(new QComboBox(fraReportOption), "cboReportType");
    lblReportParams = named(new QLabel(tr("Input"), fraReportOption), "lblReportParams");
    txtReportFrom = named(new QLineEdit(fraReportOption), "txtReportFrom");
    cboReportParams = named(new QComboBox(fraReportOption), "cboReportParams");
    lblReportParams2 = named(new QLabel(tr("Input2"), fraReportOption), "lblReportParams2");
    txtReportTo = named(new QLineEdit(fraReportOption), "txtReportTo");
    cmdGetReport = named(new QPushButton(tr("&View"), fraReportOption), "cmdGetReport");
    cmdGetReport->setAutoDefault(false);
    chkByEngine = named(new QCheckBox(tr("By engine"), fraReportOption), "chkByEngine");
    chkByEngine->setToolTip(tr("Chart every engine's daily average beside the total"));
    chkLeaveOutDays = named(new QCheckBox(tr("Leave out days without a log"), fraReportOption),
                            "chkLeaveOutDays");
    // Busy while a report is read; indeterminate.
    prgReport = named(new QProgressBar(fraReportOption), "prgReport");
    prgReport->setRange(0, 0);
    prgReport->setTextVisible(false);
    prgReport->setMaximumWidth(px(104));
    prgReport->setAccessibleName(tr("Reading the log"));
    prgReport->hide();
    m_txtChartURL->setToolTip(
        tr("One site, or up to %1 sites separated by commas").arg(LinkReportBuilder::MaxSites));
    Label5->setBuddy(m_txtChartURL);
    Label3->setBuddy(cboReportType);
    lblReportParams2->setBuddy(txtReportTo);
    for (QLineEdit* date : {txtReportFrom, txtReportTo}) {
        date->setPlaceholderText(tr("MM/DD/YYYY"));
        // Never narrower than its own placeholder.
        date->setMinimumWidth(qMax(px(73), widthForText(date, date->placeholderText())));
    }

    auto* options = new QGridLayout(fraReportOption);
    options->setContentsMargins(px(16), px(12), px(16), px(12));
    options->setHorizontalSpacing(px(8));
    options->setVerticalSpacing(px(10));
    options->addWidget(Label5, UrlRow, LabelColumn);
    options->addWidget(m_txtChartURL, UrlRow, FieldColumn);
    options->addWidget(Label3, SpanRow, LabelColumn);
    options->addWidget(cboReportType, SpanRow, FieldColumn);
    // "By Date" shows the two dates, "By Month" the month list in the same row.
    auto* dates = new QHBoxLayout;
    dates->setSpacing(px(8));
    dates->addWidget(txtReportFrom, 1);
    dates->addWidget(lblReportParams2);
    dates->addWidget(txtReportTo, 1);
    options->addWidget(lblReportParams, RangeRow, LabelColumn);
    options->addLayout(dates, RangeRow, FieldColumn);
    options->addWidget(cboReportParams, RangeRow, FieldColumn);
    auto* viewRow = new QHBoxLayout;
    viewRow->setSpacing(px(8));
    viewRow->addWidget(chkByEngine);
    viewRow->addStretch();
    viewRow->addWidget(prgReport);
    viewRow->addWidget(cmdGetReport);
    options->addLayout(viewRow, ViewRow, LabelColumn, 1, ColumnCount);
    options->addWidget(chkLeaveOutDays, LeaveOutRow, LabelColumn, 1, ColumnCount);
    options->setColumnStretch(FieldColumn, 1);
    // Opaque, so that nothing beneath it shows through.
    fraReportOption->setAutoFillBackground(true);

    // One cell holds the views, one above the other; only one view shows at a time. The chart
    // takes all the room, its type list and "Back" lie over its corners, the frame and the
    // notice stay at their size, centred, as far down as there is room for.
    auto* chartControls = new QVBoxLayout;
    chartControls->setContentsMargins(px(8), px(16), px(8), px(8));
    chartControls->addWidget(cboChartType, 0, Qt::AlignLeft);
    chartControls->addStretch();
    chartControls->addWidget(cmdReturn, 0, Qt::AlignRight);

    auto* optionsView = new QVBoxLayout;
    optionsView->addStretch(48);
    optionsView->addWidget(fraReportOption, 0, Qt::AlignHCenter);
    optionsView->addStretch(88);

    // The notice is centred by stretches beside it, not by an alignment: a wrapped text then gets
    // the height it needs for the width it is given.
    auto* noticeRow = new QHBoxLayout;
    noticeRow->addStretch();
    noticeRow->addWidget(Label4);
    noticeRow->addStretch();
    auto* noticeView = new QVBoxLayout;
    noticeView->addStretch(128);
    noticeView->addLayout(noticeRow);
    noticeView->addStretch(136);

    auto* views = new QGridLayout(this);
    views->setContentsMargins(px(8), px(8), px(8), px(8));
    views->addWidget(chtStats, 0, 0);
    views->addLayout(chartControls, 0, 0);
    views->addLayout(optionsView, 0, 0);
    views->addLayout(noticeView, 0, 0);

    cboReportType->addItems(ReportParams::reportTypes());
    cboReportParams->addItems(ReportParams::monthNames());
    cboChartType->addItem(tr("Bar"), int(LinkChart::Bar));
    cboChartType->addItem(tr("Line"), int(LinkChart::Line));
    cboChartType->addItem(tr("Area"), int(LinkChart::Area));
    cboChartType->addItem(tr("Step"), int(LinkChart::Step));
    cboReportType->setCurrentIndex(0);
    cboReportParams->setCurrentIndex(0);
    cboChartType->setCurrentIndex(0);

    connect(cboReportType, &QComboBox::currentIndexChanged, this, &GraphsTab::cboReportType_Click);
    connect(cboChartType, &QComboBox::currentIndexChanged, this, &GraphsTab::cboChartType_Click);
    connect(cmdGetReport, &QPushButton::clicked, this, &GraphsTab::cmdGetReport_Click);
    connect(cmdReturn, &QPushButton::clicked, this, &GraphsTab::cmdReturn_Click);
    // The choice is kept for the next report, in this run and the next.
    chkLeaveOutDays->setChecked(Config::flagShown(Setting::LeaveOutDaysWithoutLog,
                                                  Config::text(Setting::LeaveOutDaysWithoutLog)));
    connect(chkLeaveOutDays, &QCheckBox::toggled, this, [](bool on) {
        Config::setText(Setting::LeaveOutDaysWithoutLog, Config::flagText(on));
    });

    cboReportType_Click();
    cboChartType_Click();
    showView(View::Options);
}

GraphsTab::~GraphsTab()
{
    // A report still being read ends soon: it reads local files only.
    if (m_worker) {
        m_worker->wait();
        delete m_worker;
    }
}

QList<QWidget*> GraphsTab::tabOrder() const
{
    return {m_txtChartURL, cboReportType, txtReportFrom, cboReportParams,
            txtReportTo,   chkByEngine,   cmdGetReport,  chkLeaveOutDays,
            cboChartType,  chtStats,      cmdReturn};
}

QSize GraphsTab::sizeHint() const
{
    // The chart's design area with its margins.
    const double scale = logicalDpiX() / 96.0;
    return QSize(393, 329) * scale;
}

void GraphsTab::setLoggingEnabled(bool on)
{
    showView(on ? View::Options : View::Disabled);
}

GraphsTab::View GraphsTab::view() const
{
    if (!fraReportOption->isHidden())
        return View::Options;
    if (!chtStats->isHidden())
        return View::Chart;
    return View::Disabled;
}

void GraphsTab::showView(View view)
{
    fraReportOption->setVisible(view == View::Options);
    chtStats->setVisible(view == View::Chart);
    cboChartType->setVisible(view == View::Chart);
    cmdReturn->setVisible(view == View::Chart);
    // The notice lies beneath the frame and the chart: it is seen only when both are hidden.
    Label4->setVisible(view == View::Disabled);
}

void GraphsTab::cboReportType_Click()
{
    const bool byMonth = cboReportType->currentIndex() == 1;
    lblReportParams->setText(byMonth ? tr("Month") : tr("From Date"));
    lblReportParams->setBuddy(byMonth ? static_cast<QWidget*>(cboReportParams) : txtReportFrom);
    lblReportParams->show();
    cboReportParams->setVisible(byMonth);
    txtReportFrom->setVisible(!byMonth);
    lblReportParams2->setText(tr("To Date"));
    lblReportParams2->setVisible(!byMonth);
    txtReportTo->setVisible(!byMonth);
    cboChartType->hide();
}

void GraphsTab::cmdGetReport_Click()
{
    if (m_worker)
        return;
    const ReportRequest request =
        cboReportType->currentIndex() == 1
            ? ReportParams::byMonth(cboReportParams->currentIndex(), Clock::instance().now().date())
            : ReportParams::byDate(txtReportFrom->text(), txtReportTo->text());
    if (!request.ok()) {
        MessageBox::inform(this, request.message, QMessageBox::Information);
        return;
    }
    const QString refusal = LinkReportBuilder::refusal(
        m_txtChartURL->text(), {chkByEngine->isChecked(), chkLeaveOutDays->isChecked()});
    if (!refusal.isEmpty()) {
        MessageBox::inform(this, refusal, QMessageBox::Information);
        return;
    }
    ShowLinkReport(request.fromText, request.toText);
}

void GraphsTab::ShowLinkReport(const QString& fromText, const QString& toText)
{
    if (m_worker)
        return;
    const QString graphUrl = m_txtChartURL->text();
    const ReportOptions options{chkByEngine->isChecked(), chkLeaveOutDays->isChecked()};
    // Filled by the worker, read here once it has finished.
    const auto result = std::make_shared<std::optional<LinkReport>>();
    m_worker = QThread::create([result, graphUrl, fromText, toText, options] {
        try {
            *result = LinkReportBuilder::build(graphUrl, fromText, toText, options);
        } catch (const std::exception&) {
            // A failed report ends quietly; the tab stays in the options view.
        }
    });
    connect(m_worker, &QThread::finished, this, [this, result] {
        m_worker->wait();
        delete m_worker;
        m_worker = nullptr;
        setBusy(false);
        // Logging may have been turned off meanwhile: then the notice stays.
        const bool charted = result->has_value() && view() == View::Options;
        if (charted) {
            // Shown and laid out first, so the chart is drawn once, for its real size.
            showView(View::Chart);
            layout()->activate();
            chtStats->setReport(**result);
        }
        emit reportFinished(charted);
    });
    setBusy(true);
    m_worker->start();
}

void GraphsTab::setBusy(bool busy)
{
    cmdGetReport->setEnabled(!busy);
    prgReport->setVisible(busy);
    if (busy)
        QApplication::setOverrideCursor(Qt::BusyCursor);
    else
        QApplication::restoreOverrideCursor();
}

void GraphsTab::cboChartType_Click()
{
    chtStats->setChartType(cboChartType->currentData().toInt());
}

void GraphsTab::cmdReturn_Click()
{
    showView(View::Options);
}

} // namespace brandle

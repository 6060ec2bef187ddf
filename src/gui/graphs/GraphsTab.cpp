// SPDX-License-Identifier: MIT
#include "graphs/GraphsTab.h"

#include "desktop/MessageBox.h"
#include "desktop/Screen.h"
#include "graphs/LinkChart.h"
#include "platform/Clock.h"
#include "reports/ReportData.h"
#include "settings/Config.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>

#include <exception>
#include <memory>

namespace brandle {

namespace {

// Extent of the tab's content in twips: the chart reaches furthest right and down.
constexpr int contentRight = 120 + 5655;
constexpr int contentBottom = 360 + 4455;

} // namespace

GraphsTab::GraphsTab(QWidget* parent)
    : QWidget(parent)
{
    const ScreenTwips screen = ScreenTwips::primary();
    const auto place = [&screen](QWidget* widget, const char* name, int left, int top, int width,
                                 int height) {
        widget->setObjectName(QLatin1StringView(name));
        widget->setGeometry(screen.toPixelsX(left), screen.toPixelsY(top), screen.toPixelsX(width),
                            screen.toPixelsY(height));
    };

    // Created first, so the frame and the chart lie over it: it shows only in the disabled view.
    Label4 = new QLabel(this);
    Label4->setTextFormat(Qt::PlainText);
    Label4->setWordWrap(true);
    Label4->setText(tr("The Chart feature is currently disabled.  To enable it, click on the URL "
                       "tab and select Enable Logging so that Brandle can collect the data "
                       "required to chart."));
    place(Label4, "Label4", 1080, 2280, 3855, 615);
    Label4->resize(Label4->width(),
                   qMax(Label4->height(), Label4->heightForWidth(Label4->width())));

    fraReportOption = new QGroupBox(tr("Graphing Options"), this);
    place(fraReportOption, "fraReportOption", 600, 1080, 4695, 2775);
    Label5 = new QLabel(tr("Graph URL"), fraReportOption);
    place(Label5, "Label5", 240, 480, 855, 255);
    m_txtChartURL = new QLineEdit(fraReportOption);
    place(m_txtChartURL, "txtChartURL", 1200, 480, 3015, 285);
    Label3 = new QLabel(tr("Time Span"), fraReportOption);
    place(Label3, "Label3", 240, 960, 855, 255);
    cboReportType = new QComboBox(fraReportOption);
    place(cboReportType, "cboReportType", 1200, 960, 3015, 315);
    lblReportParams = new QLabel(tr("Input"), fraReportOption);
    place(lblReportParams, "lblReportParams", 240, 1440, 975, 255);
    txtReportFrom = new QLineEdit(fraReportOption);
    place(txtReportFrom, "txtReportFrom", 1200, 1440, 1095, 285);
    cboReportParams = new QComboBox(fraReportOption);
    place(cboReportParams, "cboReportParams", 1200, 1320, 3015, 315);
    lblReportParams2 = new QLabel(tr("Input2"), fraReportOption);
    place(lblReportParams2, "lblReportParams2", 2400, 1440, 615, 255);
    txtReportTo = new QLineEdit(fraReportOption);
    place(txtReportTo, "txtReportTo", 3120, 1440, 1095, 285);
    cmdGetReport = new QPushButton(tr("&View"), fraReportOption);
    place(cmdGetReport, "cmdGetReport", 3240, 1920, 975, 300);
    chkByEngine = new QCheckBox(tr("By engine"), fraReportOption);
    place(chkByEngine, "chkByEngine", 240, 1920, 1215, 255);
    chkByEngine->setToolTip(tr("Chart every engine's daily average beside the total"));
    chkLeaveOutDays = new QCheckBox(tr("Leave out days without a log"), fraReportOption);
    place(chkLeaveOutDays, "chkLeaveOutDays", 240, 2280, 3975, 255);
    // Busy while a report is read; indeterminate.
    prgReport = new QProgressBar(fraReportOption);
    place(prgReport, "prgReport", 1560, 1950, 1560, 240);
    prgReport->setRange(0, 0);
    prgReport->setTextVisible(false);
    prgReport->hide();
    // The labels take the whole gap up to the control on their right, as fonts here run wider
    // than the narrow widths of the layout.
    for (QLabel* label : {Label5, Label3, lblReportParams})
        label->resize(m_txtChartURL->x() - label->x() - 2, label->height());
    lblReportParams2->resize(txtReportTo->x() - lblReportParams2->x() - 2,
                             lblReportParams2->height());
    // Opaque, so that the notice beneath it shows only while it is hidden.
    fraReportOption->setAutoFillBackground(true);
    m_txtChartURL->setToolTip(
        tr("One site, or up to %1 sites separated by commas").arg(LinkReportBuilder::MaxSites));
    txtReportFrom->setPlaceholderText(tr("MM/DD/YYYY"));
    txtReportTo->setPlaceholderText(tr("MM/DD/YYYY"));

    chtStats = new LinkChart(this);
    place(chtStats, "chtStats", 120, 360, 5655, 4455);
    // The chart-type list and "Back" lie over the chart's top-left and bottom-right corners.
    cboChartType = new QComboBox(this);
    place(cboChartType, "cboChartType", 240, 600, 1335, 330);
    cmdReturn = new QPushButton(tr("Back"), this);
    place(cmdReturn, "cmdReturn", 4920, 4440, 735, 300);

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

QSize GraphsTab::sizeHint() const
{
    const ScreenTwips screen = ScreenTwips::primary();
    return {screen.toPixelsX(contentRight + 120), screen.toPixelsY(contentBottom + 120)};
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
}

void GraphsTab::cboReportType_Click()
{
    const bool byMonth = cboReportType->currentIndex() == 1;
    lblReportParams->setText(byMonth ? tr("Month") : tr("From Date"));
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
            chtStats->setReport(**result);
            showView(View::Chart);
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

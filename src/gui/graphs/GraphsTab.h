// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QThread;

namespace brandle {

class LinkChart;

// The "Graphs" tab of the settings window: the report options, the chart of a site's daily
// counts, and the notice shown while logging is off. It shows one of three views:
// - options: the "Graphing Options" frame;
// - chart: the chart with the chart-type list and "Back";
// - disabled: only the notice beneath the (hidden) frame.
// Switching views changes only visibility: the chart and the option fields keep their contents.
class GraphsTab : public QWidget {
    Q_OBJECT
public:
    enum class View { Options, Chart, Disabled };

    explicit GraphsTab(QWidget* parent = nullptr);
    ~GraphsTab() override;

    // The logging check box changed: on shows the options view, off the disabled view.
    void setLoggingEnabled(bool on);

    // The Graph URL box; the settings window fills it at start-up.
    QLineEdit* txtChartURL() const { return m_txtChartURL; }

    View view() const;
    LinkChart* chart() const { return chtStats; }

    // Charts the daily counts of the Graph URL's sites between the two date texts, with the
    // options of the frame, and switches to the chart view. The log is read on a worker thread
    // while the window stays responsive and shows that it is busy; reportFinished() follows.
    // When no day of the range has a figure, or the report fails (a date that does not convert,
    // a range longer than the chart holds, a day file that cannot be read), nothing changes.
    void ShowLinkReport(const QString& fromText, const QString& toText);
    // A report is being read.
    bool isBusy() const { return m_worker != nullptr; }

    // The tab's controls in the order the keyboard walks them (the window sets the order once
    // every control has its place).
    QList<QWidget*> tabOrder() const;

    QSize sizeHint() const override;

signals:
    // A report ended; charted when it switched to the chart view.
    void reportFinished(bool charted);

private slots:
    void cboReportType_Click();
    void cmdGetReport_Click();
    void cboChartType_Click();
    void cmdReturn_Click();

private:
    void showView(View view);
    void setBusy(bool busy);

    QLabel* Label4 = nullptr;
    QGroupBox* fraReportOption = nullptr;
    QLabel* Label5 = nullptr;
    QLineEdit* m_txtChartURL = nullptr;
    QLabel* Label3 = nullptr;
    QComboBox* cboReportType = nullptr;
    QLabel* lblReportParams = nullptr;
    QLineEdit* txtReportFrom = nullptr;
    QComboBox* cboReportParams = nullptr;
    QLabel* lblReportParams2 = nullptr;
    QLineEdit* txtReportTo = nullptr;
    QPushButton* cmdGetReport = nullptr;
    QCheckBox* chkByEngine = nullptr;
    QCheckBox* chkLeaveOutDays = nullptr;
    QProgressBar* prgReport = nullptr;
    QThread* m_worker = nullptr;
    LinkChart* chtStats = nullptr;
    QComboBox* cboChartType = nullptr;
    QPushButton* cmdReturn = nullptr;
};

} // namespace brandle

// SPDX-License-Identifier: MIT
#pragma once

#include "reports/ReportData.h"

#include <QChartView>

class QAction;

namespace brandle {

// The chart of the Graphs tab (chtStats): the report's series of daily link counts (one site,
// several sites, or a site's total and its engines) drawn as a bar, line, area or step chart,
// with the report's titles and scales and, for several series, a legend. A line breaks where its
// series has no figure. Its context menu copies the chart, saves it as a PNG image or saves the
// charted rows of every series as CSV.
class LinkChart : public QChartView {
    Q_OBJECT
public:
    // The chart-type codes that cboChartType carries as item data.
    enum ChartType { Bar = 1, Line = 3, Area = 5, Step = 7 };

    explicit LinkChart(QWidget* parent = nullptr);

    // Replaces the whole chart by the report, drawn in the current chart type.
    void setReport(const LinkReport& report);
    const LinkReport& report() const { return m_report; }

    // Re-draws the current report in the type at once; an unknown code draws bars. The type
    // stays for every later report.
    void setChartType(int code);
    int chartType() const { return m_type; }

    // The chart as a PNG file; false when it cannot be written.
    bool saveImage(const QString& path);
    // The charted rows as CSV (LinkReportBuilder::csv); false when the file cannot be written.
    bool saveCsv(const QString& path) const;
    // Puts the chart's image on the clipboard.
    void copyChart();

protected:
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void applyTheme();
    void redraw();
    int legendWidth() const;
    bool titleBelowList() const;
    int labelStep() const;
    void askAndSaveImage();
    void askAndSaveCsv();
    QString askPath(const QString& caption, const QString& filter, const QString& suffix);

    LinkReport m_report;
    QString m_lastFolder; // where the last image or CSV file was saved
    int m_type = Bar;
    int m_labelStep = 0; // every how many days the X axis has a label
    bool m_titleBelowList = false;
    bool m_redrawPending = false;
    QAction* m_copy = nullptr;
    QAction* m_saveImage = nullptr;
    QAction* m_saveCsv = nullptr;
};

} // namespace brandle

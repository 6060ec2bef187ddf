// SPDX-License-Identifier: MIT
#include "graphs/LinkChart.h"

#include "desktop/MessageBox.h"

#include <QAction>
#include <QAreaSeries>
#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineSeries>
#include <QSaveFile>
#include <QValueAxis>

using namespace Qt::StringLiterals;

namespace brandle {

namespace {

const QColor seriesColor(0x2a, 0x6f, 0xb5);

QFont sized(const QFont& base, qreal points, bool bold = false)
{
    QFont font(base);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

} // namespace

LinkChart::LinkChart(QWidget* parent)
    : QChartView(parent)
{
    setRenderHint(QPainter::Antialiasing);
    setFrameShape(QFrame::StyledPanel);
    auto* content = new QChart;
    content->legend()->hide();
    content->setBackgroundRoundness(0);
    // Room above the plot for the chart-type list that lies over the top-left corner.
    content->setMargins(QMargins(4, 20, 8, 4));
    content->setTitleFont(sized(font(), 9, true));
    setChart(content);

    m_copy = new QAction(tr("Copy Chart"), this);
    m_copy->setObjectName(u"actCopyChart"_s);
    m_saveImage = new QAction(tr("Save Chart as Image\u2026"), this);
    m_saveImage->setObjectName(u"actSaveChartImage"_s);
    m_saveCsv = new QAction(tr("Save Data as CSV\u2026"), this);
    m_saveCsv->setObjectName(u"actSaveChartCsv"_s);
    addActions({m_copy, m_saveImage, m_saveCsv});
    setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(m_copy, &QAction::triggered, this, &LinkChart::copyChart);
    connect(m_saveImage, &QAction::triggered, this, &LinkChart::askAndSaveImage);
    connect(m_saveCsv, &QAction::triggered, this, &LinkChart::askAndSaveCsv);
}

void LinkChart::setReport(const LinkReport& report)
{
    m_report = report;
    redraw();
}

void LinkChart::setChartType(int code)
{
    m_type = (code == Line || code == Area || code == Step) ? code : Bar;
    redraw();
}

void LinkChart::redraw()
{
    QChart* content = chart();
    content->removeAllSeries();
    for (QAbstractAxis* axis : content->axes()) {
        content->removeAxis(axis);
        delete axis;
    }
    content->setTitle(m_report.title);
    const QList<ChartRow>& rows = m_report.rows;
    if (rows.isEmpty())
        return;

    // The days lie at 0, 1, 2 ... on the X axis; labels are thinned out so they never overlap.
    auto* xAxis = new QCategoryAxis;
    xAxis->setTitleText(m_report.xAxisTitle);
    xAxis->setTitleFont(sized(font(), 8));
    xAxis->setLabelsFont(sized(font(), 7));
    xAxis->setLabelsAngle(-90);
    xAxis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    xAxis->setGridLineVisible(false);
    xAxis->setStartValue(-0.5);
    xAxis->setRange(-0.5, rows.size() - 0.5);
    // A turned label needs its line height plus padding on both sides, or the axis cuts it.
    const int labelRoom = (width() - 70) / (QFontMetrics(xAxis->labelsFont()).height() + 8);
    const int step = LinkReportBuilder::labelStep(int(rows.size()), labelRoom);
    for (qsizetype i = 0; i < rows.size(); i += step)
        xAxis->append(rows.at(i).label, qreal(i));

    auto* yAxis = new QValueAxis;
    const AxisScale& y = m_report.yScale;
    yAxis->setTitleText(m_report.yAxisTitle);
    yAxis->setTitleFont(sized(font(), 8));
    yAxis->setLabelsFont(sized(font(), 7));
    yAxis->setRange(qreal(y.minimum), qreal(y.maximum));
    yAxis->setTickCount(y.majorDivision + 1);
    yAxis->setMinorTickCount(qMax(0, y.minorDivision - 1));
    // Whole numbers, unless the ticks lie closer than 10 and between whole numbers.
    const qint64 range = y.maximum - y.minimum;
    const int divisions = qMax(1, y.majorDivision);
    const bool whole = range % divisions == 0 || range >= 10 * divisions;
    yAxis->setLabelFormat(whole ? u"%.0f"_s : u"%.1f"_s);

    content->addAxis(xAxis, Qt::AlignBottom);
    content->addAxis(yAxis, Qt::AlignLeft);

    QAbstractSeries* series = nullptr;
    if (m_type == Bar) {
        auto* set = new QBarSet(m_report.yAxisTitle);
        set->setColor(seriesColor);
        set->setBorderColor(seriesColor.darker(130));
        for (const ChartRow& row : rows)
            set->append(row.count);
        auto* bars = new QBarSeries;
        bars->setBarWidth(0.7);
        bars->append(set);
        series = bars;
    } else {
        auto* line = new QLineSeries;
        for (qsizetype i = 0; i < rows.size(); ++i) {
            const qreal v = rows.at(i).count;
            if (m_type == Step) {
                line->append(i - 0.5, v);
                line->append(i + 0.5, v);
            } else {
                line->append(qreal(i), v);
            }
        }
        QPen pen(seriesColor, 2);
        line->setPen(pen);
        if (m_type == Area) {
            auto* area = new QAreaSeries(line);
            area->setPen(pen);
            QColor fill = seriesColor;
            fill.setAlpha(110);
            area->setBrush(fill);
            series = area;
        } else {
            line->setPointsVisible(m_type == Line && rows.size() <= 62);
            series = line;
        }
    }
    series->setName(m_report.yAxisTitle);
    content->addSeries(series);
    series->attachAxis(xAxis);
    series->attachAxis(yAxis);
}

bool LinkChart::saveImage(const QString& path)
{
    return grab().save(path, "PNG");
}

bool LinkChart::saveCsv(const QString& path) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    file.write(LinkReportBuilder::csv(m_report.rows).toUtf8());
    return file.commit();
}

void LinkChart::copyChart()
{
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->setPixmap(grab());
}

QString LinkChart::askPath(const QString& caption, const QString& filter, const QString& suffix)
{
    const QString base = LinkReportBuilder::chartSite(m_report.title).replace(u'/', u'_');
    QString path = QFileDialog::getSaveFileName(
        this, caption, (base.isEmpty() ? u"chart"_s : base) + u'.' + suffix, filter);
    if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty())
        path += u'.' + suffix;
    return path;
}

void LinkChart::askAndSaveImage()
{
    const QString path = askPath(tr("Save Chart as Image"), tr("PNG images (*.png)"), u"png"_s);
    if (!path.isEmpty() && !saveImage(path))
        MessageBox::inform(this, tr("The chart could not be saved to %1.").arg(path),
                           QMessageBox::Warning);
}

void LinkChart::askAndSaveCsv()
{
    const QString path = askPath(tr("Save Data as CSV"), tr("CSV files (*.csv)"), u"csv"_s);
    if (!path.isEmpty() && !saveCsv(path))
        MessageBox::inform(this, tr("The data could not be saved to %1.").arg(path),
                           QMessageBox::Warning);
}

} // namespace brandle

// SPDX-License-Identifier: MIT
#include "graphs/LinkChart.h"

#include "desktop/MessageBox.h"

#include <QAction>
#include <QAreaSeries>
#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLegendMarker>
#include <QLineSeries>
#include <QSaveFile>
#include <QStandardPaths>
#include <QValueAxis>

#include <iterator>

using namespace Qt::StringLiterals;

namespace brandle {

namespace {

// The colour of series s: the first is the chart's own blue, the others stay apart from it and
// from one another.
QColor seriesColor(qsizetype s)
{
    static const QColor colors[] = {{0x2a, 0x6f, 0xb5}, {0xd9, 0x82, 0x2b}, {0x3a, 0x9a, 0x4a},
                                    {0xc0, 0x39, 0x2b}, {0x8e, 0x5a, 0xc9}, {0x7f, 0x6a, 0x4d},
                                    {0xd3, 0x5f, 0xa8}, {0x5f, 0x6b, 0x78}, {0xa8, 0x9a, 0x1e},
                                    {0x1f, 0xa3, 0xb0}};
    return colors[s % qsizetype(std::size(colors))];
}

// The width, in pixels, that the chart-type list takes over the chart's top-left corner.
constexpr int TopLeftCornerTaken = 100;

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
    // Several series are named at the right, clear of the chart-type list and "Back".
    content->legend()->setAlignment(Qt::AlignRight);
    // Room above the plot for the chart-type list that lies over the top-left corner.
    content->setMargins(QMargins(4, 20, 8, 4));
    setChart(content);
    applyTheme();

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

void LinkChart::applyTheme()
{
    // Light or dark as the window around it.
    const bool dark = palette().color(QPalette::Window).lightness() < 128;
    QChart* content = chart();
    content->setTheme(dark ? QChart::ChartThemeDark : QChart::ChartThemeLight);
    // A theme brings its own fonts.
    content->setBackgroundRoundness(0);
    content->setTitleFont(sized(font(), 9, true));
    content->legend()->setFont(sized(font(), 7));
}

void LinkChart::changeEvent(QEvent* event)
{
    QChartView::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        applyTheme();
        redraw();
    }
}

int LinkChart::legendWidth() const
{
    // The legend takes its widest name (and a marker) from the plot's width.
    int widest = 0;
    if (m_report.hasLegend()) {
        const QFontMetrics metrics(chart()->legend()->font());
        for (const QString& name : m_report.series)
            widest = qMax(widest, metrics.horizontalAdvance(name) + 40);
    }
    return widest;
}

bool LinkChart::titleBelowList() const
{
    // A title too long to pass beside the chart-type list goes below it.
    const int titleWidth = QFontMetrics(chart()->titleFont()).horizontalAdvance(m_report.title);
    return titleWidth > width() - 2 * TopLeftCornerTaken;
}

int LinkChart::labelStep() const
{
    // A turned label needs its line height plus the axis's padding on both sides, or the axis cuts
    // it to "..." (with 4 pixels a side, 42 days on a chart 451 pixels wide were all cut).
    const int labelRoom =
        (width() - 70 - legendWidth()) / (QFontMetrics(sized(font(), 7)).height() + 12);
    return LinkReportBuilder::labelStep(int(m_report.rows.size()), labelRoom);
}

void LinkChart::resizeEvent(QResizeEvent* event)
{
    QChartView::resizeEvent(event);
    // The chart grows with the window: as many day labels as its new width holds, and the title
    // beside the type list where it fits, drawn once the chart has taken its new size.
    const auto changed = [this] {
        return labelStep() != m_labelStep || titleBelowList() != m_titleBelowList;
    };
    if (!m_report.rows.isEmpty() && !m_redrawPending && changed()) {
        m_redrawPending = true;
        QMetaObject::invokeMethod(
            this,
            [this, changed] {
                m_redrawPending = false;
                if (changed())
                    redraw();
            },
            Qt::QueuedConnection);
    }
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
    content->legend()->setVisible(m_report.hasLegend());
    m_titleBelowList = titleBelowList();
    content->setMargins(QMargins(4, m_titleBelowList ? 44 : 20, 8, 4));
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
    m_labelStep = labelStep();
    const int step = m_labelStep;
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
    const auto attach = [&](QAbstractSeries* series) {
        content->addSeries(series);
        series->attachAxis(xAxis);
        series->attachAxis(yAxis);
    };

    // With one series its name is the axis title; several are named in the legend.
    const auto seriesName = [this](qsizetype s) {
        return m_report.hasLegend() ? m_report.series.at(s) : m_report.yAxisTitle;
    };
    const auto value = [&rows](qsizetype row, qsizetype s) {
        return rows.at(row).values.value(s);
    };

    if (m_type == Bar) {
        auto* bars = new QBarSeries;
        bars->setBarWidth(0.7);
        for (qsizetype s = 0; s < m_report.series.size(); ++s) {
            auto* set = new QBarSet(seriesName(s));
            const QColor color = seriesColor(s);
            set->setColor(color);
            set->setBorderColor(color.darker(130));
            // A day without a figure has no bar (0 lies below the scale's bottom).
            for (qsizetype i = 0; i < rows.size(); ++i)
                set->append(qreal(value(i, s).value_or(0)));
            bars->append(set);
        }
        attach(bars);
        return;
    }

    // Lines, areas and steps break where a series has no figure: one piece per run of days,
    // the first named in the legend.
    for (qsizetype s = 0; s < m_report.series.size(); ++s) {
        const QColor color = seriesColor(s);
        QPen pen(color, 2);
        bool named = false;
        qsizetype i = 0;
        do {
            while (i < rows.size() && !value(i, s))
                ++i;
            if (i == rows.size() && named)
                break;
            auto* line = new QLineSeries;
            qsizetype points = 0;
            for (; i < rows.size() && value(i, s); ++i, ++points) {
                const qreal v = *value(i, s);
                if (m_type == Step) {
                    line->append(i - 0.5, v);
                    line->append(i + 0.5, v);
                } else {
                    line->append(qreal(i), v);
                }
            }
            line->setPen(pen);
            QAbstractSeries* piece = line;
            if (m_type == Area) {
                auto* area = new QAreaSeries(line);
                line->setParent(area); // an area does not own its line
                area->setPen(pen);
                QColor fill = color;
                fill.setAlpha(m_report.hasLegend() ? 60 : 110);
                area->setBrush(fill);
                piece = area;
            } else {
                // A lone day shows as a point; with few days every point does.
                line->setPointsVisible(points == 1 || (m_type == Line && rows.size() <= 62));
            }
            piece->setName(seriesName(s));
            attach(piece);
            if (named) {
                for (QLegendMarker* marker : content->legend()->markers(piece))
                    marker->setVisible(false);
            }
            named = true;
        } while (i < rows.size());
    }
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
    file.write(LinkReportBuilder::csv(m_report).toUtf8());
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
    // In the folder used last, else in the user's documents (not the working folder).
    QString folder = m_lastFolder;
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!QFileInfo(folder).isDir())
        folder = QDir::homePath();
    QString path = QFileDialog::getSaveFileName(
        this, caption, folder + u'/' + (base.isEmpty() ? u"chart"_s : base) + u'.' + suffix,
        filter);
    if (path.isEmpty())
        return path;
    if (QFileInfo(path).suffix().isEmpty())
        path += u'.' + suffix;
    m_lastFolder = QFileInfo(path).absolutePath();
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

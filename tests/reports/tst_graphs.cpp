// SPDX-License-Identifier: MIT
#include "TestMain.h"
#include "TestSupport.h"

#include "platform/LocaleText.h"
#include "platform/MessageBox.h"
#include "platform/Paths.h"
#include "platform/mConstants.h"
#include "reports/GraphsTab.h"
#include "reports/LinkChart.h"

#include <QApplication>
#include <QAreaSeries>
#include <QBarSeries>
#include <QBarSet>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QValueAxis>

using namespace Qt::Literals::StringLiterals;
using View = GraphsTab::View;

namespace {

QString logFolder()
{
    return Paths::inProgramFolder(mConstants::LogFolderName);
}

// Appends one lookup of the site with the total to the day's file.
void logDay(const QDate& day, const QString& site, int total)
{
    QDir().mkpath(logFolder());
    QFile file(logFolder() + u'/' + LocaleText::mmddyy(day) + mConstants::LogFileSuffix);
    QVERIFY(file.open(QIODevice::Append));
    file.write(u"<Results Site=\"%1\" Total=\"%2\" Fluctuation=\"0\" Created=\"1/1/2004 9:00:00 "
               "AM\"><Engine/></Results>\r\n"_s.arg(site, LocaleText::formatCount(total))
                   .toUtf8());
}

template <typename T> T* child(const QWidget& parent, const char* name)
{
    T* widget = parent.findChild<T*>(QLatin1String(name));
    if (!widget)
        qFatal("no child %s", name);
    return widget;
}

// Fills in the Graph URL and a "By Date" range and presses "View".
void report(const GraphsTab& tab, const QString& url, const QString& from, const QString& to)
{
    child<QComboBox>(tab, "cboReportType")->setCurrentIndex(0);
    tab.txtChartURL()->setText(url);
    child<QLineEdit>(tab, "txtReportFrom")->setText(from);
    child<QLineEdit>(tab, "txtReportTo")->setText(to);
    child<QPushButton>(tab, "cmdGetReport")->click();
}

// The drawn series' type and its values in drawing order.
std::pair<QAbstractSeries::SeriesType, QList<qreal>> drawn(const GraphsTab& tab)
{
    const QList<QAbstractSeries*> all = tab.chart()->chart()->series();
    if (all.size() != 1)
        return {};
    QList<qreal> values;
    if (auto* bars = qobject_cast<QBarSeries*>(all.first())) {
        for (int i = 0; i < bars->barSets().first()->count(); ++i)
            values << bars->barSets().first()->at(i);
    } else {
        auto* area = qobject_cast<QAreaSeries*>(all.first());
        for (const QPointF& p :
             (area ? area->upperSeries() : static_cast<QLineSeries*>(all.first()))->points())
            values << p.y();
    }
    return {all.first()->type(), values};
}

QValueAxis* yAxis(const GraphsTab& tab)
{
    return qobject_cast<QValueAxis*>(tab.chart()->chart()->axes(Qt::Vertical).value(0));
}

} // namespace

class TestGraphsTab : public QObject {
    Q_OBJECT
    QList<MessageBox::Request> m_boxes;

private slots:
    void init()
    {
        QDir(logFolder()).removeRecursively();
        m_boxes.clear();
        MessageBox::setTestHook([this](const MessageBox::Request& r) {
            m_boxes.append(r);
            return QMessageBox::Ok;
        });
    }
    void cleanup() { MessageBox::setTestHook({}); }

    // The notice is covered by the frame in the options view and shows in the disabled view;
    // turning logging on again after a chart gives the options, not the old chart.
    void loggingSwitchesViews()
    {
        GraphsTab tab;
        tab.resize(tab.sizeHint());
        tab.show();
        auto* notice = child<QLabel>(tab, "Label4");
        const QPoint middle = notice->geometry().center();
        QCOMPARE(tab.view(), View::Options);
        QVERIFY(tab.childAt(middle) != notice);
        tab.setLoggingEnabled(false);
        QCOMPARE(tab.view(), View::Disabled);
        QCOMPARE(tab.childAt(middle), notice);

        logDay(QDate(2004, 3, 1), u"a.com"_s, 10);
        tab.setLoggingEnabled(true);
        report(tab, u"a.com"_s, u"3/1/2004"_s, u"3/1/2004"_s);
        QCOMPARE(tab.view(), View::Chart);
        QVERIFY(child<QPushButton>(tab, "cmdReturn")->isVisible());
        QVERIFY(child<QComboBox>(tab, "cboChartType")->isVisible());
        tab.setLoggingEnabled(false);
        QCOMPARE(tab.view(), View::Disabled);
        QVERIFY(!child<QPushButton>(tab, "cmdReturn")->isVisible());
        tab.setLoggingEnabled(true);
        QCOMPARE(tab.view(), View::Options);
    }

    void reportTypeKeepsHiddenContents()
    {
        GraphsTab tab;
        auto* type = child<QComboBox>(tab, "cboReportType");
        auto* months = child<QComboBox>(tab, "cboReportParams");
        auto* from = child<QLineEdit>(tab, "txtReportFrom");
        from->setText(u"1/2/2004"_s);
        type->setCurrentIndex(1);
        QCOMPARE(child<QLabel>(tab, "lblReportParams")->text(), u"Month"_s);
        QVERIFY(!months->isHidden() && from->isHidden());
        QVERIFY(child<QLineEdit>(tab, "txtReportTo")->isHidden());
        months->setCurrentIndex(3);
        type->setCurrentIndex(0);
        QCOMPARE(child<QLabel>(tab, "lblReportParams")->text(), u"From Date"_s);
        QVERIFY(months->isHidden() && !from->isHidden());
        QCOMPARE(from->text(), u"1/2/2004"_s);
        type->setCurrentIndex(1);
        QCOMPARE(months->currentIndex(), 3);
    }

    void refusedReports_data()
    {
        QTest::addColumn<int>("month"); // -1: "By Date"
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("message");
        QTest::newRow("blank to-date")
            << -1 << "3/1/2004"
            << ""
            << "The dates you entered are either blank or invalid.\r\nThe required date format "
               "is MM/DD/YYYY for this report type selection.";
        QTest::newRow("reversed") << -1 << "3/2/2004"
                                  << "3/1/2004"
                                  << "To date cannot exceed the from date.";
        QTest::newRow("no month") << 0 << ""
                                  << ""
                                  << "You must select a month.";
    }
    void refusedReports()
    {
        QFETCH(int, month);
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, message);
        logDay(QDate(2004, 3, 1), u"a.com"_s, 10);
        GraphsTab tab;
        child<QComboBox>(tab, "cboReportParams")->setCurrentIndex(qMax(0, month));
        child<QComboBox>(tab, "cboReportType")->setCurrentIndex(month < 0 ? 0 : 1);
        child<QLineEdit>(tab, "txtReportFrom")->setText(from);
        child<QLineEdit>(tab, "txtReportTo")->setText(to);
        child<QPushButton>(tab, "cmdGetReport")->click();
        QCOMPARE(m_boxes.size(), 1);
        QCOMPARE(m_boxes.first().text, message);
        QCOMPARE(m_boxes.first().title, u"Brandle"_s);
        QCOMPARE(m_boxes.first().icon, QMessageBox::Information);
        QCOMPARE(QApplication::overrideCursor(), nullptr);
        QCOMPARE(tab.view(), View::Options);
        QCOMPARE(child<QLineEdit>(tab, "txtReportFrom")->text(), from);
    }

    // No data and failures end without a message, the pointer restored, in the options view.
    void silentEnds_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::newRow("no day has data") << "3/2/2004"
                                         << "3/3/2004";
        QTest::newRow("longer than a chart holds") << "1/1/1900"
                                                   << "1/1/2000";
    }
    void silentEnds()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        logDay(QDate(2004, 3, 2), u"b.com"_s, 10);
        logDay(QDate(2004, 3, 3), u"b.com"_s, 10);
        GraphsTab tab;
        report(tab, u"a.com"_s, from, to);
        QVERIFY(m_boxes.isEmpty());
        QCOMPARE(QApplication::overrideCursor(), nullptr);
        QCOMPARE(tab.view(), View::Options);
        QVERIFY(tab.chart()->report().rows.isEmpty());
    }

    void chartTypes_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("type");
        QTest::addColumn<QList<qreal>>("values");
        const QList<qreal> rows{120, 0, 150, 0};
        QTest::newRow("Bar") << 0 << int(QAbstractSeries::SeriesTypeBar) << rows;
        QTest::newRow("Line") << 1 << int(QAbstractSeries::SeriesTypeLine) << rows;
        QTest::newRow("Area") << 2 << int(QAbstractSeries::SeriesTypeArea) << rows;
        QTest::newRow("Step") << 3 << int(QAbstractSeries::SeriesTypeLine)
                              << QList<qreal>{120, 120, 0, 0, 150, 150, 0, 0};
    }
    void chartTypes()
    {
        QFETCH(int, index);
        QFETCH(int, type);
        QFETCH(QList<qreal>, values);
        logDay(QDate(2004, 3, 1), u"a.com"_s, 120);
        logDay(QDate(2004, 3, 3), u"a.com"_s, 150);
        GraphsTab tab;
        report(tab, u"a.com"_s, u"3/1/2004"_s, u"3/4/2004"_s);
        QCOMPARE(tab.view(), View::Chart);
        child<QComboBox>(tab, "cboChartType")->setCurrentIndex(index);
        QCOMPARE(drawn(tab), std::make_pair(QAbstractSeries::SeriesType(type), values));
        QCOMPARE(yAxis(tab)->min(), 108.0);
        QCOMPARE(yAxis(tab)->max(), 165.0);
        QCOMPARE(yAxis(tab)->tickCount(), 6);
        QCOMPARE(tab.chart()->chart()->axes(Qt::Horizontal).first()->titleText(),
                 u"3/1/2004 - 3/4/2004"_s);
    }

    // "Back" and a second report: the new rows replace the old ones, the chosen type stays.
    void secondReportKeepsChartType()
    {
        for (int d = 1; d <= 5; ++d)
            logDay(QDate(2004, 3, d), u"example.com"_s, 100 * d);
        GraphsTab tab;
        report(tab, u"http://Example.com"_s, u"3/1/2004"_s, u"3/5/2004"_s);
        QCOMPARE(tab.chart()->chart()->title(), u"http://Example.com"_s);
        child<QComboBox>(tab, "cboChartType")->setCurrentIndex(1);
        QCOMPARE(drawn(tab).first, QAbstractSeries::SeriesTypeLine);
        child<QPushButton>(tab, "cmdReturn")->click();
        QCOMPARE(tab.view(), View::Options);
        report(tab, u"example.com"_s, u"3/4/2004"_s, u"3/5/2004"_s);
        QCOMPARE(tab.view(), View::Chart);
        QCOMPARE(drawn(tab),
                 std::make_pair(QAbstractSeries::SeriesTypeLine, QList<qreal>{400, 500}));
        QCOMPARE(QApplication::overrideCursor(), nullptr);
        QVERIFY(m_boxes.isEmpty());
    }

    // A month still ahead has no files: every day is 0 and the Y axis runs from 0 to 1.
    void monthAheadChartsZeros()
    {
        const ManualClock clock(QDateTime(QDate(2026, 5, 15), QTime(9, 0)));
        GraphsTab tab;
        child<QComboBox>(tab, "cboReportType")->setCurrentIndex(1);
        child<QComboBox>(tab, "cboReportParams")->setCurrentIndex(12);
        child<QPushButton>(tab, "cmdGetReport")->click();
        QCOMPARE(tab.view(), View::Chart);
        QCOMPARE(tab.chart()->report().xAxisTitle, u"12/1/2026 - 12/31/2026"_s);
        QCOMPARE(drawn(tab).second, QList<qreal>(31, 0));
        QCOMPARE(yAxis(tab)->min(), 0.0);
        QCOMPARE(yAxis(tab)->max(), 1.0);
    }

    void exportFiles()
    {
        logDay(QDate(2004, 2, 28), u"a.com"_s, 1200);
        GraphsTab tab;
        report(tab, u"a.com"_s, u"2/28/2004"_s, u"2/29/2004"_s);
        QStringList texts;
        for (const QAction* action : tab.chart()->actions())
            texts << action->text();
        QCOMPARE(texts, (QStringList{u"Copy Chart"_s, u"Save Chart as Image\u2026"_s,
                                     u"Save Data as CSV\u2026"_s}));
        QTemporaryDir dir;
        QVERIFY(tab.chart()->saveCsv(dir.filePath(u"a.csv"_s)));
        QFile csv(dir.filePath(u"a.csv"_s));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QCOMPARE(csv.readAll(), QByteArray("date,count\n2004-02-28,1200\n2004-02-29,0\n"));
        QVERIFY(tab.chart()->saveImage(dir.filePath(u"a.png"_s)));
        QCOMPARE(QImage(dir.filePath(u"a.png"_s)).size(), tab.chart()->size());
        QVERIFY(!tab.chart()->saveCsv(dir.filePath(u"missing/a.csv"_s)));
    }

    // With BRANDLE_GRAPHS_SHOTS set to a folder, writes the tab with six weeks of data in each
    // chart type there, for looking at it.
    void screenshots()
    {
        const QString folder = qEnvironmentVariable("BRANDLE_GRAPHS_SHOTS");
        if (folder.isEmpty())
            QSKIP("BRANDLE_GRAPHS_SHOTS not set");
        const QDate first(2026, 10, 1);
        for (int d = 0; d < 42; ++d) {
            if (d % 17 != 9)
                logDay(first.addDays(d), u"example.com"_s, 41000 + 350 * d + (d * 7919 % 1500));
        }
        GraphsTab tab;
        tab.resize(tab.sizeHint());
        tab.show();
        report(tab, u"example.com"_s, u"10/1/2026"_s, u"11/11/2026"_s);
        const char* names[] = {"bar", "line", "area", "step"};
        for (int i = 0; i < 4; ++i) {
            child<QComboBox>(tab, "cboChartType")->setCurrentIndex(i);
            QTest::qWait(50); // the chart lays itself out on posted events
            QVERIFY(tab.grab().save(folder + u"/graphs-"_s + QLatin1String(names[i]) + u".png"_s));
        }
    }
};
BRANDLE_TEST(TestGraphsTab)

#include "tst_graphs.moc"

// SPDX-License-Identifier: MIT
#include "GuiTestSupport.h"
#include "TestMain.h"
#include "TestSupport.h"

#include "desktop/MessageBox.h"
#include "graphs/GraphsTab.h"
#include "graphs/LinkChart.h"
#include "log/LinkLog.h"
#include "platform/Paths.h"
#include "platform/mConstants.h"
#include "settings/Config.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLegendMarker>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace brandle;
using View = GraphsTab::View;

static void logDay(const QDate& day, int total, const QString& site = u"a.com"_s)
{
    QVERIFY(writeLog({{day, site, QString::number(total)}}));
}

template <typename T> static T* child(const QWidget& parent, const char* name)
{
    return parent.findChild<T*>(QLatin1StringView(name));
}

// Fills in a "By Date" range for the sites, presses "View" and waits for the report.
static void report(GraphsTab& tab, const QString& from, const QString& to,
                   const QString& sites = u"a.com"_s)
{
    child<QComboBox>(tab, "cboReportType")->setCurrentIndex(0);
    tab.txtChartURL()->setText(sites);
    child<QLineEdit>(tab, "txtReportFrom")->setText(from);
    child<QLineEdit>(tab, "txtReportTo")->setText(to);
    QSignalSpy done(&tab, &GraphsTab::reportFinished);
    child<QPushButton>(tab, "cmdGetReport")->click();
    if (tab.isBusy())
        QVERIFY(done.wait(10000));
}

// The names of the series in the chart that the legend shows.
static QStringList legendNames(const GraphsTab& tab)
{
    QCoreApplication::processEvents();
    QStringList names;
    const QChart* chart = tab.chart()->chart();
    for (QAbstractSeries* series : chart->series()) {
        for (QLegendMarker* marker : chart->legend()->markers(series)) {
            if (marker->isVisible())
                names << marker->label();
        }
    }
    return names;
}

class TestGraphsTab : public QObject {
    Q_OBJECT
    std::unique_ptr<MessageBoxRecorder> m_boxes;

private slots:
    void init()
    {
        QDir(Paths::inProgramFolder(mConstants::LogFolderName)).removeRecursively();
        m_boxes = std::make_unique<MessageBoxRecorder>();
    }
    void cleanup() { m_boxes.reset(); }

    // The chart type stays for the next report; logging on again gives the options, not the chart.
    void viewTransitions()
    {
        for (int d = 1; d <= 5; ++d)
            logDay(QDate(2004, 3, d), 100 * d);
        logDay(QDate(2004, 3, 6), 1, u"b.com"_s);
        GraphsTab tab;
        report(tab, u"3/1/2004"_s, u"3/5/2004"_s);
        QCOMPARE(tab.view(), View::Chart);
        child<QComboBox>(tab, "cboChartType")->setCurrentIndex(1);
        QCOMPARE(tab.chart()->chart()->series().value(0)->type(), QAbstractSeries::SeriesTypeLine);
        child<QPushButton>(tab, "cmdReturn")->click();
        QCOMPARE(tab.view(), View::Options);

        // No data, a failure, a refusal: no change, the pointer restored.
        report(tab, u"3/6/2004"_s, u"3/6/2004"_s);
        report(tab, u"1/1/1900"_s, u"1/1/2000"_s);
        QVERIFY(m_boxes->boxes().isEmpty());
        report(tab, u"3/2/2004"_s, u"3/1/2004"_s);
        QCOMPARE(m_boxes->texts().value(0), u"To date cannot exceed the from date."_s);
        QCOMPARE(QApplication::overrideCursor(), nullptr);
        QCOMPARE(tab.view(), View::Options);
        QCOMPARE(tab.chart()->report().rows.size(), 5);

        report(tab, u"3/4/2004"_s, u"3/5/2004"_s);
        QCOMPARE(tab.view(), View::Chart);
        QCOMPARE(tab.chart()->chart()->series().value(0)->type(), QAbstractSeries::SeriesTypeLine);
        QCOMPARE(tab.chart()->report().rows.last().count(), 500);
        QCOMPARE(QApplication::overrideCursor(), nullptr);

        tab.setLoggingEnabled(false);
        QCOMPARE(tab.view(), View::Disabled);
        tab.setLoggingEnabled(true);
        QCOMPARE(tab.view(), View::Options);
    }

    // The log is read on a worker: until it is done the window answers, shows that it is busy
    // and takes no second report.
    void busyWhileReading()
    {
        logDay(QDate(2004, 3, 1), 100);
        GraphsTab tab;
        child<QComboBox>(tab, "cboReportType")->setCurrentIndex(0);
        tab.txtChartURL()->setText(u"a.com"_s);
        child<QLineEdit>(tab, "txtReportFrom")->setText(u"3/1/2004"_s);
        child<QLineEdit>(tab, "txtReportTo")->setText(u"3/1/2004"_s);
        QSignalSpy done(&tab, &GraphsTab::reportFinished);
        auto* view = child<QPushButton>(tab, "cmdGetReport");
        view->click();
        // The result comes through the event loop, so this is the state while the log is read.
        QVERIFY(tab.isBusy());
        QVERIFY(!view->isEnabled());
        QVERIFY(!child<QProgressBar>(tab, "prgReport")->isHidden());
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::BusyCursor);
        QCOMPARE(tab.view(), View::Options);
        QVERIFY(done.wait(10000));
        QCOMPARE(done.value(0).value(0).toBool(), true);
        QVERIFY(view->isEnabled());
        QVERIFY(child<QProgressBar>(tab, "prgReport")->isHidden());
        QCOMPARE(QApplication::overrideCursor(), nullptr);
        QCOMPARE(tab.view(), View::Chart);
    }

    // Several sites and the engines of one are series of their own, named in a legend; a line
    // breaks where its series has no figure.
    void series()
    {
        const QDate d1(2004, 3, 1), d2(2004, 3, 2), d3(2004, 3, 3);
        QVERIFY(writeLog({{d1, u"a.com"_s, u"10"_s, {{u"Alpha"_s, u"4"_s}, {u"Beta"_s, u"6"_s}}},
                          {d1, u"b.com"_s, u"20"_s},
                          {d2, u"b.com"_s, u"30"_s},
                          {d3, u"a.com"_s, u"50"_s, {{u"Alpha"_s, u"50"_s}}}}));
        GraphsTab tab;
        tab.show(); // the legend lays out its markers once shown
        child<QComboBox>(tab, "cboChartType")->setCurrentIndex(1); // Line
        report(tab, u"3/1/2004"_s, u"3/3/2004"_s, u"a.com, b.com"_s);
        QCOMPARE(tab.view(), View::Chart);
        QVERIFY(tab.chart()->chart()->legend()->isVisible());
        QCOMPARE(legendNames(tab), (QStringList{u"a.com"_s, u"b.com"_s}));
        // a.com has no figure on the 2nd: two pieces; b.com none on the 3rd: one.
        QCOMPARE(tab.chart()->chart()->series().size(), 3);

        child<QPushButton>(tab, "cmdReturn")->click();
        report(tab, u"3/1/2004"_s, u"3/3/2004"_s, u"a.com,b.com,c.com,d.com,e.com,f.com"_s);
        QCOMPARE(m_boxes->texts().value(0), u"Give at most 5 sites, separated by commas."_s);
        child<QCheckBox>(tab, "chkByEngine")->setChecked(true);
        report(tab, u"3/1/2004"_s, u"3/3/2004"_s, u"a.com"_s);
        QCOMPARE(legendNames(tab), (QStringList{u"Total"_s, u"Alpha"_s, u"Beta"_s}));
        QCOMPARE(tab.chart()->report().rows.size(), 2); // the 2nd has no line for a.com

        // Bars carry every series, and so does the CSV.
        child<QComboBox>(tab, "cboChartType")->setCurrentIndex(0);
        QCOMPARE(legendNames(tab), (QStringList{u"Total"_s, u"Alpha"_s, u"Beta"_s}));
        QTemporaryDir dir;
        QVERIFY(tab.chart()->saveCsv(dir.filePath(u"c.csv"_s)));
        QCOMPARE(readText(dir.filePath(u"c.csv"_s)),
                 u"date,total,Alpha,Beta\n2004-03-01,10,4,6\n2004-03-03,50,50,\n"_s);
    }

    // "Leave out days without a log" is kept for the next report, in the store.
    void leaveOutDays()
    {
        clearStore();
        logDay(QDate(2004, 3, 1), 100);
        logDay(QDate(2004, 3, 3), 300);
        {
            GraphsTab tab;
            QVERIFY(!child<QCheckBox>(tab, "chkLeaveOutDays")->isChecked());
            report(tab, u"3/1/2004"_s, u"3/3/2004"_s);
            QCOMPARE(tab.chart()->report().rows.size(), 3);
            child<QCheckBox>(tab, "chkLeaveOutDays")->setChecked(true);
        }
        QCOMPARE(Config::text(Setting::LeaveOutDaysWithoutLog), u"1"_s);
        GraphsTab tab;
        QVERIFY(child<QCheckBox>(tab, "chkLeaveOutDays")->isChecked());
        report(tab, u"3/1/2004"_s, u"3/3/2004"_s);
        QCOMPARE(tab.chart()->report().rows.size(), 2);
    }

    // The chart is light or dark as the window around it, also when the theme changes.
    void chartFollowsThePalette()
    {
        const QPalette before = QApplication::palette();
        GraphsTab tab;
        tab.chart()->resize(300, 200);
        const auto background = [&tab] {
            return tab.chart()->grab().toImage().pixelColor(10, 190).lightness();
        };
        QVERIFY(background() > 128);
        QPalette dark = before;
        dark.setColor(QPalette::Window, QColor(0x23, 0x26, 0x29));
        dark.setColor(QPalette::WindowText, QColor(0xef, 0xf0, 0xf1));
        QApplication::setPalette(dark);
        QTRY_VERIFY(background() < 128);
        QApplication::setPalette(before);
        QTRY_VERIFY(background() > 128);
    }
};
BRANDLE_TEST(TestGraphsTab)

#include "tst_graphs.moc"

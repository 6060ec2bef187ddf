// SPDX-License-Identifier: MIT
#include "GuiTestSupport.h"
#include "TestMain.h"
#include "TestSupport.h"

#include "desktop/MessageBox.h"
#include "graphs/GraphsTab.h"
#include "graphs/LinkChart.h"
#include "log/LinkLog.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
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

// Fills in a "By Date" range for a.com and presses "View".
static void report(const GraphsTab& tab, const QString& from, const QString& to)
{
    child<QComboBox>(tab, "cboReportType")->setCurrentIndex(0);
    tab.txtChartURL()->setText(u"a.com"_s);
    child<QLineEdit>(tab, "txtReportFrom")->setText(from);
    child<QLineEdit>(tab, "txtReportTo")->setText(to);
    child<QPushButton>(tab, "cmdGetReport")->click();
}

class TestGraphsTab : public QObject {
    Q_OBJECT
    std::unique_ptr<MessageBoxRecorder> m_boxes;

private slots:
    void init() { m_boxes = std::make_unique<MessageBoxRecorder>(); }
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
};
BRANDLE_TEST(TestGraphsTab)

#include "tst_graphs.moc"

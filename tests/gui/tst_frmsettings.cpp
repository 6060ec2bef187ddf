// SPDX-License-Identifier: MIT
#include "GuiTestSupport.h"
#include "TestMain.h"
#include "TestSupport.h"

#include "desktop/Translations.h"
#include "forms/SourcesTab.h"
#include "forms/frmSettings.h"
#include "graphs/GraphsTab.h"
#include "graphs/LinkChart.h"
#include "platform/Store.h"
#include "settings/Config.h"
#include "settings/clsProps.h"
#include "tray/TrayIcon.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLegendMarker>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>

#include <httplib.h>

using namespace Qt::StringLiterals;
using namespace brandle;
using View = GraphsTab::View;

namespace {

template <typename T = QWidget> T* child(const QWidget& parent, const char* name)
{
    return parent.findChild<T*>(QLatin1StringView(name));
}

QString stored(const QString& key)
{
    return GetAppSetting(u"ParloApp"_s, key);
}

// Fills in a "By Date" range for the sites and presses "View"; waits for the report unless told.
void report(GraphsTab& tab, const QString& from, const QString& to,
            const QString& sites = u"a.com"_s, bool wait = true)
{
    child<QComboBox>(tab, "cboReportType")->setCurrentIndex(0);
    tab.txtChartURL()->setText(sites);
    child<QLineEdit>(tab, "txtReportFrom")->setText(from);
    child<QLineEdit>(tab, "txtReportTo")->setText(to);
    QSignalSpy done(&tab, &GraphsTab::reportFinished);
    child<QPushButton>(tab, "cmdGetReport")->click();
    if (wait && tab.isBusy())
        QVERIFY(done.wait(WaitMs));
}

// The different access keys of the captions ("Chec&k" gives "k"); "&&" is no key.
int accessKeys(const QStringList& captions)
{
    QSet<QChar> keys;
    for (const QString& caption : captions) {
        const qsizetype at = QString(caption).replace("&&"_L1, "__"_L1).indexOf(u'&');
        if (at >= 0 && at + 1 < caption.size())
            keys << caption.at(at + 1).toLower();
    }
    return int(keys.size());
}

// The names of the series in the chart that the legend shows.
QStringList legendNames(const GraphsTab& tab)
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

} // namespace

// The settings window and its Graphs and Sources tabs.
class TestFrmSettings : public GuiTestCase {
    Q_OBJECT

private slots:
    // Refused: nothing written, still unsaved. Saved: store, record (not URLName), up to ten
    // tracked sites (unused keys emptied) and the threshold, read back by the next window.
    void save_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("history");
        QTest::addColumn<QString>("tracked");
        QTest::addColumn<QString>("lines");    // after the heading; empty when valid
        QTest::addColumn<QStringList>("keys"); // Track1..Track10 afterwards
        QStringList eleven;
        for (int n = 1; n <= 11; ++n)
            eleven << u"s%1"_s.arg(n);
        const QStringList untouched = QStringList(9) << u"old.com"_s;
        // clang-format off
        QTest::newRow("valid, blank lines left out") << u" HTTP://Site.COM "_s << u"5"_s
            << u"\n b.com \n\nc.com\n"_s << QString()
            << QStringList{u"b.com"_s, u"c.com"_s, {}, {}, {}, {}, {}, {}, {}, {}};
        QTest::newRow("ten sites") << u"a.com"_s << u"5"_s << eleven.mid(0, 10).join(u'\n')
            << QString() << eleven.mid(0, 10);
        QTest::newRow("eleven sites") << u"a.com"_s << u"5"_s << eleven.join(u'\n')
            << u"Also check automatically: at most 10 sites\r\n"_s << untouched;
        QTest::newRow("spaces only") << u"   "_s << u"5"_s << QString() << u"Primary URL\r\n"_s
            << untouched;
        QTest::newRow("both") << QString() << u"x"_s << QString()
            << u"Primary URL\r\nURL history must be numberic\r\n"_s << untouched;
        // clang-format on
    }
    void save()
    {
        QFETCH(QString, url);
        QFETCH(QString, history);
        QFETCH(QString, tracked);
        QFETCH(QString, lines);
        QFETCH(QStringList, keys);
        const bool valid = lines.isEmpty();
        oProps.setURLName(u"previous.com"_s);
        SaveAppSetting(u"ParloApp"_s, u"Track10"_s, u"old.com"_s);
        frmSettings w;
        child<QLineEdit>(w, "txtSearchURL")->setText(url);
        child<QLineEdit>(w, "txtURLHistory")->setText(history);
        child<QPlainTextEdit>(w, "txtTrackURLs")->setPlainText(tracked);
        child<QCheckBox>(w, "chkHourCheck")->setChecked(false);
        child<QCheckBox>(w, "chkPlaySound")->setChecked(true);
        child<QSpinBox>(w, "txtAlertMin")->setValue(25);
        child<QComboBox>(w, "cboAlertUnit")->setCurrentIndex(1); // links
        child<QPushButton>(w, "cmdSave")->click();
        QCOMPARE(m_boxes->texts().join(u'|'),
                 valid ? QString() : u"The following fields are missing or invalid:\r\n"_s + lines);
        QCOMPARE(stored(u"URL1"_s), valid ? url : QString());
        QCOMPARE(stored(u"HrCks"_s), valid ? u"0"_s : QString());
        QCOMPARE(oProps.AutoCheck() + oProps.PlaySound(), valid ? u"01"_s : QString());
        QCOMPARE(oProps.URLName(), u"previous.com"_s);
        QCOMPARE(w.bChanged(), !valid);
        // The first Primary URL saved fills an empty Graph URL; a later one does not.
        QLineEdit* graphUrl = w.graphsTab()->txtChartURL();
        QCOMPARE(graphUrl->text(), valid ? url : QString());
        graphUrl->clear();
        child<QPushButton>(w, "cmdSave")->click();
        QCOMPARE(graphUrl->text(), QString());
        QStringList trackKeys;
        for (int n = 1; n <= 10; ++n)
            trackKeys << stored(u"Track%1"_s.arg(n));
        QCOMPARE(trackKeys, keys);
        QCOMPARE(stored(u"AlertMin"_s) + stored(u"AlertPct"_s), valid ? u"250"_s : QString());
        if (valid) {
            frmSettings again;
            again.fillFromProps();
            keys.removeAll(QString());
            QCOMPARE(again.trackedUrls(), keys);
            QCOMPARE(child<QSpinBox>(again, "txtAlertMin")->value(), 25);
            QCOMPARE(child<QComboBox>(again, "cboAlertUnit")->currentText(), u"links"_s);
        }
    }

    // A typed key carries the desktop's text (Delete sends DEL on X11).
    void changedFlag_data()
    {
        QTest::addColumn<QByteArray>("input"); // a check box to click, or a character to type
        QTest::addColumn<bool>("changed");
        QTest::newRow("character") << QByteArray("a") << true;
        QTest::newRow("delete") << QByteArray("\x7f") << false;
        QTest::newRow("logging box") << QByteArray("chkLogging") << true;
        QTest::newRow("topmost box") << QByteArray("chkWindowTop") << false;
    }
    void changedFlag()
    {
        QFETCH(QByteArray, input);
        QFETCH(bool, changed);
        frmSettings w;
        w.show();
        auto* url = child<QLineEdit>(w, "txtSearchURL");
        url->setText(u"a.com"_s);
        url->setFocus();
        if (input.size() > 1)
            QTest::mouseClick(child(w, input.constData()), Qt::LeftButton);
        else
            QTest::sendKeyEvent(QTest::Click, url, input == "a" ? Qt::Key_A : Qt::Key_Delete,
                                QString::fromLatin1(input), {});
        QCOMPARE(w.bChanged(), changed);
    }

    // Only "1" ticks a box, an empty value gives the default; the chart's site is the Primary URL.
    void fillFromProps()
    {
        oProps.setURLName(u"HTTP://Example.com"_s);
        oProps.setLogging(u"2"_s);
        oProps.setPlaySound(u"true"_s);
        oProps.setWindowTop(u"0"_s);
        frmSettings w;
        w.fillFromProps();
        QList<bool> states;
        for (const char* name : {"chkLogging", "chkHourCheck", "chkPlaySound", "chkWindowTop"})
            states << child<QCheckBox>(w, name)->isChecked();
        QCOMPARE(states, (QList<bool>{false, true, false, false}));
        QCOMPARE(w.graphsTab()->txtChartURL()->text(), u"HTTP://Example.com"_s);
    }

    // Edited settings are written before the lookup of the site is asked for.
    void checkURL_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("changed");
        QTest::addColumn<QString>("site");
        QTest::newRow("prefix in capitals, saved first")
            << u"HTTP://Example.COM/x"_s << true << u"example.com/x"_s;
        QTest::newRow("unchanged, nothing written") << u"Http://a.com"_s << false << u"a.com"_s;
    }
    void checkURL()
    {
        QFETCH(QString, url);
        QFETCH(bool, changed);
        QFETCH(QString, site);
        frmSettings w;
        child<QLineEdit>(w, "txtSearchURL")->setText(u"primary.com"_s);
        w.setChanged(changed);
        QCOMPARE(w.prepareLookup(url).value_or(u"<none>"_s), site);
        QVERIFY(m_boxes->boxes().isEmpty());
        QCOMPARE(stored(u"URL1"_s), changed ? u"primary.com"_s : QString());
        QVERIFY(!w.bChanged());
    }

    // Tab walks every control of a view in order, "..." and Exit included; all named; Esc closes.
    void keyboard_data()
    {
        QTest::addColumn<int>("tab"); // 2: the Graphs tab with a chart, 3: a report by month
        QTest::addColumn<QString>("start");
        QTest::addColumn<QStringList>("chain");
        // clang-format off
        QTest::newRow("Main URL, Exit offered") << 0 << u"txtSearchURL"_s << QStringList{
            u"cmdViewURL"_s, u"chkLogging"_s, u"chkHourCheck"_s, u"chkPlaySound"_s,
            u"chkWindowTop"_s, u"txtAlertMin"_s, u"cboAlertUnit"_s, u"txtTrackURLs"_s,
            u"cmdView"_s, u"cmdSave"_s, u"cmdClose"_s, u"cmdExit"_s, u"qt_tabwidget_tabbar"_s};
        QTest::newRow("Graphs") << 1 << u"txtChartURL"_s << QStringList{
            u"cboReportType"_s, u"txtReportFrom"_s, u"txtReportTo"_s, u"chkByEngine"_s,
            u"cmdGetReport"_s, u"chkLeaveOutDays"_s, u"cmdView"_s};
        QTest::newRow("Graphs, chart") << 2 << u"cboChartType"_s << QStringList{
            u"chtStats"_s, u"cmdReturn"_s, u"cmdView"_s};
        QTest::newRow("Graphs, by month") << 3 << u"cboReportType"_s << QStringList{
            u"cboReportParams"_s, u"chkByEngine"_s, u"cmdGetReport"_s, u"chkLeaveOutDays"_s};
        // clang-format on
    }
    void keyboard()
    {
        QFETCH(int, tab);
        QFETCH(QString, start);
        QFETCH(QStringList, chain);
        frmSettings w;
        w.setExitOffered(true);
        if (tab == 2) {
            QVERIFY(writeLog({{QDate(2004, 3, 1), u"a.com"_s, u"100"_s}}));
            report(*w.graphsTab(), u"3/1/2004"_s, u"3/1/2004"_s);
        }
        child<QComboBox>(w, "cboReportType")->setCurrentIndex(tab == 3 ? 1 : 0);
        w.showOnTab(qMin(tab, 1));
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.findChild<QWidget*>(start)->setFocus();
        QStringList walked;
        for (int i = 0; i < chain.size(); ++i) {
            QTest::keyClick(w.focusWidget(), Qt::Key_Tab);
            walked << w.focusWidget()->objectName();
        }
        QCOMPARE(walked, chain);
        QStringList unnamed;
        for (QWidget* c : w.findChildren<QWidget*>()) {
            // A widget whose focus goes to another (a chart's drawing area) is named by it.
            if (!c->isVisible() || !(c->focusPolicy() & Qt::TabFocus) || c->focusProxy() ||
                c->objectName().startsWith(u"qt_"_s))
                continue;
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(c);
            if (!a || a->text(QAccessible::Name).trimmed().isEmpty())
                unnamed << c->objectName();
        }
        QCOMPARE(unnamed, QStringList());
        QTest::keyClick(w.focusWidget(), Qt::Key_Escape);
        QVERIFY(!w.isVisible());
    }

    // No room on the disk: the error box, the old file, record and unsaved state kept, no lookup.
    void saveFails()
    {
        QVERIFY(SaveAppSetting(u"ParloApp"_s, u"URL1"_s, u"old.com"_s));
        QVERIFY(SaveAppSetting(u"LinkEng"_s, u"Eng-TotalCount"_s, QString(3000, u'7')));
        const QString before = readText(StoreSession::filePath());
        oProps.setAutoCheck(u"1"_s);
        frmSettings w;
        child<QLineEdit>(w, "txtSearchURL")->setText(QString(2000, u'n'));
        child<QCheckBox>(w, "chkHourCheck")->setChecked(false);
        std::optional<QString> prepared;
        {
            const FileSizeLimit noRoom(2048);
            child<QPushButton>(w, "cmdSave")->click();
            prepared = w.prepareLookup(u"a.com"_s);
        }
        QCOMPARE(m_boxes->boxes().size(), 2);
        QCOMPARE(m_boxes->boxes().at(0).title, u"Brandle"_s);
        QCOMPARE(m_boxes->boxes().at(0).icon, QMessageBox::Critical);
        QVERIFY2(m_boxes->texts().at(0).startsWith(u"335 - The settings could not be saved: "_s),
                 qPrintable(m_boxes->texts().at(0)));
        QVERIFY(!prepared);
        QCOMPARE(readText(StoreSession::filePath()), before);
        QCOMPARE(oProps.AutoCheck(), u"1"_s);
        QVERIFY(w.bChanged());
    }

    // Busy while the worker reads the log; the chart type stays; no data, a failure or a refusal
    // keep the options and restore the pointer; logging on again gives the options. A day without
    // a log is 0 unless "Leave out days without a log", kept in the store, is on.
    void views()
    {
        for (int d : {1, 2, 3, 5})
            QVERIFY(writeLog({{QDate(2004, 3, d), u"a.com"_s, QString::number(100 * d)}}));
        QVERIFY(writeLog({{QDate(2004, 3, 6), u"b.com"_s, u"1"_s}}));
        GraphsTab tab;
        auto* view = child<QPushButton>(tab, "cmdGetReport");
        auto* bar = child<QProgressBar>(tab, "prgReport");
        QSignalSpy done(&tab, &GraphsTab::reportFinished);
        report(tab, u"3/1/2004"_s, u"3/5/2004"_s, u"a.com"_s, false);
        QVERIFY(tab.isBusy() && !view->isEnabled() && !bar->isHidden());
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::BusyCursor);
        QCOMPARE(tab.view(), View::Options);
        QVERIFY(done.wait(WaitMs));
        QCOMPARE(done.value(0).value(0).toBool(), true);
        QVERIFY(view->isEnabled() && bar->isHidden());
        QCOMPARE(QApplication::overrideCursor(), nullptr);
        QCOMPARE(tab.view(), View::Chart);
        child<QComboBox>(tab, "cboChartType")->setCurrentIndex(1);
        QCOMPARE(tab.chart()->chart()->series().value(0)->type(), QAbstractSeries::SeriesTypeLine);
        child<QPushButton>(tab, "cmdReturn")->click();
        QCOMPARE(tab.view(), View::Options);

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
        tab.setLoggingEnabled(false);
        QCOMPARE(tab.view(), View::Disabled);
        tab.setLoggingEnabled(true);
        QCOMPARE(tab.view(), View::Options);
        child<QCheckBox>(tab, "chkLeaveOutDays")->setChecked(true);
        report(tab, u"3/1/2004"_s, u"3/5/2004"_s);
        QCOMPARE(tab.chart()->report().rows.size(), 4);
        QVERIFY(child<QCheckBox>(GraphsTab(), "chkLeaveOutDays")->isChecked());
    }

    // Sites, or the engines of one, are series named in a legend; a line breaks at a gap.
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
        QVERIFY(tab.chart()->chart()->legend()->isVisible());
        QCOMPARE(legendNames(tab), (QStringList{u"a.com"_s, u"b.com"_s}));
        // a.com has no figure on the 2nd: two pieces; b.com none on the 3rd: one.
        QCOMPARE(tab.chart()->chart()->series().size(), 3);

        child<QPushButton>(tab, "cmdReturn")->click();
        report(tab, u"3/1/2004"_s, u"3/3/2004"_s, u"a.com,b.com,c.com,d.com,e.com,f.com"_s);
        QCOMPARE(m_boxes->texts().value(0), u"Give at most 5 sites, separated by commas."_s);
        child<QCheckBox>(tab, "chkByEngine")->setChecked(true);
        report(tab, u"3/1/2004"_s, u"3/3/2004"_s);
        QCOMPARE(legendNames(tab), (QStringList{u"Total"_s, u"Alpha"_s, u"Beta"_s}));
        child<QComboBox>(tab, "cboChartType")->setCurrentIndex(0); // bars carry every series too
        QCOMPARE(legendNames(tab), (QStringList{u"Total"_s, u"Alpha"_s, u"Beta"_s}));
    }

    // The chart is light or dark as the window around it, also when the theme changes.
    void chartFollowsThePalette()
    {
        const QPalette before = QApplication::palette();
        GraphsTab tab;
        tab.chart()->resize(300, 200);
        const auto lightness = [&tab] {
            return tab.chart()->grab().toImage().pixelColor(10, 190).lightness();
        };
        QVERIFY(lightness() > 128);
        QPalette dark = before;
        dark.setColor(QPalette::Window, QColor(0x23, 0x26, 0x29));
        dark.setColor(QPalette::WindowText, QColor(0xef, 0xf0, 0xf1));
        QApplication::setPalette(dark);
        QTRY_VERIFY_WITH_TIMEOUT(lightness() < 128, WaitMs);
        QApplication::setPalette(before);
        QTRY_VERIFY_WITH_TIMEOUT(lightness() > 128, WaitMs);
    }

    // German found beside the program, other languages English (whose tray menu repeats R and C).
    void language_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("menuKeys"); // different keys in the tray menu, of 7
        QTest::newRow("German") << u"de_DE"_s << u"Brandle - Linkpopularität prüfen"_s << 7;
        QTest::newRow("French: none, English stays")
            << u"fr_FR"_s << u"Brandle - Link Popularity Checker"_s << 5;
    }
    void language()
    {
        QFETCH(QString, locale);
        QFETCH(QString, title);
        QFETCH(int, menuKeys);
        installTranslations(QLocale(locale));
        frmSettings w;
        QCOMPARE(w.windowTitle(), title);
        QStringList buttons;
        for (const char* name : {"cmdView", "cmdSave", "cmdClose", "cmdExit", "cmdGetReport"})
            buttons << child<QAbstractButton>(w, name)->text();
        QCOMPARE(accessKeys(buttons), 5);
        TrayIcon tray;
        QStringList items;
        for (QAction* action : tray.menu()->actions())
            items << action->text();
        QCOMPARE(accessKeys(items), menuKeys);
    }

    // The Sources tab against a service host played by a local server; no keyring answers (the
    // session bus is made unreachable), so the tab tells how to put keys into the host's file.
    void sources()
    {
        TestServer host;
        host.route(
            u"/sources"_s,
            R"([{"id":"majestic","name":"Majestic Million","state":"loading","progress":0.37,)"
            R"("release":"majestic_million.csv","updated":"2026-03-01T10:00:00Z",)"
            R"("error":"the download was cut short"},)"
            R"({"id":"bing","name":"Bing Webmaster Tools","state":"ready","key":"keyring"},)"
            R"({"id":"moz","name":"Moz Links API","state":"off","key":"none",)"
            R"("error":"no moz-token is stored"}])",
            200, u"application/json"_s);
        std::string posted;
        host.server().Post(
            "/sources/bing/test", [&](const httplib::Request& req, httplib::Response& res) {
                posted = req.get_param_value("site") + " " + req.body;
                res.set_content(
                    R"({"id":"bing","site":"example.com","count":1234,"unit":"inbound links"})",
                    "application/json");
            });
        host.start();
        const ScopedEnv serviceHost("BRANDLE_SERVICE_HOST", host.hostPort().toUtf8());
        const ScopedEnv noKeyring("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent");
        frmSettings w;
        child<QLineEdit>(w, "txtSearchURL")->setText(u"HTTP://www.Example.com/blog"_s);
        QSignalSpy refreshed(w.sourcesTab(), &SourcesTab::refreshed);
        w.showOnTab(2);
        QVERIFY(refreshed.wait(WaitMs));
        const auto text = [&w](const char* name) {
            return child<QLabel>(w, name)->text();
        };
        const auto* progress = child<QProgressBar>(w, "prgSource_majestic");
        QVERIFY(progress->isVisible());
        QCOMPARE(progress->value(), 370);
        QVERIFY2(text("lblState_majestic")
                     .startsWith(u"Loading, serving majestic_million.csv, updated 3/1/2026"_s),
                 qPrintable(text("lblState_majestic")));
        QCOMPARE(text("lblError_majestic"), u"Last error: the download was cut short"_s);
        QCOMPARE(text("lblState_moz"), u"Off: no moz-token is stored"_s);
        QVERIFY(text("lblState_dataforseo").startsWith(u"Not enabled: add dataforseo to"_s));
        QCOMPARE(child<QLineEdit>(w, "txtKey_bing-key")->placeholderText(),
                 u"Stored in the keyring"_s);
        QCOMPARE(child<QLineEdit>(w, "txtKey_moz-token")->placeholderText(),
                 u"Paste your key here"_s);

        // "Test" tries to store the typed key first; the host gets the site, never the key.
        child<QLineEdit>(w, "txtKey_bing-key")->setText(u"typed-secret"_s);
        QSignalSpy tested(w.sourcesTab(), &SourcesTab::tested);
        child<QPushButton>(w, "cmdTest_bing")->click();
        QVERIFY(tested.wait(WaitMs));
        QCOMPARE(text("lblTest_bing"), u"example.com: 1,234 inbound links"_s);
        QCOMPARE(QString::fromStdString(posted), u"www.example.com "_s);
        QVERIFY(child<QLabel>(w, "lblKeyring")->isVisible());
        QCOMPARE(child<QLineEdit>(w, "txtKey_bing-key")->text(), u"typed-secret"_s);
    }
};

BRANDLE_TEST(TestFrmSettings)
#include "tst_frmsettings.moc"

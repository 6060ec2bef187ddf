// SPDX-License-Identifier: MIT
#include "GuiTestSupport.h"
#include "TestMain.h"
#include "TestSupport.h"

#include "desktop/MessageBox.h"
#include "forms/frmSettings.h"
#include "graphs/GraphsTab.h"
#include "platform/Store.h"
#include "settings/clsProps.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace brandle;

struct Window {
    frmSettings w;
    QLineEdit* url = w.findChild<QLineEdit*>(u"txtSearchURL"_s);
    QCheckBox* box(const QString& name) const { return w.findChild<QCheckBox*>(name); }
    static QString stored(const QString& key) { return GetAppSetting(u"ParloApp"_s, key); }
};

class TestFrmSettings : public QObject {
    Q_OBJECT
    std::unique_ptr<MessageBoxRecorder> m_boxes;

private slots:
    void init()
    {
        clearStore();
        oProps = clsProps();
        m_boxes = std::make_unique<MessageBoxRecorder>();
    }
    void cleanup() { m_boxes.reset(); }

    // Refused: nothing is written and the edits still count as unsaved. Saved: the store and
    // the record, all but its URLName.
    void save_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("history");
        QTest::addColumn<QString>("lines"); // after the heading; empty when valid
        QTest::newRow("valid") << u" HTTP://Site.COM "_s << u"5"_s << QString();
        QTest::newRow("spaces only") << u"   "_s << u"5"_s << u"Primary URL\r\n"_s;
        QTest::newRow("both") << QString() << u"x"_s
                              << u"Primary URL\r\nURL history must be numberic\r\n"_s;
    }
    void save()
    {
        QFETCH(QString, url);
        QFETCH(QString, history);
        QFETCH(QString, lines);
        const bool valid = lines.isEmpty();
        oProps.setURLName(u"previous.com"_s);
        Window win;
        win.url->setText(url);
        win.w.findChild<QLineEdit*>(u"txtURLHistory"_s)->setText(history);
        win.box(u"chkHourCheck"_s)->setChecked(false);
        win.box(u"chkPlaySound"_s)->setChecked(true);
        win.w.findChild<QPushButton*>(u"cmdSave"_s)->click();
        QCOMPARE(m_boxes->texts().join(u'|'),
                 valid ? QString() : u"The following fields are missing or invalid:\r\n"_s + lines);
        QCOMPARE(Window::stored(u"URL1"_s), valid ? url : QString());
        QCOMPARE(Window::stored(u"HrCks"_s), valid ? u"0"_s : QString());
        QCOMPARE(oProps.AutoCheck() + oProps.PlaySound(), valid ? u"01"_s : QString());
        QCOMPARE(oProps.URLName(), u"previous.com"_s);
        QCOMPARE(win.w.bChanged(), !valid);
    }

    // "Also check automatically" and the alert threshold: saved under keys of their own, up to
    // ten sites, and read back when the window is filled.
    void trackedAndThreshold_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("stored"); // Track1..Track10; none when refused
        const QStringList eleven{u"s1"_s, u"s2"_s, u"s3"_s, u"s4"_s,  u"s5"_s, u"s6"_s,
                                 u"s7"_s, u"s8"_s, u"s9"_s, u"s10"_s, u"s11"_s};
        QStringList ten = eleven.mid(0, 10);
        QTest::newRow("blank lines left out")
            << u"\n b.com \n\nc.com\n"_s
            << QStringList{u"b.com"_s, u"c.com"_s, {}, {}, {}, {}, {}, {}, {}, {}};
        QTest::newRow("ten sites") << ten.join(u'\n') << ten;
        QTest::newRow("eleven sites refused") << eleven.join(u'\n') << QStringList();
    }
    void trackedAndThreshold()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, stored);
        Window win;
        win.url->setText(u"a.com"_s);
        SaveAppSetting(u"ParloApp"_s, u"Track10"_s, u"old.com"_s);
        win.w.findChild<QPlainTextEdit*>(u"txtTrackURLs"_s)->setPlainText(typed);
        win.w.findChild<QSpinBox*>(u"txtAlertMin"_s)->setValue(25);
        win.w.findChild<QComboBox*>(u"cboAlertUnit"_s)->setCurrentIndex(1); // links
        QVERIFY(win.w.bChanged());
        QCOMPARE(win.w.SaveSettings(), !stored.isEmpty());
        if (stored.isEmpty()) {
            QCOMPARE(m_boxes->texts().value(0),
                     u"The following fields are missing or invalid:\r\nAlso check "
                     "automatically: at most 10 sites\r\n"_s);
            QCOMPARE(Window::stored(u"Track10"_s), u"old.com"_s);
            return;
        }
        QStringList keys;
        for (int n = 1; n <= 10; ++n)
            keys << Window::stored(u"Track%1"_s.arg(n));
        QCOMPARE(keys, stored);
        QCOMPARE(Window::stored(u"AlertMin"_s) + Window::stored(u"AlertPct"_s), u"250"_s);

        Window again;
        again.w.fillFromProps();
        QCOMPARE(again.w.trackedUrls(), stored.filter(QRegularExpression(u"."_s)));
        QCOMPARE(again.w.findChild<QSpinBox*>(u"txtAlertMin"_s)->value(), 25);
        QCOMPARE(again.w.findChild<QComboBox*>(u"cboAlertUnit"_s)->currentText(), u"links"_s);
    }

    // A character typed into the URL box carries the text of the desktop's key event (Delete
    // sends DEL on X11).
    void changedFlag_data()
    {
        QTest::addColumn<QString>("input"); // a check box to click, or a character to type
        QTest::addColumn<bool>("changed");
        QTest::newRow("character") << u"a"_s << true;
        QTest::newRow("delete") << u"\x7f"_s << false;
        QTest::newRow("logging box") << u"chkLogging"_s << true;
        QTest::newRow("topmost box") << u"chkWindowTop"_s << false;
    }
    void changedFlag()
    {
        QFETCH(QString, input);
        QFETCH(bool, changed);
        Window win;
        win.w.show();
        win.url->setText(u"a.com"_s);
        win.url->setFocus();
        if (input.size() > 1)
            QTest::mouseClick(win.box(input), Qt::LeftButton);
        else
            QTest::sendKeyEvent(QTest::Click, win.url,
                                input == u"\x7f"_s ? Qt::Key_Delete : Qt::Key_A, input, {});
        QCOMPARE(win.w.bChanged(), changed);
    }

    // The record's Logging, AutoCheck, PlaySound and WindowTop as stored; the boxes afterwards
    // in the same order.
    void fillFromProps_data()
    {
        QTest::addColumn<QStringList>("record");
        QTest::addColumn<QList<bool>>("checked");
        QTest::addColumn<bool>("changed");
        // clang-format off
        QTest::newRow("empty record gives defaults") << QStringList{{}, {}, {}, {}}
            << QList<bool>{true, true, false, true} << true;
        QTest::newRow("only topmost off") << QStringList{u"1"_s, u"1"_s, u"1"_s, u"0"_s}
            << QList<bool>{true, true, true, false} << false;
        QTest::newRow("only \"1\" is on") << QStringList{u"2"_s, u"1"_s, u"true"_s, u"1"_s}
            << QList<bool>{false, true, false, true} << true;
        // clang-format on
    }
    void fillFromProps()
    {
        QFETCH(QStringList, record);
        QFETCH(QList<bool>, checked);
        QFETCH(bool, changed);
        oProps.setURLName(u"HTTP://Example.com"_s);
        oProps.setLogging(record[0]);
        oProps.setAutoCheck(record[1]);
        oProps.setPlaySound(record[2]);
        oProps.setWindowTop(record[3]);
        Window win;
        win.w.fillFromProps();
        QList<bool> states;
        for (const QString& name :
             {u"chkLogging"_s, u"chkHourCheck"_s, u"chkPlaySound"_s, u"chkWindowTop"_s})
            states << win.box(name)->isChecked();
        QCOMPARE(states, checked);
        QCOMPARE(win.w.bChanged(), changed);
        QCOMPARE(win.w.graphsTab()->txtChartURL()->text(), u"HTTP://Example.com"_s);
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
        Window win;
        win.url->setText(u"primary.com"_s);
        win.w.setChanged(changed);
        const std::optional<QString> prepared = win.w.prepareLookup(url);
        QVERIFY(m_boxes->boxes().isEmpty());
        QCOMPARE(prepared.value_or(u"<none>"_s), site);
        QCOMPARE(Window::stored(u"URL1"_s), changed ? u"primary.com"_s : QString());
        QVERIFY(!win.w.bChanged());
    }

    // Tab walks every control in order, the "..." button and Exit included; Esc is Close.
    void keyboard_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<QString>("start");
        QTest::addColumn<bool>("exitOffered");
        QTest::addColumn<QStringList>("chain");
        QTest::newRow("Main URL") << 0 << u"txtSearchURL"_s << false
                                  << QStringList{u"cmdViewURL"_s,   u"chkLogging"_s,
                                                 u"chkHourCheck"_s, u"chkPlaySound"_s,
                                                 u"chkWindowTop"_s, u"txtAlertMin"_s,
                                                 u"cboAlertUnit"_s, u"txtTrackURLs"_s,
                                                 u"cmdView"_s,      u"cmdSave"_s,
                                                 u"cmdClose"_s,     u"qt_tabwidget_tabbar"_s};
        QTest::newRow("Main URL with Exit")
            << 0 << u"txtTrackURLs"_s << true
            << QStringList{u"cmdView"_s, u"cmdSave"_s, u"cmdClose"_s, u"cmdExit"_s,
                           u"qt_tabwidget_tabbar"_s};
        QTest::newRow("Graphs") << 1 << u"txtChartURL"_s << false
                                << QStringList{u"cboReportType"_s, u"txtReportFrom"_s,
                                               u"txtReportTo"_s,   u"chkByEngine"_s,
                                               u"cmdGetReport"_s,  u"chkLeaveOutDays"_s,
                                               u"cmdView"_s};
        QTest::newRow("Graphs, chart") << 2 << u"cboChartType"_s << false
                                       << QStringList{u"chtStats"_s, u"cmdReturn"_s, u"cmdView"_s};
    }
    void keyboard()
    {
        QFETCH(int, tab);
        QFETCH(QString, start);
        QFETCH(bool, exitOffered);
        QFETCH(QStringList, chain);
        Window win;
        win.w.setExitOffered(exitOffered);
        if (tab == 2) { // the Graphs tab with a chart
            QVERIFY(writeLog({{QDate(2004, 3, 1), u"a.com"_s, u"100"_s}}));
            win.w.graphsTab()->txtChartURL()->setText(u"a.com"_s);
            QSignalSpy charted(win.w.graphsTab(), &GraphsTab::reportFinished);
            win.w.graphsTab()->ShowLinkReport(u"3/1/2004"_s, u"3/1/2004"_s);
            QVERIFY(charted.wait(10000));
        }
        win.w.showOnTab(qMin(tab, 1));
        QVERIFY(QTest::qWaitForWindowActive(&win.w));
        win.w.findChild<QWidget*>(start)->setFocus();
        QStringList walked;
        for (int i = 0; i < chain.size(); ++i) {
            QTest::keyClick(win.w.focusWidget(), Qt::Key_Tab);
            walked << win.w.focusWidget()->objectName();
        }
        QCOMPARE(walked, chain);
        QTest::keyClick(win.w.focusWidget(), Qt::Key_Escape);
        QVERIFY(!win.w.isVisible());
    }

    // What a screen reader names: every control that takes the focus, on every tab and view,
    // has a name from its own text, its label or its accessible name.
    void accessibleNames()
    {
        QVERIFY(writeLog({{QDate(2004, 3, 1), u"a.com"_s, u"100"_s}}));
        Window win;
        win.w.setExitOffered(true);
        win.w.showOnTab(0);
        QStringList unnamed;
        const auto check = [&] {
            for (QWidget* w : win.w.findChildren<QWidget*>()) {
                // A widget whose focus goes to another (a chart's drawing area) is named by it.
                if (!w->isVisible() || !(w->focusPolicy() & Qt::TabFocus) || w->focusProxy() ||
                    w->objectName().startsWith(u"qt_"_s))
                    continue;
                QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
                if (!a || a->text(QAccessible::Name).trimmed().isEmpty())
                    unnamed << w->objectName();
            }
        };
        check();
        win.w.tabs()->setCurrentIndex(1);
        check();
        win.w.findChild<QComboBox*>(u"cboReportType"_s)->setCurrentIndex(1);
        check();
        win.w.graphsTab()->txtChartURL()->setText(u"a.com"_s);
        QSignalSpy charted(win.w.graphsTab(), &GraphsTab::reportFinished);
        win.w.graphsTab()->ShowLinkReport(u"3/1/2004"_s, u"3/1/2004"_s);
        QVERIFY(charted.wait(10000));
        QCOMPARE(win.w.graphsTab()->view(), GraphsTab::View::Chart);
        check();
        unnamed.removeDuplicates();
        QCOMPARE(unnamed.join(u","_s), QString());
    }

    // While there is no tray the window offers Exit.
    void exitButton()
    {
        Window win;
        auto* exit = win.w.findChild<QPushButton*>(u"cmdExit"_s);
        QSignalSpy asked(&win.w, &frmSettings::exitRequested);
        win.w.showOnTab(0);
        QVERIFY(!exit->isVisible());
        win.w.setExitOffered(true);
        QVERIFY(exit->isVisible());
        QCOMPARE(exit->text(), u"E&xit"_s);
        exit->click();
        QCOMPARE(asked.size(), 1);
    }

    // A save the disk has no room for: the error box, the old file as it was, the record and
    // the unsaved state unchanged, and no lookup.
    void saveFails()
    {
        QVERIFY(SaveAppSetting(u"ParloApp"_s, u"URL1"_s, u"old.com"_s));
        QVERIFY(SaveAppSetting(u"LinkEng"_s, u"Eng-TotalCount"_s, QString(3000, u'7')));
        QFile file(StoreSession::filePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray before = file.readAll();
        file.close();
        oProps.setAutoCheck(u"1"_s);
        Window win;
        win.url->setText(QString(2000, u'n'));
        win.box(u"chkHourCheck"_s)->setChecked(false);
        std::optional<QString> prepared;
        {
            const FileSizeLimit noRoom(2048);
            win.w.findChild<QPushButton*>(u"cmdSave"_s)->click();
            prepared = win.w.prepareLookup(u"a.com"_s);
        }
        QCOMPARE(m_boxes->boxes().size(), 2);
        QCOMPARE(m_boxes->boxes().at(0).title, u"Brandle"_s);
        QCOMPARE(m_boxes->boxes().at(0).icon, QMessageBox::Critical);
        QVERIFY2(m_boxes->texts().at(0).startsWith(u"335 - The settings could not be saved: "_s),
                 qPrintable(m_boxes->texts().at(0)));
        QVERIFY(!prepared);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
        QCOMPARE(oProps.AutoCheck(), u"1"_s);
        QVERIFY(win.w.bChanged());
    }
};

BRANDLE_TEST(TestFrmSettings)
#include "tst_frmsettings.moc"

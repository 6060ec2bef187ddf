// SPDX-License-Identifier: MIT
#include "TestMain.h"
#include "TestSupport.h"

#include "platform/MessageBox.h"
#include "platform/Store.h"
#include "platform/StoreKeys.h"
#include "reports/GraphsTab.h"
#include "settings/clsProps.h"
#include "settings/frmSettings.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString Heading = u"The following fields are missing or invalid:\r\n"_s;

QString stored(QLatin1String key)
{
    return GetAppSetting(StoreKeys::SectionApp, key);
}

// Records every message box and answers it with OK.
struct BoxRecorder {
    QList<MessageBox::Request> boxes;
    BoxRecorder()
    {
        MessageBox::setTestHook([this](const MessageBox::Request& r) {
            boxes << r;
            return QMessageBox::Ok;
        });
    }
    ~BoxRecorder() { MessageBox::setTestHook(nullptr); }
};

struct Window {
    frmSettings w;
    QLineEdit* url = w.findChild<QLineEdit*>(u"txtSearchURL"_s);
    QLineEdit* history = w.findChild<QLineEdit*>(u"txtURLHistory"_s);
    QCheckBox* box(const QString& name) const { return w.findChild<QCheckBox*>(name); }
    QPushButton* button(const QString& name) const { return w.findChild<QPushButton*>(name); }
};

} // namespace

class TestFrmSettings : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        clearStore();
        oProps = clsProps();
    }

    void validation_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("history");
        QTest::addColumn<QString>("lines"); // after the heading; empty when valid
        QTest::newRow("valid") << u"a.com"_s << u"5"_s << QString();
        QTest::newRow("signed padded history") << u"a.com"_s << u" -3 "_s << QString();
        QTest::newRow("empty url") << QString() << u"5"_s << u"Primary URL\r\n"_s;
        QTest::newRow("spaces only") << u"   "_s << u"5"_s << u"Primary URL\r\n"_s;
        QTest::newRow("history text")
            << u"a.com"_s << u"five"_s << u"URL history must be numberic\r\n"_s;
        QTest::newRow("history empty")
            << u"a.com"_s << QString() << u"URL history must be numberic\r\n"_s;
        QTest::newRow("both") << QString() << u"x"_s
                              << u"Primary URL\r\nURL history must be numberic\r\n"_s;
    }
    void validation()
    {
        QFETCH(QString, url);
        QFETCH(QString, history);
        QFETCH(QString, lines);
        BoxRecorder rec;
        Window win;
        win.url->setText(url);
        win.history->setText(history);
        win.w.setChanged(true);

        QCOMPARE(win.w.SaveSettings(), lines.isEmpty());
        if (lines.isEmpty()) {
            QVERIFY(rec.boxes.isEmpty());
            QCOMPARE(stored(StoreKeys::PrimaryUrl), url);
            QVERIFY(!win.w.bChanged());
            return;
        }
        QCOMPARE(rec.boxes.size(), 1);
        QCOMPARE(rec.boxes[0].title, u"Brandle"_s);
        QCOMPARE(rec.boxes[0].text, Heading + lines);
        QCOMPARE(rec.boxes[0].icon, QMessageBox::Critical);
        QCOMPARE(rec.boxes[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        // Nothing written, and the edits still count as unsaved.
        for (QLatin1String key :
             {StoreKeys::PrimaryUrl, StoreKeys::Logging, StoreKeys::HistoryLimit})
            QCOMPARE(stored(key), QString());
        QVERIFY(win.w.bChanged());
    }

    // Keys carry the text that the desktop's key events carry (Delete sends DEL on X11).
    void changedFlag_data()
    {
        QTest::addColumn<QString>("box"); // a check box to click, or empty for a key in the URL box
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("changed");
        QTest::newRow("character") << QString() << int(Qt::Key_A) << u"a"_s << true;
        QTest::newRow("backspace") << QString() << int(Qt::Key_Backspace) << u"\b"_s << true;
        QTest::newRow("enter") << QString() << int(Qt::Key_Return) << u"\r"_s << true;
        QTest::newRow("delete") << QString() << int(Qt::Key_Delete) << u"\x7f"_s << false;
        QTest::newRow("tab") << QString() << int(Qt::Key_Tab) << u"\t"_s << false;
        QTest::newRow("arrow") << QString() << int(Qt::Key_Left) << QString() << false;
        QTest::newRow("logging box") << u"chkLogging"_s << 0 << QString() << true;
        QTest::newRow("hourly box") << u"chkHourCheck"_s << 0 << QString() << true;
        QTest::newRow("sound box") << u"chkPlaySound"_s << 0 << QString() << true;
        QTest::newRow("topmost box") << u"chkWindowTop"_s << 0 << QString() << false;
    }
    void changedFlag()
    {
        QFETCH(QString, box);
        QFETCH(int, key);
        QFETCH(QString, text);
        QFETCH(bool, changed);
        BoxRecorder rec;
        Window win;
        win.w.show();
        win.url->setText(u"a.com"_s);
        QSignalSpy lookups(&win.w, &frmSettings::lookupRequested);

        if (box.isEmpty()) {
            win.url->setFocus();
            QTest::sendKeyEvent(QTest::Click, win.url, Qt::Key(key), text, Qt::NoModifier);
        } else {
            QTest::mouseClick(win.box(box), Qt::LeftButton);
        }
        QCOMPARE(win.w.bChanged(), changed);
        // Enter in the box does not start a check.
        QCOMPARE(lookups.size(), 0);
        QVERIFY(rec.boxes.isEmpty());
    }

    void loggingBoxFollowsIntoGraphsTab()
    {
        Window win;
        win.w.show();
        QLineEdit* chartUrl = win.w.graphsTab()->txtChartURL();
        win.box(u"chkLogging"_s)->click();
        QVERIFY(!win.box(u"chkLogging"_s)->isChecked());
        // The Graphs tab hides or disables its options when logging goes off.
        win.w.tabs()->setCurrentIndex(1);
        QCOMPARE(chartUrl->isVisible() && chartUrl->isEnabled(), false);
        win.box(u"chkLogging"_s)->click();
        QCOMPARE(chartUrl->isVisible() && chartUrl->isEnabled(), true);
    }

    void fillFromProps_data()
    {
        QTest::addColumn<QStringList>("flags"); // Logging, AutoCheck, PlaySound, WindowTop
        QTest::addColumn<QString>("checked");   // the four boxes afterwards
        QTest::addColumn<bool>("changed");
        QTest::newRow("empty record")
            << QStringList{u""_s, u""_s, u""_s, u""_s} << u"1101"_s << true;
        QTest::newRow("all on") << QStringList{u"1"_s, u"1"_s, u"1"_s, u"1"_s} << u"1111"_s
                                << false;
        QTest::newRow("all off") << QStringList{u"0"_s, u"0"_s, u"0"_s, u"0"_s} << u"0000"_s
                                 << true;
        QTest::newRow("only topmost off")
            << QStringList{u"1"_s, u"1"_s, u"1"_s, u"0"_s} << u"1110"_s << false;
        QTest::newRow("hourly off")
            << QStringList{u"1"_s, u"0"_s, u"1"_s, u"1"_s} << u"1011"_s << true;
        QTest::newRow("unknown text is off")
            << QStringList{u"2"_s, u"1"_s, u"1"_s, u"1"_s} << u"0111"_s << true;
    }
    void fillFromProps()
    {
        QFETCH(QStringList, flags);
        QFETCH(QString, checked);
        QFETCH(bool, changed);
        oProps.setURLName(u"HTTP://Example.com"_s);
        oProps.setLogging(flags[0]);
        oProps.setAutoCheck(flags[1]);
        oProps.setPlaySound(flags[2]);
        oProps.setWindowTop(flags[3]);
        oProps.setHistory(u"5"_s);
        Window win;
        win.w.fillFromProps();

        QString states;
        for (const QString& name :
             {u"chkLogging"_s, u"chkHourCheck"_s, u"chkPlaySound"_s, u"chkWindowTop"_s})
            states += win.box(name)->isChecked() ? u'1' : u'0';
        QCOMPARE(states, checked);
        QCOMPARE(win.w.bChanged(), changed);
        QCOMPARE(win.w.keepOnTop(), checked.endsWith(u'1'));
        QCOMPARE(win.w.primaryUrl(), u"HTTP://Example.com"_s);
        QCOMPARE(win.w.graphsTab()->txtChartURL()->text(), u"HTTP://Example.com"_s);
        QCOMPARE(win.w.historyText(), u"5"_s);
        // The defaults stay in the controls.
        QCOMPARE(oProps.Logging(), flags[0]);
        QCOMPARE(stored(StoreKeys::Logging), QString());
    }

    void saveWritesStoreAndRecord()
    {
        Window win;
        oProps.setURLName(u"previous.com"_s);
        win.url->setText(u" HTTP://Site.COM "_s);
        win.box(u"chkHourCheck"_s)->setChecked(false);
        win.box(u"chkPlaySound"_s)->setChecked(true);
        QVERIFY(win.w.bChanged());
        win.button(u"cmdSave"_s)->click();

        QCOMPARE(stored(StoreKeys::PrimaryUrl), u" HTTP://Site.COM "_s);
        QCOMPARE(stored(StoreKeys::Logging), u"1"_s);
        QCOMPARE(stored(StoreKeys::AutoCheck), u"0"_s);
        QCOMPARE(stored(StoreKeys::PlaySound), u"1"_s);
        QCOMPARE(stored(StoreKeys::WindowTop), u"1"_s);
        QCOMPARE(stored(StoreKeys::HistoryLimit), u"5"_s);
        QCOMPARE(oProps.Logging(), u"1"_s);
        QCOMPARE(oProps.AutoCheck(), u"0"_s);
        QCOMPARE(oProps.PlaySound(), u"1"_s);
        QCOMPARE(oProps.WindowTop(), u"1"_s);
        QCOMPARE(oProps.History(), u"5"_s);
        QCOMPARE(oProps.URLName(), u"previous.com"_s);
        QVERIFY(!win.w.bChanged());
    }

    void checkURL_data()
    {
        QTest::addColumn<QString>("primary"); // the Primary URL box
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("changed");
        QTest::addColumn<QString>("site"); // empty: no lookup
        QTest::newRow("prefix in capitals, saved first")
            << u"primary.com"_s << u"HTTP://Example.COM/x"_s << true << u"example.com/x"_s;
        QTest::newRow("unchanged, nothing written")
            << u"primary.com"_s << u"Http://a.com"_s << false << u"a.com"_s;
        QTest::newRow("other scheme kept")
            << u"primary.com"_s << u"https://A.com"_s << false << u"https://a.com"_s;
        // A recent lookup while the Primary URL box is empty counts nothing.
        QTest::newRow("primary box empty") << QString() << u"recent.com"_s << true << QString();
    }
    void checkURL()
    {
        QFETCH(QString, primary);
        QFETCH(QString, url);
        QFETCH(bool, changed);
        QFETCH(QString, site);
        BoxRecorder rec;
        Window win;
        win.url->setText(primary);
        win.w.setChanged(changed);
        QString storedAtSignal;
        connect(&win.w, &frmSettings::lookupRequested, this,
                [&] { storedAtSignal = stored(StoreKeys::PrimaryUrl); });
        QSignalSpy lookups(&win.w, &frmSettings::lookupRequested);

        win.w.CheckURL(url);
        if (site.isEmpty()) {
            QCOMPARE(rec.boxes.size(), 1);
            QCOMPARE(rec.boxes[0].text, Heading + u"Primary URL\r\n"_s);
            QCOMPARE(lookups.size(), 0);
            QCOMPARE(stored(StoreKeys::Logging), QString());
            return;
        }
        QVERIFY(rec.boxes.isEmpty());
        QCOMPARE(lookups.size(), 1);
        QCOMPARE(lookups[0][0].toString(), site);
        QCOMPARE(lookups[0][1].toString(), url);
        // Edited settings are written before the lookup is asked for.
        QCOMPARE(storedAtSignal, changed ? primary : QString());
        QVERIFY(!win.w.bChanged());
    }

    void checkButtonCountsTypedAddress_data()
    {
        QTest::addColumn<bool>("typed"); // otherwise only the topmost box is changed
        QTest::newRow("typed address is saved") << true;
        QTest::newRow("topmost change is not saved") << false;
    }
    void checkButtonCountsTypedAddress()
    {
        QFETCH(bool, typed);
        Window win;
        win.w.show();
        if (typed)
            QTest::keyClicks(win.url, u"New.com"_s);
        else
            win.url->setText(u"New.com"_s);
        QTest::mouseClick(win.box(u"chkWindowTop"_s), Qt::LeftButton);
        QSignalSpy lookups(&win.w, &frmSettings::lookupRequested);
        QTest::mouseClick(win.button(u"cmdView"_s), Qt::LeftButton);
        QCOMPARE(lookups.size(), 1);
        QCOMPARE(lookups[0][0].toString(), u"new.com"_s);
        QCOMPARE(stored(StoreKeys::PrimaryUrl), typed ? u"New.com"_s : QString());
        QCOMPARE(stored(StoreKeys::WindowTop), typed ? u"0"_s : QString());
        QVERIFY(!win.w.keepOnTop());
    }

    void closingHidesAndKeepsEdits_data()
    {
        QTest::addColumn<bool>("closeBox");
        QTest::newRow("close box") << true;
        QTest::newRow("Close button") << false;
    }
    void closingHidesAndKeepsEdits()
    {
        QFETCH(bool, closeBox);
        Window win;
        win.w.show();
        QTest::keyClicks(win.url, u"edit.com"_s);
        if (closeBox)
            QVERIFY(!win.w.close());
        else
            win.button(u"cmdClose"_s)->click();
        QVERIFY(!win.w.isVisible());
        QCOMPARE(win.w.primaryUrl(), u"edit.com"_s);
        QVERIFY(win.w.bChanged());
        QCOMPARE(stored(StoreKeys::PrimaryUrl), QString());
    }

    void showOnTab_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::newRow("settings") << 1 << 0;
        QTest::newRow("graphs") << 0 << 1;
    }
    void showOnTab()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        Window win;
        win.w.tabs()->setCurrentIndex(from);
        win.w.showMinimized();
        win.w.hide();
        win.w.showOnTab(to);
        QVERIFY(win.w.isVisible());
        QVERIFY(!win.w.isMinimized());
        QCOMPARE(win.w.tabs()->currentIndex(), to);
        // The history row is never shown.
        QVERIFY(!win.history->isVisible());
        QVERIFY(!win.w.findChild<QPushButton*>(u"cmdURLReset"_s)->isVisible());
    }
};

BRANDLE_TEST(TestFrmSettings)
#include "tst_frmsettings.moc"

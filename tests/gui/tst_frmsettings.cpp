// SPDX-License-Identifier: MIT
#include "TestMain.h"
#include "TestSupport.h"

#include "desktop/MessageBox.h"
#include "forms/frmSettings.h"
#include "graphs/GraphsTab.h"
#include "platform/Store.h"
#include "settings/clsProps.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
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
    QList<MessageBox::Request> m_boxes;

private slots:
    void cleanupTestCase() { MessageBox::setTestHook(nullptr); }
    void init()
    {
        clearStore();
        oProps = clsProps();
        m_boxes.clear();
        MessageBox::setTestHook([this](const MessageBox::Request& r) {
            m_boxes << r;
            return QMessageBox::Ok;
        });
    }

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
        QCOMPARE(m_boxes.size() == 1 ? m_boxes[0].text : QString(),
                 valid ? QString() : u"The following fields are missing or invalid:\r\n"_s + lines);
        QCOMPARE(Window::stored(u"URL1"_s), valid ? url : QString());
        QCOMPARE(Window::stored(u"HrCks"_s), valid ? u"0"_s : QString());
        QCOMPARE(oProps.AutoCheck() + oProps.PlaySound(), valid ? u"01"_s : QString());
        QCOMPARE(oProps.URLName(), u"previous.com"_s);
        QCOMPARE(win.w.bChanged(), !valid);
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

    void fillFromProps_data()
    {
        QTest::addColumn<QString>("record");  // Logging, AutoCheck, PlaySound, WindowTop
        QTest::addColumn<QString>("checked"); // boxes afterwards, " changed" if bChanged
        // clang-format off
        QTest::newRow("empty record gives defaults") << ",,," << "1101 changed";
        QTest::newRow("only topmost off") << "1,1,1,0" << "1110";
        QTest::newRow("only \"1\" is on") << "2,1,true,1" << "0101 changed";
        // clang-format on
    }
    void fillFromProps()
    {
        QFETCH(QString, record);
        QFETCH(QString, checked);
        const QStringList flags = record.split(u',');
        oProps.setURLName(u"HTTP://Example.com"_s);
        oProps.setLogging(flags[0]);
        oProps.setAutoCheck(flags[1]);
        oProps.setPlaySound(flags[2]);
        oProps.setWindowTop(flags[3]);
        Window win;
        win.w.fillFromProps();
        QString states;
        for (const QString& name :
             {u"chkLogging"_s, u"chkHourCheck"_s, u"chkPlaySound"_s, u"chkWindowTop"_s})
            states += win.box(name)->isChecked() ? u'1' : u'0';
        QCOMPARE(states + (win.w.bChanged() ? u" changed"_s : QString()), checked);
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
        QVERIFY(m_boxes.isEmpty());
        QCOMPARE(prepared.value_or(u"<none>"_s), site);
        QCOMPARE(Window::stored(u"URL1"_s), changed ? u"primary.com"_s : QString());
        QVERIFY(!win.w.bChanged());
    }
};

BRANDLE_TEST(TestFrmSettings)
#include "tst_frmsettings.moc"

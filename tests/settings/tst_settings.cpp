// SPDX-License-Identifier: MIT
#include "TestMain.h"
#include "TestSupport.h"

#include "platform/Store.h"
#include "platform/StoreKeys.h"
#include "settings/clsProps.h"

#include <QTest>

class TestSettings : public QObject {
    Q_OBJECT
private slots:
    void init() { clearStore(); }

    void flagRule_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("on");
        QTest::newRow("1") << "1" << true;
        QTest::newRow("0") << "0" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("-1") << "-1" << false;
        QTest::newRow("true") << "true" << false;
        QTest::newRow("padded") << " 1" << false;
        QTest::newRow("11") << "11" << false;
    }
    void flagRule()
    {
        QFETCH(QString, text);
        QFETCH(bool, on);
        QCOMPARE(clsProps::isOn(text), on);
    }

    void emptyStoreLeavesRecordEmpty()
    {
        clsProps props;
        LoadProps(props, QStringLiteral("5"));
        QCOMPARE(props.URLName(), QString());
        QCOMPARE(props.Logging(), QString());
        QCOMPARE(props.AutoCheck(), QString());
        QCOMPARE(props.PlaySound(), QString());
        QCOMPARE(props.WindowTop(), QString());
        QCOMPARE(props.History(), QStringLiteral("5"));
        QCOMPARE(props.XMLSchema(), QString());
        QCOMPARE(props.SleepTime(), QString());
        // No default is written back into the store.
        QCOMPARE(GetAppSetting(StoreKeys::SectionApp, StoreKeys::Logging), QString());
    }

    void storedValuesAreLoaded()
    {
        using namespace StoreKeys;
        SaveAppSetting(SectionApp, PrimaryUrl, QStringLiteral("http://Example.com"));
        SaveAppSetting(SectionApp, Logging, QStringLiteral("1"));
        SaveAppSetting(SectionApp, AutoCheck, QStringLiteral("0"));
        SaveAppSetting(SectionApp, PlaySound, QStringLiteral("1"));
        SaveAppSetting(SectionApp, WindowTop, QStringLiteral("0"));
        SaveAppSetting(SectionApp, HistoryLimit, QStringLiteral("9"));
        // Values of the engine's section do not leak into the record.
        SaveAppSetting(SectionEngine, LastSite, QStringLiteral("other.example"));

        clsProps props;
        LoadProps(props, QStringLiteral("5"));
        QCOMPARE(props.URLName(), QStringLiteral("http://Example.com"));
        QCOMPARE(props.Logging(), QStringLiteral("1"));
        QCOMPARE(props.AutoCheck(), QStringLiteral("0"));
        QCOMPARE(props.PlaySound(), QStringLiteral("1"));
        QCOMPARE(props.WindowTop(), QStringLiteral("0"));
        // "URLLim" is not read: the limit comes from the limit box.
        QCOMPARE(props.History(), QStringLiteral("5"));
    }

    void textForms()
    {
        clsProps props;
        props.setLastCount(qint64(1234567));
        QCOMPARE(props.LastCount(), QStringLiteral("1234567"));
        props.setLastRun(QDateTime(QDate(2026, 12, 6), QTime(7, 23, 58)));
        QCOMPARE(props.LastRun(), QStringLiteral("12/6/2026 7:23:58 AM"));
    }
};

BRANDLE_TEST(TestSettings)
#include "tst_settings.moc"

// SPDX-License-Identifier: MIT
#include "TestMain.h"
#include "TestSupport.h"

#include "platform/Store.h"
#include "platform/StoreKeys.h"

#include <QFile>
#include <QTest>

class TestStore : public QObject {
    Q_OBJECT
private slots:
    void init() { clearStore(); }

    void roundTrip_data()
    {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::newRow("primary site") << "ParloApp"
                                      << "URL1"
                                      << "http://Example.com";
        QTest::newRow("engine with spaces") << "LinkEng"
                                            << "Eng-Alpha Search"
                                            << "1234";
        QTest::newRow("engine with slash") << "LinkEng"
                                           << "Eng-A/B"
                                           << "7";
        QTest::newRow("engine with backslash") << "LinkEng"
                                               << "Eng-A\\B"
                                               << "8";
        QTest::newRow("engine with percent") << "LinkEng"
                                             << "Eng-100%"
                                             << "9";
        QTest::newRow("empty value") << "ParloApp"
                                     << "URLGet1"
                                     << "";
        QTest::newRow("non-ascii value") << "ParloApp"
                                         << "URLGet2"
                                         << "bücher.example";
        QTest::newRow("value with separators") << "ParloApp"
                                               << "URLGet3"
                                               << "a=b;c,d [e]";
    }
    void roundTrip()
    {
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        SaveAppSetting(section, key, value);
        QCOMPARE(GetAppSetting(section, key), value);
    }

    void missingKeysReadEmpty()
    {
        QCOMPARE(GetAppSetting(QStringLiteral("ParloApp"), QStringLiteral("URL1")), QString());
        QCOMPARE(GetAppSetting(QStringLiteral("NoSuchSection"), QStringLiteral("x")), QString());
    }

    // Names that a settings library would read as nested groups stay distinct keys.
    void keysWithSeparatorsStayDistinct()
    {
        const QString section = StoreKeys::SectionEngine;
        SaveAppSetting(section, StoreKeys::engineCount(QStringLiteral("A")), QStringLiteral("1"));
        SaveAppSetting(section, StoreKeys::engineCount(QStringLiteral("A/B")), QStringLiteral("2"));
        SaveAppSetting(section, StoreKeys::engineCount(QStringLiteral("A//B")),
                       QStringLiteral("3"));
        SaveAppSetting(section, StoreKeys::engineCount(QStringLiteral("A%2FB")),
                       QStringLiteral("4"));
        QCOMPARE(GetAppSetting(section, QStringLiteral("Eng-A")), QStringLiteral("1"));
        QCOMPARE(GetAppSetting(section, QStringLiteral("Eng-A/B")), QStringLiteral("2"));
        QCOMPARE(GetAppSetting(section, QStringLiteral("Eng-A//B")), QStringLiteral("3"));
        QCOMPARE(GetAppSetting(section, QStringLiteral("Eng-A%2FB")), QStringLiteral("4"));
    }

    void sectionsAreSeparate()
    {
        SaveAppSetting(QStringLiteral("ParloApp"), QStringLiteral("K"), QStringLiteral("app"));
        SaveAppSetting(QStringLiteral("LinkEng"), QStringLiteral("K"), QStringLiteral("eng"));
        QCOMPARE(GetAppSetting(QStringLiteral("ParloApp"), QStringLiteral("K")),
                 QStringLiteral("app"));
        QCOMPARE(GetAppSetting(QStringLiteral("LinkEng"), QStringLiteral("K")),
                 QStringLiteral("eng"));
    }

    // Written through at once: another reader of the file sees the value without a flush.
    void writeIsOnDiskAtOnce()
    {
        SaveAppSetting(QStringLiteral("ParloApp"), QStringLiteral("URL1"),
                       QStringLiteral("site.example"));
        const QString file = QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")) +
                             QStringLiteral("/Quenta App Loader.conf");
        QFile f(file);
        QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(file));
        QVERIFY(f.readAll().contains("site.example"));
    }
};

BRANDLE_TEST(TestStore)
#include "tst_store.moc"

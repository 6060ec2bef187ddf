// SPDX-License-Identifier: MIT
#include "TestMain.h"
#include "TestSupport.h"

#include "platform/Store.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace brandle;

class TestStore : public QObject {
    Q_OBJECT
private slots:
    void init() { clearStore(); }

    void roundTrip_data()
    {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        // clang-format off
        QTest::newRow("primary site") << "ParloApp" << "URL1" << "http://Example.com";
        QTest::newRow("engine name with spaces") << "LinkEng" << "Eng-Alpha Search" << "1234";
        QTest::newRow("engine name with slash") << "LinkEng" << "Eng-A/B" << "7";
        QTest::newRow("engine name with backslash") << "LinkEng" << "Eng-A\\B" << "8";
        QTest::newRow("value with separators") << "ParloApp" << "URLGet3" << "a=b;c,d [é]";
        // clang-format on
    }
    // A missing key reads "", and a key that looks like a nested group leaves "Eng-A" alone.
    void roundTrip()
    {
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QCOMPARE(GetAppSetting(section, key), QString());
        SaveAppSetting(section, u"Eng-A"_s, u"kept"_s);
        SaveAppSetting(section, key, value);
        QCOMPARE(GetAppSetting(section, key), value);
        QCOMPARE(GetAppSetting(section, u"Eng-A"_s), u"kept"_s);
    }
};

BRANDLE_TEST(TestStore)
#include "tst_store.moc"

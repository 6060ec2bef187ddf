// SPDX-License-Identifier: MIT
#include "TestMain.h"
#include "TestSupport.h"

#include "platform/Store.h"
#include "platform/mConstants.h"

#include <QSettings>

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
    // A missing key reads "", and every key stays one key of its section: a slash or a
    // backslash in an engine's name makes no group.
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

        QSettings file(QSettings::NativeFormat, QSettings::UserScope,
                       QString(mConstants::StoreApplication));
        file.beginGroup(section);
        QCOMPARE(file.childGroups(), QStringList());
        QCOMPARE(file.childKeys().size(), key == u"Eng-A"_s ? 1 : 2);
    }
};

BRANDLE_TEST(TestStore)
#include "tst_store.moc"

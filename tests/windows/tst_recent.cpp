// SPDX-License-Identifier: MIT
#include "TestMain.h"
#include "TestSupport.h"

#include "platform/Store.h"
#include "platform/StoreKeys.h"
#include "windows/RecentList.h"

#include <QTest>

namespace {

QString stored(int n)
{
    return GetAppSetting(StoreKeys::SectionApp, StoreKeys::recentLookup(n));
}

void store(int n, const QString& value)
{
    SaveAppSetting(StoreKeys::SectionApp, StoreKeys::recentLookup(n), value);
}

// "B,C,D" -> {"B", "C", "D"}; "" -> {}.
QStringList names(const char* commaSeparated)
{
    return QString::fromUtf8(commaSeparated).split(QLatin1Char(','), Qt::SkipEmptyParts);
}

const QStringList AtoE = names("A,B,C,D,E");

} // namespace

class TestRecent : public QObject {
    Q_OBJECT
private slots:
    void init() { clearStore(); }

    void afterLookup_data()
    {
        QTest::addColumn<QStringList>("list");
        QTest::addColumn<int>("selected");
        QTest::addColumn<QString>("address");
        QTest::addColumn<qint32>("limit");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("typed into a full list") << AtoE << -1 << "F" << 5 << names("B,C,D,E,F");
        QTest::newRow("chosen entry moves to the end")
            << AtoE << 2 << "C" << 5 << names("A,B,D,E,C");
        QTest::newRow("room left") << names("A,B") << -1 << "C" << 5 << names("A,B,C");
        QTest::newRow("typed duplicate is appended")
            << names("A,B") << -1 << "A" << 5 << names("A,B,A");
        QTest::newRow("limit 0, empty list") << names("") << -1 << "X" << 0 << names("X");
        QTest::newRow("limit below the length") << AtoE << -1 << "F" << 3 << names("D,E,F");
    }
    void afterLookup()
    {
        QFETCH(QStringList, list);
        QFETCH(int, selected);
        QFETCH(QString, address);
        QFETCH(qint32, limit);
        QFETCH(QStringList, expected);
        QCOMPARE(RecentList::afterLookup(list, selected, address, limit), expected);
    }

    void blankAddress_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("blank");
        QTest::newRow("empty") << "" << true;
        QTest::newRow("spaces") << "   " << true;
        QTest::newRow("tab") << "\t" << true;
        QTest::newRow("padded") << "  a  " << false;
        QTest::newRow("leading space before the scheme") << " HTTP://Example.com" << false;
    }
    void blankAddress()
    {
        QFETCH(QString, address);
        QFETCH(bool, blank);
        QCOMPARE(RecentList::isBlank(address), blank);
    }

    // Stored: URLGet1 "A", URLGet2 "", URLGet3 "C", URLGet5 "E", URLGet6 "F".
    void loadSkipsEmptyKeys_data()
    {
        QTest::addColumn<QString>("history");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("History 5") << "5" << names("A,C,E");
        QTest::newRow("History 2.5 rounds to 2") << "2.5" << names("A");
        QTest::newRow("History 0") << "0" << names("");
        QTest::newRow("History empty") << "" << names("");
        QTest::newRow("History not a number") << "five" << names("");
        QTest::newRow("History beyond 32 bits") << "3000000000" << names("");
    }
    void loadSkipsEmptyKeys()
    {
        QFETCH(QString, history);
        QFETCH(QStringList, expected);
        store(1, QStringLiteral("A"));
        store(3, QStringLiteral("C"));
        store(5, QStringLiteral("E"));
        store(6, QStringLiteral("F"));
        QCOMPARE(RecentList::load(RecentList::limit(history)), expected);
    }

    void storedOldestFirst()
    {
        RecentList::save(AtoE);
        const QStringList loaded = RecentList::load(RecentList::limit(QStringLiteral("5")));
        QCOMPARE(loaded, AtoE);
        RecentList::save(RecentList::afterLookup(loaded, -1, QStringLiteral("F"), 5));
        const QStringList expected = names("B,C,D,E,F");
        for (int i = 0; i < expected.size(); ++i)
            QCOMPARE(stored(i + 1), expected.at(i));
    }

    // A shorter list leaves the keys above it as they are.
    void keysAboveTheListStay()
    {
        store(1, QStringLiteral("A"));
        store(3, QStringLiteral("C"));
        store(5, QStringLiteral("E"));
        const QStringList list = RecentList::load(5);
        RecentList::save(RecentList::afterLookup(list, -1, QStringLiteral("F"), 5));
        QCOMPARE(stored(1), QStringLiteral("A"));
        QCOMPARE(stored(2), QStringLiteral("C"));
        QCOMPARE(stored(3), QStringLiteral("E"));
        QCOMPARE(stored(4), QStringLiteral("F"));
        QCOMPARE(stored(5), QStringLiteral("E"));
    }
};

BRANDLE_TEST(TestRecent)
#include "tst_recent.moc"

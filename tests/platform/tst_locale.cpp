// SPDX-License-Identifier: MIT
#include "TestMain.h"

#include "platform/Errors.h"
#include "platform/LocaleText.h"

#include <QTest>

// The tests run under LANG=C, where the en-US conventions apply.
class TestLocale : public QObject {
    Q_OBJECT
private slots:
    void numericText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("numeric");
        QTest::newRow("digits") << "12" << true;
        QTest::newRow("surrounding blanks") << " 12 " << true;
        QTest::newRow("thousands") << "1,234" << true;
        QTest::newRow("millions") << "1,234,567" << true;
        QTest::newRow("decimal") << "2.5" << true;
        QTest::newRow("leading point") << ".5" << true;
        QTest::newRow("signs") << "-7" << true;
        QTest::newRow("plus") << "+7" << true;
        QTest::newRow("exponent") << "1e3" << true;
        QTest::newRow("exponent with sign") << "1.5E-2" << true;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("blank") << "   " << false;
        QTest::newRow("trailing letters") << "12a" << false;
        QTest::newRow("letters") << "abc" << false;
        QTest::newRow("leading separator") << ",123" << false;
        QTest::newRow("trailing separator") << "123," << false;
        QTest::newRow("sign only") << "-" << false;
        QTest::newRow("dangling exponent") << "1e" << false;
        QTest::newRow("two points") << "1.2.3" << false;
        QTest::newRow("inner blank") << "1 234" << false;
        QTest::newRow("markup") << "<b>12</b>" << false;
    }
    void numericText()
    {
        QFETCH(QString, text);
        QFETCH(bool, numeric);
        QCOMPARE(LocaleText::isNumericText(text), numeric);
    }

    void toInt32_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint32>("value");
        QTest::newRow("thousands") << "1,234" << 1234;
        QTest::newRow("half down to even") << "2.5" << 2;
        QTest::newRow("half up to even") << "3.5" << 4;
        QTest::newRow("negative half") << "-2.5" << -2;
        QTest::newRow("below half") << "2.49" << 2;
        QTest::newRow("above half") << "2.51" << 3;
        QTest::newRow("blanks") << " 12 " << 12;
        QTest::newRow("max") << "2,147,483,647" << 2147483647;
        QTest::newRow("min") << "-2147483648" << qint32(-2147483647 - 1);
        QTest::newRow("exponent") << "1.2e3" << 1200;
    }
    void toInt32()
    {
        QFETCH(QString, text);
        QFETCH(qint32, value);
        QCOMPARE(LocaleText::toInt32(text), value);
    }

    void toInt32Errors_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("number");
        QTest::newRow("one beyond max") << "2147483648" << 6;
        QTest::newRow("max plus half rounds beyond") << "2147483647.5" << 6;
        QTest::newRow("below min") << "-2147483649" << 6;
        QTest::newRow("huge") << "99999999999999999999999999" << 6;
        QTest::newRow("huge exponent") << "1e400" << 6;
        QTest::newRow("not numeric") << "12a" << 13;
        QTest::newRow("empty") << "" << 13;
    }
    void toInt32Errors()
    {
        QFETCH(QString, text);
        QFETCH(int, number);
        try {
            LocaleText::toInt32(text);
            QFAIL("converted");
        } catch (const BrandleError& e) {
            QCOMPARE(e.number(), number);
        }
    }

    void addInt32()
    {
        QCOMPARE(LocaleText::addInt32(2147483000, 647), 2147483647);
        QVERIFY_THROWS_EXCEPTION(BrandleError, LocaleText::addInt32(2147483647, 1));
        QVERIFY_THROWS_EXCEPTION(BrandleError, LocaleText::addInt32(-2147483647 - 1, -1));
    }

    void formatCount_data()
    {
        QTest::addColumn<qint64>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << qint64(0) << "0";
        QTest::newRow("999") << qint64(999) << "999";
        QTest::newRow("1234") << qint64(1234) << "1,234";
        QTest::newRow("million") << qint64(1000000) << "1,000,000";
        QTest::newRow("negative") << qint64(-1234) << "-1,234";
        QTest::newRow("max") << qint64(2147483647) << "2,147,483,647";
    }
    void formatCount()
    {
        QFETCH(qint64, value);
        QFETCH(QString, text);
        QCOMPARE(LocaleText::formatCount(value), text);
    }

    void generalDateTime_data()
    {
        QTest::addColumn<QDateTime>("when");
        QTest::addColumn<QString>("text");
        QTest::newRow("morning") << QDateTime(QDate(2026, 12, 6), QTime(7, 23, 58))
                                 << "12/6/2026 7:23:58 AM";
        QTest::newRow("afternoon")
            << QDateTime(QDate(2026, 1, 15), QTime(13, 5, 9)) << "1/15/2026 1:05:09 PM";
        QTest::newRow("noon") << QDateTime(QDate(2026, 7, 4), QTime(12, 0, 0))
                              << "7/4/2026 12:00:00 PM";
        QTest::newRow("one second past midnight")
            << QDateTime(QDate(2026, 12, 5), QTime(0, 0, 1)) << "12/5/2026 12:00:01 AM";
        QTest::newRow("midnight drops the time")
            << QDateTime(QDate(2026, 12, 5), QTime(0, 0, 0)) << "12/5/2026";
    }
    void generalDateTime()
    {
        QFETCH(QDateTime, when);
        QFETCH(QString, text);
        QCOMPARE(LocaleText::generalDateTime(when), text);
    }

    void mmddyy_data()
    {
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QString>("text");
        QTest::newRow("5 December 2026") << QDate(2026, 12, 5) << "120526";
        QTest::newRow("leading zeros") << QDate(2004, 2, 9) << "020904";
        QTest::newRow("1999") << QDate(1999, 12, 31) << "123199";
    }
    void mmddyy()
    {
        QFETCH(QDate, date);
        QFETCH(QString, text);
        QCOMPARE(LocaleText::mmddyy(date), text);
    }

    void parseDate_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDate>("date");
        QTest::newRow("m/d/yyyy") << "12/31/2003" << QDate(2003, 12, 31);
        QTest::newRow("single digits") << "1/1/2004" << QDate(2004, 1, 1);
        QTest::newRow("leap day") << "2/29/2004" << QDate(2004, 2, 29);
        QTest::newRow("two-digit year 2000s") << "12/5/26" << QDate(2026, 12, 5);
        QTest::newRow("two-digit year 1900s") << "12/5/99" << QDate(1999, 12, 5);
        QTest::newRow("dashes and blanks") << " 3-4-2025 " << QDate(2025, 3, 4);
        QTest::newRow("no leap day") << "2/29/2003" << QDate();
        QTest::newRow("month 13") << "13/1/2004" << QDate();
        QTest::newRow("blank") << "" << QDate();
        QTest::newRow("words") << "yesterday" << QDate();
        QTest::newRow("two parts") << "12/5" << QDate();
        QTest::newRow("three-digit year") << "1/1/200" << QDate();
    }
    void parseDate()
    {
        QFETCH(QString, text);
        QFETCH(QDate, date);
        QCOMPARE(LocaleText::parseDate(text), date);
    }
};

BRANDLE_TEST(TestLocale)
#include "tst_locale.moc"

// SPDX-License-Identifier: MIT
#include "TestMain.h"

#include "platform/Errors.h"
#include "platform/LocaleText.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace brandle;

// The tests run under LANG=C, where the en-US conventions apply.
class TestLocale : public QObject {
    Q_OBJECT
private slots:
    void numbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("numeric");
        QTest::addColumn<QString>("int32"); // toInt32 and its "#,##0" text, or "error N"
        // clang-format off
        QTest::newRow("thousands") << "1,234" << true << "1234 1,234";
        QTest::newRow("surrounding blanks") << " 12 " << true << "12 12";
        QTest::newRow("half down to even") << "2.5" << true << "2 2";
        QTest::newRow("half up to even") << "3.5" << true << "4 4";
        QTest::newRow("exponent") << "-1.2e6" << true << "-1200000 -1,200,000";
        QTest::newRow("max") << "2,147,483,647" << true << "2147483647 2,147,483,647";
        QTest::newRow("one beyond max") << "2147483648" << true << "error 6";
        QTest::newRow("max plus half rounds beyond") << "2147483647.5" << true << "error 6";
        QTest::newRow("empty") << "" << false << "error 13";
        QTest::newRow("trailing letters") << "12a" << false << "error 13";
        QTest::newRow("leading separator") << ",123" << false << "error 13";
        QTest::newRow("inner blank") << "1 234" << false << "error 13";
        QTest::newRow("markup") << "<b>12</b>" << false << "error 13";
        // clang-format on
    }
    void numbers()
    {
        QFETCH(QString, text);
        QFETCH(bool, numeric);
        QFETCH(QString, int32);
        QCOMPARE(LocaleText::isNumericText(text), numeric);
        QString got;
        try {
            const qint32 value = LocaleText::toInt32(text);
            got = QString::number(value) + u' ' + LocaleText::formatCount(value);
        } catch (const BrandleError& e) {
            got = u"error %1"_s.arg(e.number());
        }
        QCOMPARE(got, int32);
    }

    void dateTexts_data()
    {
        QTest::addColumn<QDateTime>("when");
        QTest::addColumn<QString>("general");
        QTest::addColumn<QString>("mmddyy");
        // clang-format off
        QTest::newRow("afternoon, leading zeros")
            << QDateTime(QDate(2004, 2, 9), QTime(13, 5, 9)) << "2/9/2004 1:05:09 PM" << "020904";
        QTest::newRow("one second past midnight")
            << QDateTime(QDate(2026, 12, 5), QTime(0, 0, 1)) << "12/5/2026 12:00:01 AM" << "120526";
        QTest::newRow("midnight drops the time")
            << QDateTime(QDate(1999, 12, 31), QTime(0, 0)) << "12/31/1999" << "123199";
        // clang-format on
    }
    void dateTexts()
    {
        QFETCH(QDateTime, when);
        QFETCH(QString, general);
        QFETCH(QString, mmddyy);
        QCOMPARE(LocaleText::generalDateTime(when), general);
        QCOMPARE(LocaleText::mmddyy(when.date()), mmddyy);
    }

    void parseDate_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDate>("date");
        // clang-format off
        QTest::newRow("m/d/yyyy") << "12/31/2003" << QDate(2003, 12, 31);
        QTest::newRow("two-digit year 2000s") << "12/5/29" << QDate(2029, 12, 5);
        QTest::newRow("two-digit year 1900s") << "12/5/30" << QDate(1930, 12, 5);
        QTest::newRow("dashes and blanks") << " 3-4-2025 " << QDate(2025, 3, 4);
        QTest::newRow("no leap day") << "2/29/2003" << QDate();
        QTest::newRow("words") << "yesterday" << QDate();
        // clang-format on
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

// SPDX-License-Identifier: MIT
#include "TestMain.h"

#include "platform/Errors.h"
#include "platform/LocaleText.h"

#include <QTest>

#include <limits>
#include <optional>

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
        QTest::newRow("blank inside a group") << "12 34" << false << "error 13";
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

    // Engine pages, the store and the log are read by one rule under every locale.
    void countRule_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("numeric");
        QTest::addColumn<qint32>("value");
        const QString nbsp(QChar(0x00A0));
        const QString thin(QChar(0x2009));
        const QString narrow(QChar(0x202F));
        // clang-format off
        QTest::newRow("comma groups") << "1,234,567" << true << 1234567;
        QTest::newRow("dot groups") << "1.234.567" << true << 1234567;
        QTest::newRow("apostrophe groups") << "1'234'567" << true << 1234567;
        QTest::newRow("blank groups") << "1 234 567" << true << 1234567;
        QTest::newRow("no-break space groups") << u"323"_s + nbsp + u"580"_s << true << 323580;
        QTest::newRow("thin and narrow spaces") << u"1"_s + thin + u"234"_s + narrow + u"567"_s
                                                << true << 1234567;
        QTest::newRow("one dot group is not a fraction") << "1.234" << true << 1234;
        QTest::newRow("dot fraction") << "12.34" << true << 12;
        QTest::newRow("comma fraction") << "12,34" << true << 12;
        QTest::newRow("comma fraction, half to even") << "2,5" << true << 2;
        QTest::newRow("comma fraction, half up") << "3,5" << true << 4;
        QTest::newRow("four fraction digits") << "1,2345" << true << 1;
        QTest::newRow("en-US groups and fraction") << "1,234.5" << true << 1234;
        QTest::newRow("de-DE groups and fraction") << "1.234,6" << true << 1235;
        QTest::newRow("fr-FR groups and three fraction digits") << u"1"_s + nbsp + u"234,567"_s
                                                                << true << 1235;
        QTest::newRow("other mark after groups is the decimal mark") << "1,234.567" << true << 1235;
        QTest::newRow("long first group is not grouped") << "1234,567" << true << 1235;
        QTest::newRow("group of two") << "1,23,456" << false << 0;
        QTest::newRow("group of four") << "1 2345" << false << 0;
        QTest::newRow("mixed group separators") << "1,234.567.890" << false << 0;
        QTest::newRow("same mark as decimal after groups") << "1.234.5" << false << 0;
        QTest::newRow("trailing separator") << "1,234," << false << 0;
        QTest::newRow("two decimal marks") << "1.5.5" << false << 0;
        QTest::newRow("non-ASCII digits") << u"\u0661\u0662"_s << false << 0;
        // clang-format on
    }
    void countRule()
    {
        QFETCH(QString, text);
        QFETCH(bool, numeric);
        QFETCH(qint32, value);
        QCOMPARE(LocaleText::isNumericText(text), numeric);
        QCOMPARE(LocaleText::parseLoggedCount(text), numeric ? std::optional(value) : std::nullopt);
        if (numeric)
            QCOMPARE(LocaleText::toInt32(text), value);
    }

    void formatCount_data()
    {
        QTest::addColumn<qint64>("value");
        QTest::addColumn<QString>("text");
        // clang-format off
        QTest::newRow("zero") << qint64(0) << "0";
        QTest::newRow("three digits") << qint64(999) << "999";
        QTest::newRow("four digits") << qint64(1000) << "1,000";
        QTest::newRow("seven digits") << qint64(1234567) << "1,234,567";
        QTest::newRow("negative") << qint64(-1234) << "-1,234";
        QTest::newRow("negative three digits") << qint64(-123) << "-123";
        QTest::newRow("lowest") << std::numeric_limits<qint64>::min()
                                << "-9,223,372,036,854,775,808";
        // clang-format on
    }
    void formatCount()
    {
        QFETCH(qint64, value);
        QFETCH(QString, text);
        QCOMPARE(LocaleText::formatCount(value), text);
        if (value >= std::numeric_limits<qint32>::min() &&
            value <= std::numeric_limits<qint32>::max())
            QCOMPARE(LocaleText::parseLoggedCount(text), std::optional(qint32(value)));
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
        QTest::newRow("ISO") << "2026-12-01" << QDate(2026, 12, 1);
        QTest::newRow("ISO with slashes") << "2026/3/4" << QDate(2026, 3, 4);
        QTest::newRow("ISO, no such day") << "2026-02-30" << QDate();
        QTest::newRow("year last stays month first") << "12/01/2026" << QDate(2026, 12, 1);
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

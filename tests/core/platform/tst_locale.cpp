// SPDX-License-Identifier: MIT
#include "TestMain.h"

#include "platform/Address.h"
#include "platform/Errors.h"
#include "platform/LocaleText.h"

#include <QTest>

#include <limits>
#include <optional>

using namespace Qt::StringLiterals;
using namespace brandle;

// Counts, dates and sites follow one rule under every locale.
class TestLocale : public QObject {
    Q_OBJECT
private slots:
    // Groups of three digits after a first of 1-3, by one mark; else the decimal mark.
    void countRule_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("value"); // toInt32, or "error N"
        const QString error13 = u"error 13"_s;
        // clang-format off
        QTest::newRow("comma groups") << "1,234,567" << "1234567";
        QTest::newRow("dot groups") << "1.234.567" << "1234567";
        QTest::newRow("apostrophe groups") << "1'234'567" << "1234567";
        QTest::newRow("Swiss apostrophe groups") << u"1\u2019234\u2019567"_s << "1234567";
        QTest::newRow("blank groups") << "1 234 567" << "1234567";
        QTest::newRow("no-break space groups") << u"323\u00A0580"_s << "323580";
        QTest::newRow("thin and narrow spaces") << u"1\u2009234\u202F567"_s << "1234567";
        QTest::newRow("surrounding blanks") << " 12 " << "12";
        QTest::newRow("one dot group is not a fraction") << "1.234" << "1234";
        QTest::newRow("dot fraction, half down to even") << "2.5" << "2";
        QTest::newRow("comma fraction, half up to even") << "3,5" << "4";
        QTest::newRow("four fraction digits") << "1,2345" << "1";
        QTest::newRow("de-DE groups and fraction") << "1.234,6" << "1235";
        QTest::newRow("other mark after groups is the decimal mark") << "1,234.567" << "1235";
        QTest::newRow("long first group is not grouped") << "1234,567" << "1235";
        QTest::newRow("exponent") << "-1.2e6" << "-1200000";
        QTest::newRow("max") << "2,147,483,647" << "2147483647";
        QTest::newRow("one beyond max") << "2147483648" << "error 6";
        QTest::newRow("max plus half rounds beyond") << "2147483647.5" << "error 6";
        QTest::newRow("group of two") << "1,23,456" << error13;
        QTest::newRow("group of four") << "1 2345" << error13;
        QTest::newRow("mixed group separators") << "1,234.567.890" << error13;
        QTest::newRow("same mark as decimal after groups") << "1.234.5" << error13;
        QTest::newRow("no leading digit, half to even") << ".5" << "0";
        QTest::newRow("leading comma is the decimal mark") << ",123" << "0";
        QTest::newRow("decimal mark alone") << "-." << error13;
        QTest::newRow("non-ASCII digits") << u"\u0661\u0662"_s << error13;
        QTest::newRow("trailing letters") << "12a" << error13;
        // clang-format on
    }
    void countRule()
    {
        QFETCH(QString, text);
        QFETCH(QString, value);
        QString got;
        try {
            got = QString::number(LocaleText::toInt32(text));
        } catch (const BrandleError& e) {
            got = u"error %1"_s.arg(e.number());
        }
        QCOMPARE(got, value);
        QCOMPARE(LocaleText::isNumericText(text), value != u"error 13"_s);
        QCOMPARE(LocaleText::parseLoggedCount(text),
                 value.startsWith(u"error"_s) ? std::nullopt : std::optional(value.toInt()));
    }

    // The en-US "#,##0" form, which the count rule reads back.
    void formatCount_data()
    {
        QTest::addColumn<qint64>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("three digits") << qint64(999) << "999";
        QTest::newRow("four digits") << qint64(1000) << "1,000";
        QTest::newRow("negative") << qint64(-1234) << "-1,234";
        QTest::newRow("negative three digits") << qint64(-123) << "-123";
        QTest::newRow("lowest") << std::numeric_limits<qint64>::min()
                                << "-9,223,372,036,854,775,808";
    }
    void formatCount()
    {
        QFETCH(qint64, value);
        QFETCH(QString, text);
        QCOMPARE(LocaleText::formatCount(value), text);
        if (value >= std::numeric_limits<qint32>::min())
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
        QTEST(LocaleText::generalDateTime(when), "general");
        QTEST(LocaleText::mmddyy(when.date()), "mmddyy");
    }

    // Month first, or ISO when the first field has four digits.
    void parseDate_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDate>("date");
        QTest::newRow("m/d/yyyy") << "12/31/2003" << QDate(2003, 12, 31);
        QTest::newRow("two-digit year 2000s") << "12/5/29" << QDate(2029, 12, 5);
        QTest::newRow("two-digit year 1900s") << "12/5/30" << QDate(1930, 12, 5);
        QTest::newRow("dashes and blanks") << " 3-4-2025 " << QDate(2025, 3, 4);
        QTest::newRow("ISO") << "2026-12-01" << QDate(2026, 12, 1);
        QTest::newRow("ISO with slashes") << "2026/3/4" << QDate(2026, 3, 4);
        QTest::newRow("ISO, no such day") << "2026-02-30" << QDate();
        QTest::newRow("no leap day") << "2/29/2003" << QDate();
        QTest::newRow("words") << "yesterday" << QDate();
    }
    void parseDate()
    {
        QFETCH(QString, text);
        QTEST(LocaleText::parseDate(text), "date");
    }

    // A site's usual spellings are one site; the browser keeps its scheme.
    void sites_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("site");
        QTest::addColumn<QString>("address"); // for the browser; "": not checked
        // clang-format off
        QTest::newRow("bare") << "Example.com" << "example.com" << "http://example.com";
        QTest::newRow("http") << "HTTP://Example.com/" << "example.com" << "http://example.com/";
        QTest::newRow("https") << "HTTPS://Example.com" << "example.com" << "https://example.com";
        QTest::newRow("only one slash goes") << "example.com//" << "example.com//" << "";
        QTest::newRow("a lone slash stays") << "/" << "/" << "";
        QTest::newRow("other scheme kept") << "FTP://Example.com/" << "ftp://example.com/" << "";
        QTest::newRow("blanks around dropped") << " \tHTTPS://A.com/ " << "a.com" << "https://a.com/";
        // clang-format on
    }
    void sites()
    {
        QFETCH(QString, typed);
        QFETCH(QString, address);
        QTEST(siteForLookup(typed), "site");
        if (!address.isEmpty())
            QCOMPARE(browserAddress(typed), address);
    }
};

BRANDLE_TEST(TestLocale)
#include "tst_locale.moc"

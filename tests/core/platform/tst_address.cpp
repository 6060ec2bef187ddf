// SPDX-License-Identifier: MIT
#include "TestMain.h"

#include "platform/Address.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace brandle;

// A site typed in any of its usual spellings is counted, stored and logged as one site.
class TestAddress : public QObject {
    Q_OBJECT
private slots:
    void siteForLookup_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("site");
        // clang-format off
        QTest::newRow("bare") << "Example.com" << "example.com";
        QTest::newRow("http") << "HTTP://Example.com" << "example.com";
        QTest::newRow("https") << "https://example.com" << "example.com";
        QTest::newRow("https, capitals and slash") << "HTTPS://Example.com/" << "example.com";
        QTest::newRow("trailing slash") << "example.com/" << "example.com";
        QTest::newRow("http and trailing slash") << "http://example.com/" << "example.com";
        QTest::newRow("only one slash goes") << "example.com//" << "example.com//";
        QTest::newRow("a path keeps its slash") << "http://example.com/blog/" << "example.com/blog/";
        QTest::newRow("a lone slash stays") << "/" << "/";
        QTest::newRow("other scheme kept") << "FTP://Example.com/" << "ftp://example.com/";
        QTest::newRow("scheme without slashes kept") << "https:example.com" << "https:example.com";
        QTest::newRow("leading blank kept") << " https://a.com" << " https://a.com";
        // clang-format on
    }
    void siteForLookup()
    {
        QFETCH(QString, typed);
        QFETCH(QString, site);
        QCOMPARE(brandle::siteForLookup(typed), site);
    }

    void browserAddress_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("address");
        // clang-format off
        QTest::newRow("bare") << "Example.com" << "http://example.com";
        QTest::newRow("http") << "HTTP://Example.com/" << "http://example.com/";
        QTest::newRow("https kept") << "HTTPS://Example.com" << "https://example.com";
        // clang-format on
    }
    void browserAddress()
    {
        QFETCH(QString, typed);
        QFETCH(QString, address);
        QCOMPARE(brandle::browserAddress(typed), address);
    }
};

BRANDLE_TEST(TestAddress)
#include "tst_address.moc"

// SPDX-License-Identifier: MIT
#include "TestMain.h"
#include "TestSupport.h"

#include "platform/Http.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace brandle;

// Connection in 2 s, the whole answer in 1.5 s, at most 5 redirects and 1000 bytes.
static const HttpOptions Quick = [] {
    HttpOptions options;
    options.connectTimeoutMs = 2000;
    options.totalTimeoutMs = 1500;
    options.maxRedirects = 5;
    options.maxBodyBytes = 1000;
    return options;
}();

class TestHttp : public QObject {
    Q_OBJECT

    TestServer m_server;

private slots:
    void initTestCase()
    {
        m_server.route(u"/ok"_s, "hello");
        m_server.route(u"/missing"_s, "<h1>not here</h1>", 404, u"text/html"_s);
        m_server.route(u"/latin1"_s, "caf\xe9", 200, u"text/plain; charset=ISO-8859-1"_s);
        m_server.route(u"/utf8"_s, "caf\xc3\xa9", 200, u"text/plain"_s);
        m_server.route(u"/big"_s, QByteArray(4096, 'x'));
        m_server.route(u"/silent"_s, "late", 200, u"text/plain"_s, 10000);
        m_server.start();
    }

    void get_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("body"); // "download" or "invalid": the kind of error
        const QString local = u"http://127.0.0.1:%1/"_s;
        // clang-format off
        QTest::newRow("404 body returned") << m_server.url(u"/missing"_s) << "<h1>not here</h1>";
        QTest::newRow("charset from header") << m_server.url(u"/latin1"_s) << "café";
        QTest::newRow("connection refused") << local.arg(closedPort()) << "download";
        QTest::newRow("never answers") << m_server.url(u"/silent"_s) << "download";
        QTest::newRow("body over the cap") << m_server.url(u"/big"_s) << "download";
        QTest::newRow("malformed address") << "http://[::1/x" << "invalid";
        QTest::newRow("ftp scheme refused") << "ftp://127.0.0.1/" << "invalid";
        // clang-format on
    }
    void get()
    {
        QFETCH(QString, url);
        QFETCH(QString, body);
        const HttpResult r = httpGet(url, Quick);
        if (body == u"download"_s || body == u"invalid"_s) {
            QVERIFY(!r.ok());
            QCOMPARE(r.isDownloadFailure(), body == u"download"_s);
            QCOMPARE(r.error->code(),
                     r.isDownloadFailure() ? ErrorCode::DownloadFailed : ErrorCode::InvalidUrl);
            QVERIFY_THROWS_EXCEPTION(BrandleError, r.bodyOrThrow());
        } else {
            QVERIFY2(r.ok(), r.ok() ? "" : qPrintable(r.error->userText()));
            QCOMPARE(r.body, body);
        }
    }

    void manyAtOnceKeepTheirOrder()
    {
        const std::vector<HttpResult> results =
            httpGetAll({m_server.url(u"/utf8"_s), u"http://127.0.0.1:%1/"_s.arg(closedPort()),
                        m_server.url(u"/ok"_s), m_server.url(u"/missing"_s), QString()},
                       Quick);
        QCOMPARE(results.size(), size_t(5));
        QCOMPARE(results[0].body, u"café"_s);
        QVERIFY(results[1].isDownloadFailure());
        QCOMPARE(results[2].body, u"hello"_s);
        QCOMPARE(results[3].status, 404L);
        QCOMPARE(results[4].error->code(), ErrorCode::InvalidUrl);
    }

    // The transfers beyond maxParallel wait for their turn; every one is made.
    void parallelCap_data()
    {
        QTest::addColumn<int>("cap");
        QTest::newRow("4") << 4;
        QTest::newRow("16") << 16;
    }
    void parallelCap()
    {
        QFETCH(int, cap);
        TestServer server;
        server.route(u"/slow"_s, "late", 200, u"text/plain"_s, 150);
        server.start();
        HttpOptions options;
        options.maxParallel = cap;
        const std::vector<HttpResult> results =
            httpGetAll(QStringList(cap * 2 + 1, server.url(u"/slow"_s)), options);
        for (const HttpResult& r : results)
            QCOMPARE(r.body, u"late"_s);
        QCOMPARE(server.peakRequests(), cap);
    }
};

BRANDLE_TEST(TestHttp)
#include "tst_http.moc"

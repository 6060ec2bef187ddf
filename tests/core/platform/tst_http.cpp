// SPDX-License-Identifier: MIT
#include "TestMain.h"
#include "TestSupport.h"

#include "platform/Http.h"

#include <QTest>

using namespace brandle;

class TestHttp : public QObject {
    Q_OBJECT

    TestServer m_server;
    HttpOptions m_quick; // the whole answer in 4 s

private slots:
    void initTestCase()
    {
        m_quick.totalTimeoutMs = 4000;
        m_server.route(u"/missing"_s, "<h1>not here</h1>", 404, u"text/html"_s);
        m_server.route(u"/latin1"_s, "caf\xe9", 200, u"text/plain; charset=ISO-8859-1"_s);
        m_server.route(u"/utf8"_s, "caf\xc3\xa9", 200, u"text/plain"_s);
        m_server.route(u"/silent"_s, "late", 200, u"text/plain"_s, WaitMs);
        m_server.start();
    }

    void get_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("body"); // "download" or "invalid": the kind of error
        // clang-format off
        QTest::newRow("404 body returned") << m_server.url(u"/missing"_s) << "<h1>not here</h1>";
        QTest::newRow("charset from header") << m_server.url(u"/latin1"_s) << "café";
        QTest::newRow("UTF-8 without a charset") << m_server.url(u"/utf8"_s) << "café";
        QTest::newRow("never answers") << m_server.url(u"/silent"_s) << "download";
        QTest::newRow("malformed address") << "http://[::1/x" << "invalid";
        QTest::newRow("ftp scheme refused") << "ftp://127.0.0.1/" << "invalid";
        // clang-format on
    }
    void get()
    {
        QFETCH(QString, url);
        QFETCH(QString, body);
        const HttpResult r = httpGet(url, m_quick);
        if (body == u"download"_s || body == u"invalid"_s) {
            QCOMPARE(r.isDownloadFailure(), body == u"download"_s);
            QCOMPARE(r.error ? r.error->code() : ErrorCode(0),
                     r.isDownloadFailure() ? ErrorCode::DownloadFailed : ErrorCode::InvalidUrl);
            QVERIFY_THROWS_EXCEPTION(BrandleError, r.bodyOrThrow());
        } else {
            QVERIFY2(r.ok(), r.ok() ? "" : qPrintable(r.error->userText()));
            QCOMPARE(r.body, body);
        }
    }
};

BRANDLE_TEST(TestHttp)
#include "tst_http.moc"

// SPDX-License-Identifier: MIT
#include "TestMain.h"
#include "TestSupport.h"

#include "platform/Http.h"

#include <QTest>

#include <httplib.h>

namespace {

HttpOptions quick()
{
    HttpOptions options;
    options.connectTimeoutMs = 2000;
    options.totalTimeoutMs = 1500;
    return options;
}

} // namespace

class TestHttp : public QObject {
    Q_OBJECT

    TestServer m_server;
    SilentServer m_silent;

private slots:
    void initTestCase()
    {
        m_server.route(QStringLiteral("/ok"), "hello", 200);
        m_server.route(QStringLiteral("/missing"), "<h1>not here</h1>", 404,
                       QStringLiteral("text/html"));
        m_server.route(QStringLiteral("/error"), "oops", 500);
        m_server.route(QStringLiteral("/latin1"), "caf\xe9", 200,
                       QStringLiteral("text/plain; charset=ISO-8859-1"));
        m_server.route(QStringLiteral("/utf8"), "caf\xc3\xa9", 200, QStringLiteral("text/plain"));
        m_server.route(QStringLiteral("/quoted"), "caf\xe9", 200,
                       QStringLiteral("text/html; charset=\"iso-8859-1\""));
        m_server.route(QStringLiteral("/big"), QByteArray(4096, 'x'), 200);
        m_server.route(QStringLiteral("/slow"), "late", 200, QStringLiteral("text/plain"), 5000);
        // /hop/N redirects to /hop/N-1; /hop/0 answers.
        m_server.server().Get(R"(/hop/(\d+))",
                              [](const httplib::Request& req, httplib::Response& res) {
                                  const int n = std::stoi(req.matches[1]);
                                  if (n == 0)
                                      res.set_content("arrived", "text/plain");
                                  else
                                      res.set_redirect("/hop/" + std::to_string(n - 1));
                              });
        m_server.start();
    }

    void answers_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<long>("status");
        QTest::addColumn<QString>("body");
        QTest::newRow("ok") << "/ok" << 200L << "hello";
        QTest::newRow("404 body returned") << "/missing" << 404L << "<h1>not here</h1>";
        QTest::newRow("500 body returned") << "/error" << 500L << "oops";
        QTest::newRow("charset from header") << "/latin1" << 200L << "café";
        QTest::newRow("quoted charset") << "/quoted" << 200L << "café";
        QTest::newRow("utf-8 without charset") << "/utf8" << 200L << "café";
        QTest::newRow("five redirects followed") << "/hop/5" << 200L << "arrived";
    }
    void answers()
    {
        QFETCH(QString, path);
        QFETCH(long, status);
        QFETCH(QString, body);
        const HttpResult r = httpGet(m_server.url(path), quick());
        QVERIFY2(r.ok(), r.ok() ? "" : qPrintable(r.error->userText()));
        QCOMPARE(r.status, status);
        QCOMPARE(r.body, body);
    }

    void failures_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<qint64>("cap");
        QTest::addColumn<bool>("download");
        const int refused = closedPort();
        QTest::newRow("connection refused")
            << QStringLiteral("http://127.0.0.1:%1/").arg(refused) << qint64(1 << 20) << true;
        QTest::newRow("never answers")
            << QStringLiteral("http://127.0.0.1:%1/").arg(m_silent.port()) << qint64(1 << 20)
            << true;
        QTest::newRow("answer too slow")
            << m_server.url(QStringLiteral("/slow")) << qint64(1 << 20) << true;
        QTest::newRow("body over the cap")
            << m_server.url(QStringLiteral("/big")) << qint64(1000) << true;
        QTest::newRow("too many redirects")
            << m_server.url(QStringLiteral("/hop/6")) << qint64(1 << 20) << true;
        QTest::newRow("name not resolved")
            << "http://no-such-host.invalid/" << qint64(1 << 20) << true;
        QTest::newRow("malformed address") << "http://[::1/x" << qint64(1 << 20) << false;
        QTest::newRow("empty address") << "" << qint64(1 << 20) << false;
        QTest::newRow("file scheme refused") << "file:///etc/hostname" << qint64(1 << 20) << false;
        QTest::newRow("ftp scheme refused") << "ftp://127.0.0.1/" << qint64(1 << 20) << false;
    }
    void failures()
    {
        QFETCH(QString, url);
        QFETCH(qint64, cap);
        QFETCH(bool, download);
        HttpOptions options = quick();
        options.maxBodyBytes = cap;
        const HttpResult r = httpGet(url, options);
        QVERIFY(!r.ok());
        QCOMPARE(r.isDownloadFailure(), download);
        QCOMPARE(r.error->code(), download ? ErrorCode::DownloadFailed : ErrorCode::InvalidUrl);
        QVERIFY(r.body.isEmpty());
        QVERIFY_THROWS_EXCEPTION(BrandleError, r.bodyOrThrow());
    }

    void manyAtOnceKeepTheirOrder()
    {
        const QStringList urls = {m_server.url(QStringLiteral("/utf8")),
                                  QStringLiteral("http://127.0.0.1:%1/").arg(closedPort()),
                                  m_server.url(QStringLiteral("/ok")),
                                  m_server.url(QStringLiteral("/missing")), QString()};
        const std::vector<HttpResult> results = httpGetAll(urls, quick());
        QCOMPARE(results.size(), size_t(5));
        QCOMPARE(results[0].body, QStringLiteral("café"));
        QVERIFY(results[1].isDownloadFailure());
        QCOMPARE(results[2].body, QStringLiteral("hello"));
        QCOMPARE(results[3].status, 404L);
        QCOMPARE(results[4].error->code(), ErrorCode::InvalidUrl);
        QVERIFY(httpGetAll({}, quick()).empty());
    }
};

BRANDLE_TEST(TestHttp)
#include "tst_http.moc"

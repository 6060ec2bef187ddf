// SPDX-License-Identifier: MIT
// Tests of brandle-host: the demo counts as plain functions, and the real program over HTTP.

#include "DemoEngine.h"

#include <httplib.h>

#include <QHash>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <QUrl>
#include <QXmlStreamReader>

#include <signal.h>

using namespace brandle::host;

namespace {

// The fields of the schema's entry for the demo engine id, CDATA and entities resolved.
QHash<QString, QString> engineFields(const QString& schema, const QString& id)
{
    QXmlStreamReader xml(schema);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"Engine"_qs) {
            QHash<QString, QString> fields;
            while (xml.readNextStartElement())
                fields.insert(xml.name().toString(), xml.readElementText());
            if (fields.value(u"LeftURL"_qs).contains(u"/engines/%1/"_qs.arg(id)))
                return fields;
        }
    }
    return {};
}

} // namespace

class HostTest : public QObject {
    Q_OBJECT

    QProcess host_; // serves the project's service folder on a port of its own choice
    int port_ = 0;
    QString schema_;

    // The status (-1: no answer) and body; the path is sent exactly as written, so traversal
    // attempts reach the host unchanged.
    std::pair<int, QString> get(const QString& path) const
    {
        httplib::Client client("127.0.0.1", port_);
        client.set_url_encode(false);
        const auto res = client.Get(path.toStdString());
        return {res ? res->status : -1, res ? QString::fromStdString(res->body) : QString()};
    }

private slots:
    void initTestCase()
    {
        host_.start(
            QStringLiteral(BRANDLE_HOST_BIN),
            {u"--root"_qs, QStringLiteral(BRANDLE_TEST_SERVICE_DIR), u"--port"_qs, u"0"_qs});
        const QRegularExpression listening(u"listening on http://127\\.0\\.0\\.1:(\\d+)"_qs);
        QString output;
        while (port_ == 0 && host_.waitForReadyRead(5000)) {
            output += QString::fromUtf8(host_.readAllStandardOutput());
            port_ = listening.match(output).captured(1).toInt();
        }
        schema_ = get(u"/parlo/System/Link-Popularity-Schema.xml"_qs).second;
    }
    // The host ends cleanly on SIGTERM.
    void cleanupTestCase()
    {
        QCOMPARE(::kill(pid_t(host_.processId()), SIGTERM), 0);
        QVERIFY2(host_.waitForFinished(2000), "still running 2 s after the signal");
        QCOMPARE(host_.exitStatus(), QProcess::NormalExit);
        QCOMPARE(host_.exitCode(), 0);
    }

    void engine_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("site");
        // clang-format off
        QTest::newRow("alpha") << "alpha" << "example.com";
        QTest::newRow("beta, subdomains") << "beta" << "www.sub.brandle-demo.org";
        QTest::newRow("gamma, markup in site") << "gamma" << "<script>x.com";
        // clang-format on
    }
    // Over two days the count depends only on its arguments (not the site's letter case), stays
    // in the variation band, and both rises and falls. The answer page, fetched and read the way
    // the program reads the served schema entry, carries the count of the hour right after the
    // first LeftString.
    void engine()
    {
        QFETCH(QString, id);
        QFETCH(QString, site);
        const auto count = [&](const QString& s, const std::string& hour) {
            return demoCount(id.toStdString(), s.toStdString(), hour);
        };
        std::vector<std::uint64_t> counts;
        for (int hour = 0; hour < 48; ++hour) {
            const std::string key = "202603" + std::to_string(1400 + hour / 24 * 100 + hour % 24);
            counts.push_back(count(site, key));
            QCOMPARE(count(site.toUpper(), key), counts.back());
            QVERIFY(counts.back() >= kDemoMinBase * (1000 - kDemoVariationPermille) / 1000 &&
                    counts.back() <= kDemoMaxBase * (1000 + kDemoVariationPermille) / 1000);
        }
        QVERIFY(!std::is_sorted(counts.begin(), counts.end()));
        QVERIFY(!std::is_sorted(counts.rbegin(), counts.rend()));

        const QHash<QString, QString> e = engineFields(schema_, id);
        const QString url = e.value(u"LeftURL"_qs) +
                            QString::fromLatin1(QUrl::toPercentEncoding(site))
                                .replace(u"."_qs, e.value(u"ReplaceDot"_qs)) +
                            e.value(u"RightURL"_qs);
        QVERIFY2(url.startsWith(u"http://127.0.0.1:%1/engines/%2/"_qs.arg(port_).arg(id)),
                 qPrintable(url));
        const std::string hourBefore = hourKey(std::time(nullptr));
        const auto [status, body] = get(u"/"_qs + url.section(u'/', 3));
        const std::string hourAfter = hourKey(std::time(nullptr));
        QCOMPARE(status, 200);
        QVERIFY2(!body.contains(u"<script>"_qs), qPrintable(body)); // the site is escaped
        const QRegularExpressionMatch m =
            QRegularExpression(u"^(\\d{1,3}(,\\d{3})*)"_qs +
                               QRegularExpression::escape(e.value(u"RightString"_qs)))
                .match(body.section(e.value(u"LeftString"_qs), 1));
        QVERIFY2(m.hasMatch(), qPrintable(body));
        const quint64 n = m.captured(1).remove(u',').toULongLong();
        QVERIFY(n == count(site, hourBefore) || n == count(site, hourAfter));
    }

    void requests_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("reply"); // the status, then the body of a 200
        // The service folder sits next to the project's CMakeLists.txt, a real file to reach for.
        // clang-format off
        QTest::newRow("status") << "/parlo/System/Link-Popularity-Status.txt" << "200 Active";
        QTest::newRow("unknown file") << "/parlo/System/Nothing.txt" << "404";
        QTest::newRow("parent inside") << "/parlo/../../CMakeLists.txt" << "404";
        QTest::newRow("encoded parent") << "/%2e%2e/CMakeLists.txt" << "404";
        // clang-format on
    }
    void requests()
    {
        QFETCH(QString, path);
        QFETCH(QString, reply);
        const auto [status, body] = get(path);
        QCOMPARE(status == 200 ? u"200 "_qs + body : QString::number(status), reply);
    }
};

QTEST_GUILESS_MAIN(HostTest)
#include "tst_host.moc"

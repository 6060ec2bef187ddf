// SPDX-License-Identifier: MIT
// Tests of brandle-host: the demo counts as plain functions, and the real program over HTTP.

#include "DemoEngine.h"

#include <httplib.h>

#include <QDateTime>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <QUrl>
#include <QXmlStreamReader>

#include <signal.h>

#include <string>

using namespace brandle::host;

namespace {

const char* const kStatusPath = "/parlo/System/Link-Popularity-Status.txt";
const char* const kSchemaPath = "/parlo/System/Link-Popularity-Schema.xml";

struct Reply {
    int status = -1; // -1: no answer at all
    QString body;
};

// A brandle-host process serving the project's service folder on a port of its own choice.
struct HostProcess {
    QProcess process;
    int port = 0;

    ~HostProcess()
    {
        process.kill();
        process.waitForFinished(3000);
    }
    bool start()
    {
        process.start(
            QStringLiteral(BRANDLE_HOST_BIN),
            {u"--root"_qs, QStringLiteral(BRANDLE_TEST_SERVICE_DIR), u"--port"_qs, u"0"_qs});
        static const QRegularExpression listening(u"listening on http://127\\.0\\.0\\.1:(\\d+)"_qs);
        QString output;
        while (process.waitForReadyRead(5000)) {
            output += QString::fromUtf8(process.readAllStandardOutput());
            const QRegularExpressionMatch match = listening.match(output);
            if (match.hasMatch())
                return (port = match.captured(1).toInt()) > 0;
        }
        return false;
    }
    // The path is sent exactly as written, so traversal attempts reach the host unchanged.
    Reply get(const QString& path) const
    {
        httplib::Client client("127.0.0.1", port);
        client.set_connection_timeout(2);
        client.set_read_timeout(5);
        client.set_url_encode(false);
        Reply reply;
        if (auto res = client.Get(path.toStdString())) {
            reply.status = res->status;
            reply.body = QString::fromStdString(res->body);
        }
        return reply;
    }
};

// The fields of the schema's engine named name, CDATA and entities resolved.
QHash<QString, QString> engineFields(const QString& schema, const QString& name)
{
    QXmlStreamReader xml(schema);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"Engine"_qs) {
            QHash<QString, QString> fields;
            while (xml.readNextStartElement())
                fields.insert(xml.name().toString(), xml.readElementText());
            if (fields.value(u"EngineName"_qs) == name)
                return fields;
        }
    }
    return {};
}

} // namespace

class HostTest : public QObject {
    Q_OBJECT

    HostProcess host_;
    QString schema_;

private slots:
    void initTestCase()
    {
        QVERIFY(host_.start());
        const Reply schema = host_.get(QString::fromLatin1(kSchemaPath));
        QCOMPARE(schema.status, 200);
        schema_ = schema.body;
    }

    void demoCount_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<QString>("site");
        QTest::newRow("alpha") << u"alpha"_qs << u"example.com"_qs;
        QTest::newRow("beta, subdomains") << u"beta"_qs << u"www.sub.brandle-demo.org"_qs;
        QTest::newRow("gamma, empty site") << u"gamma"_qs << QString();
    }
    // Over two days the count depends only on its arguments (not the site's letter case),
    // stays in the variation band, and both rises and falls from one hour to the next.
    void demoCount()
    {
        QFETCH(QString, engine);
        QFETCH(QString, site);
        const std::string id = engine.toStdString();
        const QDateTime start(QDate(2026, 3, 14), QTime(0, 0));
        std::uint64_t previous = 0;
        int rises = 0;
        int falls = 0;
        for (int hour = 0; hour < 48; ++hour) {
            const std::string key =
                start.addSecs(3600 * hour).toString(u"yyyyMMddHH"_qs).toStdString();
            const std::uint64_t count = brandle::host::demoCount(id, site.toStdString(), key);
            QCOMPARE(brandle::host::demoCount(id, site.toUpper().toStdString(), key), count);
            QVERIFY(count >= kDemoMinBase - kDemoMinBase * kDemoVariationPermille / 1000);
            QVERIFY(count <= kDemoMaxBase + kDemoMaxBase * kDemoVariationPermille / 1000);
            rises += hour > 0 && count > previous ? 1 : 0;
            falls += hour > 0 && count < previous ? 1 : 0;
            previous = count;
        }
        QVERIFY(rises > 0 && falls > 0);
    }

    void servedSchema()
    {
        QVERIFY(!schema_.contains(u"{host}"_qs));
        QVERIFY(schema_.contains(u"http://127.0.0.1:%1/engines/alpha/"_qs.arg(host_.port)));
    }

    void requests_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("body"); // "": not compared
        // The service folder sits next to the project's CMakeLists.txt, a real file to reach for.
        QTest::newRow("status") << QString::fromLatin1(kStatusPath) << 200 << u"Active"_qs;
        QTest::newRow("unknown file") << u"/parlo/System/Nothing.txt"_qs << 404 << QString();
        QTest::newRow("parent") << u"/../CMakeLists.txt"_qs << 404 << QString();
        QTest::newRow("parent inside") << u"/parlo/../../CMakeLists.txt"_qs << 404 << QString();
        QTest::newRow("encoded parent") << u"/%2e%2e/CMakeLists.txt"_qs << 404 << QString();
    }
    void requests()
    {
        QFETCH(QString, path);
        QFETCH(int, status);
        QFETCH(QString, body);
        const Reply reply = host_.get(path);
        QCOMPARE(reply.status, status);
        QVERIFY(!reply.body.contains(u"cmake_minimum_required"_qs));
        if (!body.isEmpty())
            QCOMPARE(reply.body, body);
    }

    void engineAnswers_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("site");
        QTest::newRow("alpha") << u"Alpha Search"_qs << u"alpha"_qs << u"example.com"_qs;
        QTest::newRow("beta") << u"Beta Find"_qs << u"beta"_qs << u"www.sub.brandle-demo.org"_qs;
        QTest::newRow("gamma") << u"Gamma Seek"_qs << u"gamma"_qs << u"example.com"_qs;
        QTest::newRow("alpha, markup in site")
            << u"Alpha Search"_qs << u"alpha"_qs << u"<script>x.com"_qs;
    }
    // Does what the program does with a schema entry: builds the query address, fetches it and
    // cuts the count out between LeftString and RightString.
    void engineAnswers()
    {
        QFETCH(QString, name);
        QFETCH(QString, id);
        QFETCH(QString, site);
        const QHash<QString, QString> e = engineFields(schema_, name);
        const QString url = e.value(u"LeftURL"_qs) +
                            QString::fromLatin1(QUrl::toPercentEncoding(site))
                                .replace(u"."_qs, e.value(u"ReplaceDot"_qs)) +
                            e.value(u"RightURL"_qs);
        const std::string hourBefore = hourKey(std::time(nullptr));
        const Reply reply = host_.get(u"/"_qs + url.section(u'/', 3));
        const std::string hourAfter = hourKey(std::time(nullptr));
        QCOMPARE(reply.status, 200);
        QVERIFY2(!reply.body.contains(u"<script>"_qs), qPrintable(reply.body)); // escaped site

        const QString left = e.value(u"LeftString"_qs);
        const qsizetype from = reply.body.indexOf(left) + left.size();
        const qsizetype to = reply.body.indexOf(e.value(u"RightString"_qs), from);
        QVERIFY2(from >= left.size() && to > from, qPrintable(reply.body));
        const QString text = reply.body.mid(from, to - from);
        QVERIFY2(QRegularExpression(u"^\\d{1,3}(,\\d{3})*$"_qs).match(text).hasMatch(),
                 qPrintable(text));
        const quint64 count = QString(text).remove(u',').toULongLong();
        QVERIFY(count ==
                    brandle::host::demoCount(id.toStdString(), site.toStdString(), hourBefore) ||
                count == brandle::host::demoCount(id.toStdString(), site.toStdString(), hourAfter));
    }

    void stopsOnSigterm()
    {
        HostProcess host;
        QVERIFY(host.start());
        QCOMPARE(::kill(static_cast<pid_t>(host.process.processId()), SIGTERM), 0);
        QVERIFY2(host.process.waitForFinished(2000), "still running 2 s after the signal");
        QCOMPARE(host.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(host.process.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(HostTest)
#include "tst_host.moc"

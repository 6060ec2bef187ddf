// SPDX-License-Identifier: MIT
#include "TestMain.h"
#include "TestSupport.h"

#include "engine/HostSources.h"
#include "engine/Schema.h"
#include "platform/Errors.h"
#include "platform/mConstants.h"

#include <QTest>

using namespace brandle;

namespace {

QString entry(const QString& name)
{
    return u"<E><EngineName>%1</EngineName><EngineHome>http://h/</EngineHome><LeftURL>http://q/?s="
           "</LeftURL><RightURL>&amp;x=1</RightURL><LeftString><![CDATA[<b> ]]></LeftString>"
           "<RightString> links</RightString><ReplaceDot>.</ReplaceDot></E>"_s.arg(name);
}

} // namespace

class TestSchema : public QObject {
    Q_OBJECT
private slots:
    void entries_data()
    {
        QTest::addColumn<QString>("schema");
        QTest::addColumn<QString>("result"); // start of "count: fields of entry 0" or "error N.."
        const QString list = u"<Root><First/><List>%1</List></Root>"_s;
        const QString noRight = entry(u"B"_s).remove(u"<RightString> links</RightString>"_s);
        // clang-format off
        QTest::newRow("fields read") << list.arg(entry(u"A 1"_s) + u"\n"_s + entry(u"B"_s))
            << "2: A 1|http://h/|http://q/?s=|&x=1|<b> | links|.";
        QTest::newRow("comment is an entry without fields")
            << list.arg(u"<!-- engines -->"_s + entry(u"A"_s)) << "2: error 91 EngineName";
        QTest::newRow("missing field named") << list.arg(noRight) << "1: error 91 RightString";
        QTest::newRow("not xml") << "<html><body>Service unavailable"
                                 << u"error %1"_s.arg(int(ErrorCode::XmlParse));
        QTest::newRow("one child") << "<Root><List/></Root>" << "error 91";
        // clang-format on
    }
    void entries()
    {
        QFETCH(QString, schema);
        QFETCH(QString, result);
        QString got;
        try {
            const EngineSchema s(schema);
            got = QString::number(s.engineCount()) + u": "_s;
            if (s.engineCount() > 0) {
                const EngineEntry e = s.engine(0);
                got += QStringList{e.EngineName, e.EngineHome,  e.LeftURL,   e.RightURL,
                                   e.LeftString, e.RightString, e.ReplaceDot}
                           .join(u'|');
            }
        } catch (const BrandleError& e) {
            got += u"error %1 %2"_s.arg(e.number()).arg(e.detail()).trimmed();
        }
        QVERIFY2(got.startsWith(result), qPrintable(got));
    }

    // The schema as served, read in its declared encoding (the HTTP charset winning), or why
    // there is none, naming the engine schema.
    void fetchSchema_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("contentType");
        QTest::addColumn<QString>("text"); // or the start of the error's description
        const QByteArray latin1 = "<R><A>M\xfcller</A><LPResults /></R>";
        const QString read = u"<R><A>Müller</A><LPResults></LPResults></R>"_s;
        // clang-format off
        QTest::newRow("ISO-8859-1 declared, served without it, placeholder in full") << 200
            << "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n" + latin1 << "text/xml" << read;
        QTest::newRow("HTTP charset over the declaration") << 200
            << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + latin1 << "text/xml; charset=ISO-8859-1"
            << read;
        QTest::newRow("404 page") << 404 << QByteArray("<html><body>Not found</body></html>")
            << "text/html"
            << "The engine schema cannot be used: the service host answered 404 for the engine schema";
        QTest::newRow("an HTML page") << 200 << QByteArray("<html><body>Welcome<br></body></html>")
            << "text/html" << "The engine schema cannot be used: the engine schema is not XML: ";
        // clang-format on
    }
    void fetchSchema()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, contentType);
        FakeServiceHost host;
        host.schema(body, status, contentType).start();
        const ScopedEnv env("BRANDLE_SERVICE_HOST", host.hostPort().toUtf8());
        QString got;
        try {
            got = GetEngineSchema();
        } catch (const BrandleError& e) {
            got = e.description();
        }
        QFETCH(QString, text);
        QVERIFY2(got.startsWith(text), qPrintable(got));
    }

    // The bundled schema has the window's settings and the results slot its style sheet renders:
    // what the total sums, each unit, each reason, and why a total was not compared.
    void bundledDocuments_data()
    {
        QTest::addColumn<QString>("results"); // the Results attributes after Site and Created
        QTest::addColumn<QString>("alpha");   // Alpha Search's attributes; Beta Find has no count
        QTest::addColumn<QStringList>("shown");
        // clang-format off
        QTest::newRow("compared, a reason with markup") << "Total=\"12,345\" Fluctuation=\"1\" Partial=\"1\""
            << "Unit=\"pages\"" << QStringList{u"Link popularity — sum of 1 of 2 sources"_s,
                u"12,345"_s, u"pages"_s, u"up"_s, u"no count"_s, u"a ‹b›list‹/b› is down"_s};
        QTest::newRow("not compared, a source had no count")
            << "Total=\"12,345\" Fluctuation=\"0\" Partial=\"1\" Compared=\"0\"" << ""
            << QStringList{u"not compared (a source had no count)"_s};
        QTest::newRow("first count") << "Total=\"12,345\" Fluctuation=\"0\" Partial=\"1\" Compared=\"0\""
            << "Compared=\"0\"" << QStringList{u"first count"_s};
        QTest::newRow("nothing counted")
            << "Total=\"0\" Fluctuation=\"0\" Partial=\"1\" NoCount=\"1\" Compared=\"0\""
            << "NoCount=\"1\"" << QStringList{u"Link popularity — no source counted"_s, u"no count"_s};
        // clang-format on
    }
    void bundledDocuments()
    {
        QFETCH(QString, results);
        QFETCH(QString, alpha);
        QFETCH(QStringList, shown);
        const QString path = QString::fromUtf8(SERVICE_DIR "/parlo/System/Link-Popularity-Schema.");
        QString schema = XmlDocument::parse(readText(path + u"xml"_s)).serialize();
        QCOMPARE(EngineSchema(schema).engineCount(), 3);
        for (const char* name : {"WinWidth", "WinHeight", "WinDuration", "WinSpeed", "WinSlide",
                                 "WebWidth", "WebHeight", "PicHeight", "WinSleep"})
            QVERIFY2(!GetNodeText(schema, QLatin1StringView(name)).isEmpty(), name);
        QVERIFY(schema.contains(mConstants::ResultsPlaceholder));
        schema.replace(
            mConstants::ResultsPlaceholder,
            u"<Results Site=\"example.com\" Created=\"12/6/2026 7:23:58 AM\" %1>"
            "<Engine %2><Name><![CDATA[Alpha Search]]></Name><URL><![CDATA[http://e/]]>"
            "</URL><Count><![CDATA[12,345]]></Count><Fluctuation>2</Fluctuation></Engine>"
            "<Engine NoCount=\"1\" Reason=\"a &lt;b&gt;list&lt;/b&gt; is down\">"
            "<Name><![CDATA[Beta Find]]></Name><URL><![CDATA[http://f/]]></URL>"
            "<Count><![CDATA[0]]></Count><Fluctuation>0</Fluctuation></Engine>"
            "</Results>"_s.arg(results, alpha));
        const QString html =
            xslTransform(XmlDocument::parse(schema), XmlDocument::parse(readText(path + u"xsl"_s)));
        for (const QString& part : shown + QStringList{u"example.com"_s, u"Alpha Search"_s,
                                                       u"Beta Find"_s, u"12/6/2026 7:23:58 AM"_s})
            QVERIFY2(html.contains(part), qPrintable(part));
        // No 0 that is no figure, no "no change" for a total that was not compared, no markup
        // from a reason.
        for (const QString& part : {u">0<"_s, u"no change"_s, u"<b>list"_s})
            QVERIFY2(!html.contains(part), qPrintable(part));
    }

    // The service host's GET /sources as the Sources tab reads it.
    void hostSources_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<int>("sources");     // -1: not an answer of GET /sources
        QTest::addColumn<double>("progress"); // of the first; -1: none
        const QByteArray one = R"([{"id":"cc","state":"loading","progress":%1}])";
        // clang-format off
        QTest::newRow("loading") << QByteArray(one).replace("%1", "0.37") << 1 << 0.37;
        QTest::newRow("progress beyond the end") << QByteArray(one).replace("%1", "1.5") << 1 << 1.0;
        QTest::newRow("two, no progress") << QByteArray(R"([{"id":"a","progress":null},{"id":"b"}])") << 2 << -1.0;
        QTest::newRow("an object") << QByteArray(R"({"id":"a"})") << -1 << -1.0;
        QTest::newRow("an entry without id") << QByteArray(R"([{"id":"a"},{"name":"b"}])") << -1 << -1.0;
        // clang-format on
    }
    void hostSources()
    {
        QFETCH(QByteArray, json);
        const std::optional<QList<HostSource>> sources = readHostSources(json);
        QTEST(sources ? int(sources->size()) : -1, "sources");
        QTEST(sources && !sources->isEmpty() ? sources->front().progress.value_or(-1) : -1.0,
              "progress");
    }
};

BRANDLE_TEST(TestSchema)
#include "tst_schema.moc"

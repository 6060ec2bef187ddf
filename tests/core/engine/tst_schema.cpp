// SPDX-License-Identifier: MIT
#include "TestMain.h"
#include "TestSupport.h"

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
        QTest::newRow("whitespace only") << list.arg(u"\n   \n"_s) << "0: ";
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

    // The schema as served, or why there is none, naming the engine schema.
    void fetchSchema_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("text"); // or the start of the error's description
        // clang-format off
        QTest::newRow("served, no declaration, placeholder in full") << 200
            << "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<R><A/><LPResults /></R>"
            << "<R><A></A><LPResults></LPResults></R>";
        QTest::newRow("404 page") << 404 << "<html><body>Not found</body></html>"
            << "The engine schema cannot be used: the service host answered 404 for the engine schema";
        QTest::newRow("an HTML page") << 200 << "<html><body>Welcome<br></body></html>"
            << "The engine schema cannot be used: the engine schema is not XML: ";
        // clang-format on
    }
    void fetchSchema()
    {
        QFETCH(int, status);
        QFETCH(QString, body);
        FakeServiceHost host;
        host.schema(body.toUtf8(), status).start();
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

    // The bundled schema has the window's settings and the results slot its style sheet renders.
    void bundledDocuments()
    {
        const QString path = QString::fromUtf8(SERVICE_DIR "/parlo/System/Link-Popularity-Schema.");
        QString schema = XmlDocument::parse(readText(path + u"xml"_s)).serialize();
        QCOMPARE(EngineSchema(schema).engineCount(), 3);
        for (const char* name : {"WinWidth", "WinHeight", "WinDuration", "WinSpeed", "WinSlide",
                                 "WebWidth", "WebHeight", "PicHeight", "WinSleep"})
            QVERIFY2(!GetNodeText(schema, QLatin1StringView(name)).isEmpty(), name);
        QVERIFY(schema.contains(mConstants::ResultsPlaceholder));
        schema.replace(mConstants::ResultsPlaceholder,
                       u"<Results Site=\"example.com\" Total=\"13,579\" Fluctuation=\"1\" "
                       "Created=\"12/6/2026 7:23:58 AM\"><Engine><Name><![CDATA[Alpha Search]]>"
                       "</Name><URL><![CDATA[http://e/?q=example.com]]></URL><Count><![CDATA["
                       "12,345]]></Count><Fluctuation>2</Fluctuation></Engine>"
                       "<Engine NoCount=\"1\"><Name><![CDATA[Beta Find]]></Name><URL><![CDATA["
                       "http://f/]]></URL><Count><![CDATA[0]]></Count><Fluctuation>0</Fluctuation>"
                       "</Engine></Results>"_s);
        const QString html =
            xslTransform(XmlDocument::parse(schema), XmlDocument::parse(readText(path + u"xsl"_s)));
        for (const char* expected : {"example.com", "13,579", "Alpha Search", "12,345",
                                     "12/6/2026 7:23:58 AM", "Beta Find", "no count"})
            QVERIFY2(html.contains(QLatin1StringView(expected)), expected);
        // An engine without a count shows no figure: its 0 is none.
        QVERIFY(!html.contains(u">0<"_s));
    }
};

BRANDLE_TEST(TestSchema)
#include "tst_schema.moc"

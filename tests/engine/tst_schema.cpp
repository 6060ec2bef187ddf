// SPDX-License-Identifier: MIT
#include "TestMain.h"
#include "TestSupport.h"

#include "engine/Schema.h"
#include "platform/Errors.h"
#include "platform/mConstants.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

QString entry(const QString& name, const QString& extra = QString())
{
    return QStringLiteral("<E><EngineName>%1</EngineName><EngineHome>http://h/</EngineHome>"
                          "<LeftURL>http://q/?s=</LeftURL><RightURL>&amp;x=1</RightURL>"
                          "<LeftString><![CDATA[<b> ]]></LeftString><RightString> links"
                          "</RightString><ReplaceDot>.</ReplaceDot>%2</E>")
        .arg(name, extra);
}

QString schema(const QString& entries)
{
    return QStringLiteral("<Root><First/><List>%1</List><WinSleep>60</WinSleep>"
                          "<LPResults></LPResults></Root>")
        .arg(entries);
}

QString readService(const QString& name)
{
    QFile file(QStringLiteral(SERVICE_DIR "/parlo/System/") + name);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

int errorNumber(const std::function<void()>& f)
{
    try {
        f();
    } catch (const BrandleError& e) {
        return e.number();
    }
    return 0;
}

} // namespace

class TestSchema : public QObject {
    Q_OBJECT
private slots:
    void fieldsAreRead()
    {
        const EngineSchema s(schema(entry(QStringLiteral("Alpha One"))));
        QCOMPARE(s.engineCount(), 1);
        const EngineEntry e = s.engine(0);
        QCOMPARE(e.EngineName, QStringLiteral("Alpha One"));
        QCOMPARE(e.EngineHome, QStringLiteral("http://h/"));
        QCOMPARE(e.LeftURL, QStringLiteral("http://q/?s="));
        QCOMPARE(e.RightURL, QStringLiteral("&x=1"));
        QCOMPARE(e.LeftString, QStringLiteral("<b> "));
        QCOMPARE(e.RightString, QStringLiteral(" links"));
        QCOMPARE(e.ReplaceDot, QStringLiteral("."));
    }

    void entryLayout_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("firstName");
        QTest::newRow("empty list") << "" << 0 << "";
        QTest::newRow("whitespace only") << "\n   \n" << 0 << "";
        QTest::newRow("three in order")
            << entry(u"A"_s) + u"\n"_s + entry(u"B"_s) + entry(u"C"_s) << 3 << "A";
        QTest::newRow("field nested deeper")
            << "<E><Wrap><EngineName>Deep</EngineName></Wrap><EngineHome/><LeftURL/><RightURL/>"
               "<LeftString/><RightString/><ReplaceDot/></E>"
            << 1 << "Deep";
        QTest::newRow("first of two names wins")
            << "<E><EngineName>First</EngineName><EngineName>Second</EngineName><EngineHome/>"
               "<LeftURL/><RightURL/><LeftString/><RightString/><ReplaceDot/></E>"
            << 1 << "First";
    }
    void entryLayout()
    {
        QFETCH(QString, list);
        QFETCH(int, count);
        QFETCH(QString, firstName);
        const EngineSchema s(schema(list));
        QCOMPARE(s.engineCount(), count);
        if (count > 0)
            QCOMPARE(s.engine(0).EngineName, firstName);
    }

    void missingFieldFailsAtItsEntry()
    {
        QString broken = entry(QStringLiteral("B"));
        broken.remove(QRegularExpression(QStringLiteral("<RightString>.*</RightString>")));
        const EngineSchema s(
            schema(entry(QStringLiteral("A")) + broken + entry(QStringLiteral("C"))));
        QCOMPARE(s.engineCount(), 3);
        QCOMPARE(s.engine(0).EngineName, QStringLiteral("A"));
        try {
            s.engine(1);
            QFAIL("read");
        } catch (const BrandleError& e) {
            QCOMPARE(e.code(), ErrorCode::ElementMissing);
            QCOMPARE(e.detail(), QStringLiteral("RightString"));
        }
        QCOMPARE(s.engine(2).EngineName, QStringLiteral("C"));
    }

    // A comment in the engine list is a child node, hence an entry, and it has no fields.
    void commentIsAnEntryWithoutFields()
    {
        const EngineSchema s(
            schema(QStringLiteral("<!-- engines -->") + entry(QStringLiteral("A"))));
        QCOMPARE(s.engineCount(), 2);
        QCOMPARE(errorNumber([&] { s.engine(0); }), int(ErrorCode::ElementMissing));
    }

    void unusableSchemas_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("number");
        QTest::newRow("empty") << "" << int(ErrorCode::XmlParse);
        QTest::newRow("not xml") << "<html><body>Service unavailable" << int(ErrorCode::XmlParse);
        QTest::newRow("one child") << u"<Root><List>"_s + entry(u"A"_s) + u"</List></Root>"_s
                                   << int(ErrorCode::ElementMissing);
        QTest::newRow("no children") << "<Root/>" << int(ErrorCode::ElementMissing);
    }
    void unusableSchemas()
    {
        QFETCH(QString, text);
        QFETCH(int, number);
        QCOMPARE(errorNumber([&] { EngineSchema s(text); }), number);
    }

    void nodeText()
    {
        const QString doc = schema(entry(QStringLiteral("A")));
        QCOMPARE(GetNodeText(doc, QStringLiteral("WinSleep")), QStringLiteral("60"));
        QCOMPARE(GetNodeText(doc, QStringLiteral("EngineName")), QStringLiteral("A"));
        QCOMPARE(errorNumber([&] { GetNodeText(doc, QStringLiteral("WinWidth")); }),
                 int(ErrorCode::ElementMissing));
        QCOMPARE(errorNumber([&] { GetNodeText(QString(), QStringLiteral("WinSleep")); }),
                 int(ErrorCode::XmlParse));
    }

    void fetchSchema_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("expectText");
        QTest::newRow("served") << 200
                                << QByteArray(
                                       "<?xml version=\"1.0\"?>\n<R><A/><B><LPResults/></B></R>")
                                << true;
        QTest::newRow("404 page") << 404 << QByteArray("<html><body>Not found</body></html>")
                                  << false;
        QTest::newRow("not well-formed") << 200 << QByteArray("<R><A></R>") << false;
        QTest::newRow("empty") << 200 << QByteArray() << false;
    }
    void fetchSchema()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(bool, expectText);
        TestServer server;
        server.route(mConstants::SchemaPath, body, status, QStringLiteral("text/xml"));
        server.start();
        const ScopedEnv host("BRANDLE_SERVICE_HOST", server.hostPort().toUtf8());
        const QString text = GetEngineSchema();
        if (expectText)
            QCOMPARE(text, QStringLiteral("<R><A></A><B><LPResults></LPResults></B></R>"));
        else
            QCOMPARE(text, QString());
    }

    void fetchSchemaFromNowhere()
    {
        const ScopedEnv host("BRANDLE_SERVICE_HOST",
                             QByteArray("127.0.0.1:") + QByteArray::number(closedPort()));
        QCOMPARE(GetEngineSchema(), QString());
    }

    // The bundled service documents are what the lookup relies on.
    void bundledSchema()
    {
        const QString text = readService(QStringLiteral("Link-Popularity-Schema.xml"));
        QVERIFY(!text.isEmpty());
        const QString serialized = XmlDocument::parse(text).serialize();
        QVERIFY(serialized.contains(mConstants::ResultsPlaceholder));
        const EngineSchema s(serialized);
        QCOMPARE(s.engineCount(), 3);
        for (int i = 0; i < s.engineCount(); ++i) {
            const EngineEntry e = s.engine(i);
            QVERIFY(!e.EngineName.isEmpty());
            QVERIFY(!e.LeftString.isEmpty());
            QVERIFY(!e.RightString.isEmpty());
            QVERIFY(e.LeftURL.startsWith(QLatin1String("http://")));
        }
        for (const char* name : {"WinWidth", "WinHeight", "WinDuration", "WinSpeed", "WinSlide",
                                 "WebWidth", "WebHeight", "PicHeight", "WinSleep"})
            QVERIFY2(!GetNodeText(serialized, QLatin1String(name)).isEmpty(), name);
        QCOMPARE(GetNodeText(serialized, QStringLiteral("WinWidth")), QStringLiteral("3375"));
        QCOMPARE(GetNodeText(serialized, QStringLiteral("WinSleep")), QStringLiteral("60"));
    }

    void bundledStyleSheetRendersResults()
    {
        const QString schemaText =
            XmlDocument::parse(readService(QStringLiteral("Link-Popularity-Schema.xml")))
                .serialize();
        const QString results = QStringLiteral(
            "<Results Site=\"example.com\" Total=\"13,579\" Fluctuation=\"1\" "
            "Created=\"12/6/2026 7:23:58 AM\"><Engine><Name><![CDATA[Alpha Search]]></Name>"
            "<URL><![CDATA[http://127.0.0.1:8750/engines/alpha/search?links=example.com]]></URL>"
            "<Count><![CDATA[12,345]]></Count><Fluctuation>2</Fluctuation></Engine></Results>");
        QString merged = schemaText;
        merged.replace(mConstants::ResultsPlaceholder, results);
        const XmlDocument sheet =
            XmlDocument::parse(readService(QStringLiteral("Link-Popularity-Schema.xsl")));
        const QString html = xslTransform(XmlDocument::parse(merged), sheet);
        for (const char* expected :
             {"example.com", "13,579", "Alpha Search", "12,345", "12/6/2026 7:23:58 AM"})
            QVERIFY2(html.contains(QLatin1String(expected)), expected);
    }

    void bundledStatusIsActive()
    {
        QCOMPARE(readService(QStringLiteral("Link-Popularity-Status.txt")),
                 QStringLiteral("Active"));
    }
};

BRANDLE_TEST(TestSchema)
#include "tst_schema.moc"

// SPDX-License-Identifier: MIT
#include "TestMain.h"

#include "platform/Errors.h"
#include "platform/Xml.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

using namespace Qt::Literals::StringLiterals;

namespace {

QStringList childNames(const XmlNode& node)
{
    QStringList names;
    for (const XmlNode& child : node.childNodes())
        names << child.name();
    return names;
}

const char* const identityHtml =
    "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
    "<xsl:output method=\"html\" encoding=\"UTF-8\"/>"
    "<xsl:template match=\"/\"><p><xsl:value-of select=\"/L/Results/@Site\"/></p></xsl:template>"
    "</xsl:stylesheet>";

} // namespace

class TestXml : public QObject {
    Q_OBJECT
private slots:
    void childRule_data()
    {
        QTest::addColumn<QString>("xml");
        QTest::addColumn<QStringList>("children");
        QTest::newRow("whitespace between elements left out")
            << "<r>\n  <a/>\n\t<b/>\n</r>" << QStringList{u"a"_s, u"b"_s};
        QTest::newRow("a comment counts")
            << "<r> <!-- note --> <a/> <b/> </r>" << QStringList{u"comment"_s, u"a"_s, u"b"_s};
        QTest::newRow("non-blank text counts")
            << "<r> x <a/></r>" << QStringList{u"text"_s, u"a"_s};
        QTest::newRow("cdata counts") << "<r><![CDATA[ ]]><a/></r>" << QStringList{u""_s, u"a"_s};
        QTest::newRow("no children") << "<r>   </r>" << QStringList{};
    }
    void childRule()
    {
        QFETCH(QString, xml);
        QFETCH(QStringList, children);
        const XmlDocument doc = XmlDocument::parse(xml);
        QStringList names = childNames(doc.root());
        QCOMPARE(names, children);
    }

    void firstElementText_data()
    {
        QTest::addColumn<QString>("xml");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::newRow("nested deeper") << "<r><x><y><F>deep</F></y></x></r>"
                                       << "F"
                                       << "deep";
        QTest::newRow("first of two wins") << "<r><a><F>one</F></a><F>two</F></r>"
                                           << "F"
                                           << "one";
        QTest::newRow("cdata keeps blanks") << "<r><F><![CDATA[  a b  ]]></F></r>"
                                            << "F"
                                            << "  a b  ";
        QTest::newRow("text keeps blanks") << "<r><F>  x </F></r>"
                                           << "F"
                                           << "  x ";
        QTest::newRow("entities resolved") << "<r><F>&lt;b&gt; &amp; &#233;</F></r>"
                                           << "F"
                                           << "<b> & é";
        QTest::newRow("mixed text and cdata") << "<r><F>a<![CDATA[<]]>b</F></r>"
                                              << "F"
                                              << "a<b";
        QTest::newRow("comment not text") << "<r><F>a<!--c-->b</F></r>"
                                          << "F"
                                          << "ab";
        QTest::newRow("case-sensitive name") << "<r><f>low</f><F>up</F></r>"
                                             << "F"
                                             << "up";
        QTest::newRow("internal entity") << "<!DOCTYPE r [<!ENTITY e \"ent\">]><r><F>&e;</F></r>"
                                         << "F"
                                         << "ent";
    }
    void firstElementText()
    {
        QFETCH(QString, xml);
        QFETCH(QString, name);
        QFETCH(QString, text);
        const XmlDocument doc = XmlDocument::parse(xml);
        QCOMPARE(doc.firstElement(name).text(), text);
    }

    void rootItselfIsFound()
    {
        const XmlDocument doc = XmlDocument::parse(QStringLiteral("<F>root</F>"));
        QCOMPARE(doc.firstElement(QStringLiteral("F")).text(), QStringLiteral("root"));
        QVERIFY(doc.firstElement(QStringLiteral("G")).isNull());
    }

    void attributes()
    {
        const XmlDocument doc =
            XmlDocument::parse(QStringLiteral("<Results Site=\"a&quot;b.com\" Total=\"1,234\"/>"));
        QCOMPARE(doc.root().attribute(QStringLiteral("Site")), QStringLiteral("a\"b.com"));
        QCOMPARE(doc.root().attribute(QStringLiteral("Total")), QStringLiteral("1,234"));
        QCOMPARE(doc.root().attribute(QStringLiteral("Missing")), QString());
    }

    void placeholderSurvivesSerialization_data()
    {
        QTest::addColumn<QString>("xml");
        QTest::newRow("start and end tag") << "<r><a>1</a><LPResults></LPResults></r>";
        QTest::newRow("empty-element tag") << "<r><a>1</a><LPResults/></r>";
        QTest::newRow("with declaration")
            << "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<r><LPResults /></r>";
    }
    void placeholderSurvivesSerialization()
    {
        QFETCH(QString, xml);
        const QString text = XmlDocument::parse(xml).serialize();
        QVERIFY2(text.contains(QLatin1String("<LPResults></LPResults>")), qPrintable(text));
        QVERIFY2(!text.startsWith(QLatin1String("<?xml")), qPrintable(text));
        // The serialized text parses again to the same content.
        QCOMPARE(XmlDocument::parse(text).serialize(), text);
    }

    void nonAsciiSurvivesRoundTrip()
    {
        const QString xml =
            QStringLiteral("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r>Straße €</r>");
        const XmlDocument doc = XmlDocument::parse(xml);
        QCOMPARE(doc.root().text(), QStringLiteral("Straße €"));
        QCOMPARE(XmlDocument::parse(doc.serialize()).root().text(), QStringLiteral("Straße €"));
    }

    void malformedIsAnError_data()
    {
        QTest::addColumn<QString>("xml");
        QTest::newRow("empty") << "";
        QTest::newRow("blank") << "   ";
        QTest::newRow("unclosed") << "<r><a></r>";
        QTest::newRow("two roots") << "<a/><b/>";
        QTest::newRow("plain text") << "Active";
        QTest::newRow("undefined entity") << "<r>&nope;</r>";
    }
    void malformedIsAnError()
    {
        QFETCH(QString, xml);
        try {
            XmlDocument::parse(xml);
            QFAIL("parsed");
        } catch (const BrandleError& e) {
            QCOMPARE(e.code(), ErrorCode::XmlParse);
        }
    }

    void externalEntityIsNotLoaded()
    {
        QTemporaryDir dir;
        const QString secretPath = dir.filePath(QStringLiteral("secret.txt"));
        QFile secret(secretPath);
        QVERIFY(secret.open(QIODevice::WriteOnly));
        secret.write("TOPSECRET");
        secret.close();
        const QString url = QUrl::fromLocalFile(secretPath).toString();
        const QString xml =
            QStringLiteral("<!DOCTYPE r [<!ENTITY x SYSTEM \"%1\">]><r><F>[&x;]</F></r>").arg(url);
        QString text;
        try {
            const XmlDocument doc = XmlDocument::parse(xml);
            text = doc.firstElement(QStringLiteral("F")).text() + doc.serialize();
        } catch (const BrandleError&) {
            // refusing the document is as good as not loading the entity
        }
        QVERIFY2(!text.contains(QLatin1String("TOPSECRET")), qPrintable(text));
    }

    void transformRendersHtml()
    {
        const XmlDocument doc = XmlDocument::parse(
            QStringLiteral("<L><S/><Results Site=\"example.com\" Total=\"0\"/></L>"));
        const XmlDocument sheet = XmlDocument::parse(QString::fromUtf8(identityHtml));
        const QString html = xslTransform(doc, sheet);
        QVERIFY2(html.contains(QLatin1String("<p>example.com</p>")), qPrintable(html));
    }

    void transformMayNotTouchFiles_data()
    {
        QTest::addColumn<QString>("body");
        QTest::newRow("write with xsl:document")
            << "<xsl:document href=\"%1\" method=\"text\">pwned</xsl:document>";
        QTest::newRow("read with document()") << "<xsl:value-of select=\"document('%2')\"/>";
    }
    void transformMayNotTouchFiles()
    {
        QFETCH(QString, body);
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("written.txt"));
        const QString source = dir.filePath(QStringLiteral("source.xml"));
        QFile src(source);
        QVERIFY(src.open(QIODevice::WriteOnly));
        src.write("<s>TOPSECRET</s>");
        src.close();
        const QString sheetText =
            QStringLiteral("<xsl:stylesheet version=\"1.1\" "
                           "xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
                           "<xsl:template match=\"/\"><out>%1</out></xsl:template>"
                           "</xsl:stylesheet>")
                .arg(body.arg(target, QUrl::fromLocalFile(source).toString()));
        const XmlDocument doc = XmlDocument::parse(QStringLiteral("<r/>"));
        const XmlDocument sheet = XmlDocument::parse(sheetText);
        QString output;
        bool refused = false;
        try {
            output = xslTransform(doc, sheet);
        } catch (const BrandleError& e) {
            refused = e.code() == ErrorCode::XslTransform;
        }
        QVERIFY(refused);
        QVERIFY(!QFile::exists(target));
        QVERIFY(!output.contains(QLatin1String("TOPSECRET")));
    }

    void notAStyleSheetIsAnError()
    {
        const XmlDocument doc = XmlDocument::parse(QStringLiteral("<r/>"));
        const XmlDocument sheet = XmlDocument::parse(QStringLiteral("<html><p>plain</p></html>"));
        try {
            xslTransform(doc, sheet);
            QFAIL("transformed");
        } catch (const BrandleError& e) {
            QCOMPARE(e.code(), ErrorCode::XslTransform);
        }
    }
};

BRANDLE_TEST(TestXml)
#include "tst_xml.moc"

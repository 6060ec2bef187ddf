// SPDX-License-Identifier: MIT
#include "TestMain.h"

#include "platform/Errors.h"
#include "platform/Xml.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

using namespace Qt::Literals::StringLiterals;

class TestXml : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    // A file that no document or style sheet may read; "SECRET" in the tables stands for its URL.
    QString secretUrl() const { return QUrl::fromLocalFile(m_dir.filePath(u"s.xml"_s)).toString(); }

private slots:
    void initTestCase()
    {
        QFile secret(m_dir.filePath(u"s.xml"_s));
        QVERIFY(secret.open(QIODevice::WriteOnly));
        secret.write("<s>TOPSECRET</s>");
    }

    void childRule_data()
    {
        QTest::addColumn<QString>("xml");
        QTest::addColumn<QStringList>("children");
        // clang-format off
        QTest::newRow("whitespace between elements left out")
            << "<r>\n  <a/>\n\t<b/>\n</r>" << QStringList{u"a"_s, u"b"_s};
        QTest::newRow("a comment counts")
            << "<r> <!-- note --> <a/> </r>" << QStringList{u"comment"_s, u"a"_s};
        QTest::newRow("blank cdata counts")
            << "<r><![CDATA[ ]]><a/></r>" << QStringList{QString(), u"a"_s};
        // clang-format on
    }
    void childRule()
    {
        QFETCH(QString, xml);
        QFETCH(QStringList, children);
        QStringList names;
        for (const XmlNode& child : XmlDocument::parse(xml).root().childNodes())
            names << child.name();
        QCOMPARE(names, children);
    }

    void firstElementText_data()
    {
        QTest::addColumn<QString>("xml");
        QTest::addColumn<QString>("text"); // of the first F; "error" when parsing fails
        // clang-format off
        QTest::newRow("nested deeper") << "<r><x><y><F>deep</F></y></x></r>" << "deep";
        QTest::newRow("first of two wins") << "<r><a><F>one</F></a><F>two</F></r>" << "one";
        QTest::newRow("cdata keeps blanks") << "<r><F><![CDATA[  a b  ]]></F></r>" << "  a b  ";
        QTest::newRow("entities resolved") << "<r><F>&lt;b&gt; &amp; &#233;</F></r>" << "<b> & é";
        QTest::newRow("external entity not loaded")
            << "<!DOCTYPE r [<!ENTITY x SYSTEM \"SECRET\">]><r><F>[&x;]</F></r>" << "[]";
        QTest::newRow("unclosed") << "<r><F></r>" << "error";
        // clang-format on
    }
    void firstElementText()
    {
        QFETCH(QString, xml);
        QFETCH(QString, text);
        try {
            const XmlDocument doc = XmlDocument::parse(xml.replace(u"SECRET"_s, secretUrl()));
            QCOMPARE(doc.firstElement(u"F"_s).text(), text);
            QVERIFY(!doc.serialize().contains(u"TOPSECRET"_s));
        } catch (const BrandleError& e) {
            QCOMPARE(e.code(), ErrorCode::XmlParse);
            QCOMPARE(u"error"_s, text);
        }
    }

    // The results are merged in by replacing the literal "<LPResults></LPResults>".
    void placeholderSurvivesSerialization_data()
    {
        QTest::addColumn<QString>("xml");
        QTest::newRow("empty-element tag") << "<r><a>1</a><LPResults/></r>";
        QTest::newRow("declaration, blank in tag")
            << "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<r><LPResults /></r>";
    }
    void placeholderSurvivesSerialization()
    {
        QFETCH(QString, xml);
        const QString text = XmlDocument::parse(xml).serialize();
        QVERIFY2(text.contains(u"<LPResults></LPResults>"_s), qPrintable(text));
        QVERIFY2(!text.startsWith(u"<?xml"_s), qPrintable(text));
    }

    void transform_data()
    {
        QTest::addColumn<QString>("body");   // %1: a file to write
        QTest::addColumn<QString>("output"); // "": refused
        // clang-format off
        QTest::newRow("renders") << "<p><xsl:value-of select=\"/r/@s\"/></p>" << "<p>a.com</p>";
        QTest::newRow("write with xsl:document")
            << "<xsl:document href=\"%1\" method=\"text\">pwned</xsl:document>" << "";
        QTest::newRow("read with document()") << "<xsl:value-of select=\"document('SECRET')\"/>"
                                              << "";
        // clang-format on
    }
    void transform()
    {
        QFETCH(QString, body);
        QFETCH(QString, output);
        const QString target = m_dir.filePath(u"written.txt"_s);
        const QString sheet =
            u"<xsl:stylesheet version=\"1.1\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
            "<xsl:template match=\"/\">%1</xsl:template></xsl:stylesheet>"_s.arg(
                body.replace(u"%1"_s, target).replace(u"SECRET"_s, secretUrl()));
        QString html;
        bool refused = false;
        try {
            html =
                xslTransform(XmlDocument::parse(u"<r s=\"a.com\"/>"_s), XmlDocument::parse(sheet));
        } catch (const BrandleError& e) {
            refused = e.code() == ErrorCode::XslTransform;
        }
        QVERIFY(!QFile::exists(target));
        QCOMPARE(refused, output.isEmpty());
        QVERIFY2(html.contains(output), qPrintable(html));
    }
};

BRANDLE_TEST(TestXml)
#include "tst_xml.moc"

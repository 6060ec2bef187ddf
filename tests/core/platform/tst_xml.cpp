// SPDX-License-Identifier: MIT
#include "TestMain.h"
#include "TestSupport.h"

#include "platform/Errors.h"
#include "platform/Xml.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

using namespace brandle;

Q_DECLARE_METATYPE(brandle::XmlScanner::Event)

class TestXml : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    // A file that no document or style sheet may read; "SECRET" in the tables stands for its URL.
    QString secretUrl() const { return QUrl::fromLocalFile(m_dir.filePath(u"s.xml"_s)).toString(); }

private slots:
    void initTestCase() { QVERIFY(writeFile(m_dir.filePath(u"s.xml"_s), "<s>TOPSECRET</s>")); }

    void firstElementText_data()
    {
        QTest::addColumn<QString>("xml");
        QTest::addColumn<QString>("text"); // of the first F
        // clang-format off
        QTest::newRow("first of two wins") << "<r><a><F>one</F></a><F>two</F></r>" << "one";
        QTest::newRow("external entity not loaded")
            << "<!DOCTYPE r [<!ENTITY x SYSTEM \"SECRET\">]><r><F>[&x;]</F></r>" << "[]";
        // clang-format on
    }
    void firstElementText()
    {
        QFETCH(QString, xml);
        QFETCH(QString, text);
        const XmlDocument doc = XmlDocument::parse(xml.replace(u"SECRET"_s, secretUrl()));
        QCOMPARE(doc.firstElement(u"F"_s).text(), text);
        QVERIFY(!doc.serialize().contains(u"TOPSECRET"_s));
    }

    // The strict scan agrees with the parser on what it reads and on what it calls malformed.
    void scanner_data()
    {
        using E = XmlScanner::Event;
        QTest::addColumn<QByteArray>("doc");
        QTest::addColumn<XmlScanner::Event>("ends"); // the event the scan ends with
        QTest::addColumn<QString>("text"); // of the first element's children, when read through
        const QByteArray results = "<Results Site=\"a.com\" Total=\"1,234\" Fluctuation=\"0\" "
                                   "Created=\"12/5/2026 7:00:00 AM\">";
        QTest::newRow("a logged lookup")
            << results + "<Engine NoCount=\"1\"><Name><![CDATA[A]]></Name><URL><![CDATA[h?q=a&b]]>"
                         "</URL><Count><![CDATA[0]]></Count><Fluctuation>0</Fluctuation></Engine>"
                         "</Results>"
            << E::EndOfDocument << "Ah?q=a&b00";
        QTest::newRow("references, blanks, CR LF")
            << QByteArray("<r a=' x&amp;&#x41;\t\r\ny '>&lt;&#233;&gt;\r\n<b/>]></r>")
            << E::EndOfDocument << u"<\u00e9>\n]>"_s;
        QTest::newRow("cut short in a tag") << results + "<Eng" << E::Malformed << "";
        QTest::newRow("cut short in CDATA") << results + "<N><![CDATA[ab]" << E::Malformed << "";
        QTest::newRow("cut short before CDATA") << results + "<N><![CDA" << E::Malformed << "";
        QTest::newRow("elements left open") << results + "<Engine></Engine>" << E::Malformed << "";
        QTest::newRow("end tag of another name")
            << QByteArray("<a><b></a></b>") << E::Malformed << "";
        QTest::newRow("end tag, longer name")
            << QByteArray("<a><b></bc></a>") << E::Malformed << "";
        QTest::newRow("not a tag") << QByteArray("ab") << E::Malformed << "";
        QTest::newRow("no name after <") << QByteArray("<1a/>") << E::Malformed << "";
        QTest::newRow("]]> in text") << QByteArray("<a>x]]>y</a>") << E::Unsupported << "";
        QTest::newRow("control character") << QByteArray("<a>x\x01y</a>") << E::Unsupported << "";
        QTest::newRow("U+FFFE") << QByteArray("<a>x\xEF\xBF\xBEy</a>") << E::Unsupported << "";
        QTest::newRow("broken UTF-8 is kept")
            << QByteArray("<a>x\xFFy</a>") << E::EndOfDocument << u"x\ufffdy"_s;
        QTest::newRow("unknown entity") << QByteArray("<a>&nbsp;</a>") << E::Unsupported << "";
        QTest::newRow("reference to no character")
            << QByteArray("<a>&#1;</a>") << E::Unsupported << "";
        QTest::newRow("two attributes of one name")
            << QByteArray("<a x=\"1\" x=\"2\"/>") << E::Unsupported << "";
        QTest::newRow("no blank between attributes")
            << QByteArray("<a x=\"1\"y=\"2\"/>") << E::Unsupported << "";
        QTest::newRow("comment") << QByteArray("<a><!-- c --></a>") << E::Unsupported << "";
        QTest::newRow("document type")
            << QByteArray("<!DOCTYPE a [<!ENTITY s \"a.com\">]><a x=\"&s;\"/>") << E::Unsupported
            << "";
        QTest::newRow("namespace") << QByteArray("<p:a xmlns:p=\"u\"/>") << E::Unsupported << "";
        QTest::newRow("two roots") << QByteArray("<a/><b/>") << E::Unsupported << "";
    }
    void scanner()
    {
        QFETCH(QByteArray, doc);
        QFETCH(XmlScanner::Event, ends);
        QFETCH(QString, text);
        XmlScanner scan(doc);
        XmlScanner::Event event = scan.next();
        QStringList attributes;
        if (event == XmlScanner::Event::StartElement) {
            for (const QString& name : {u"Site"_s, u"Total"_s, u"a"_s})
                attributes << scan.attribute(name.toUtf8());
        }
        QString read;
        while (event != XmlScanner::Event::EndOfDocument && event != XmlScanner::Event::Malformed &&
               event != XmlScanner::Event::Unsupported) {
            event = scan.next();
            if (event == XmlScanner::Event::Text)
                scan.appendText(read);
        }
        QCOMPARE(event, ends);

        std::optional<XmlDocument> parsed;
        try {
            parsed.emplace(XmlDocument::parse(QString::fromUtf8(doc)));
        } catch (const BrandleError&) {
        }
        QVERIFY(ends != XmlScanner::Event::Malformed || !parsed);
        if (ends != XmlScanner::Event::EndOfDocument)
            return;
        QVERIFY(parsed);
        QCOMPARE(read, text);
        QCOMPARE(parsed->root().text(), text);
        QCOMPARE(attributes, (QStringList{parsed->root().attribute(u"Site"_s),
                                          parsed->root().attribute(u"Total"_s),
                                          parsed->root().attribute(u"a"_s)}));
    }

    // A style sheet that would write or read a file is refused.
    void transformRefused_data()
    {
        QTest::addColumn<QString>("body"); // %1: a file to write
        QTest::newRow("write with xsl:document")
            << u"<xsl:document href=\"%1\" method=\"text\">pwned</xsl:document>"_s;
        QTest::newRow("read with document()") << u"<xsl:value-of select=\"document('SECRET')\"/>"_s;
    }
    void transformRefused()
    {
        QFETCH(QString, body);
        const QString target = m_dir.filePath(u"written.txt"_s);
        const QString sheet =
            u"<xsl:stylesheet version=\"1.1\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
            "<xsl:template match=\"/\">%1</xsl:template></xsl:stylesheet>"_s.arg(
                body.replace(u"%1"_s, target).replace(u"SECRET"_s, secretUrl()));
        try {
            const QString html =
                xslTransform(XmlDocument::parse(u"<r/>"_s), XmlDocument::parse(sheet));
            QFAIL(qPrintable(html));
        } catch (const BrandleError& e) {
            QCOMPARE(e.code(), ErrorCode::XslTransform);
        }
        QVERIFY(!QFile::exists(target));
    }
};

BRANDLE_TEST(TestXml)
#include "tst_xml.moc"

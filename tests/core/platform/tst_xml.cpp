// SPDX-License-Identifier: MIT
#include "TestMain.h"
#include "TestSupport.h"

#include "platform/Errors.h"
#include "platform/Xml.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

using namespace Qt::StringLiterals;
using namespace brandle;

class TestXml : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    // A file that no document or style sheet may read; "SECRET" in the tables stands for its URL.
    QString secretUrl() const { return QUrl::fromLocalFile(m_dir.filePath(u"s.xml"_s)).toString(); }

private slots:
    void initTestCase() { QVERIFY(writeFile(m_dir.filePath(u"s.xml"_s), "<s>TOPSECRET</s>")); }

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
        const XmlDocument doc = XmlDocument::parse(xml);
        for (const XmlNode& child : doc.root().childNodes())
            names << child.name();
        QCOMPARE(names, children);
    }

    void firstElementText_data()
    {
        QTest::addColumn<QString>("xml");
        QTest::addColumn<QString>("text"); // of the first F
        // clang-format off
        QTest::newRow("nested deeper") << "<r><x><y><F>deep</F></y></x></r>" << "deep";
        QTest::newRow("first of two wins") << "<r><a><F>one</F></a><F>two</F></r>" << "one";
        QTest::newRow("cdata keeps blanks") << "<r><F><![CDATA[  a b  ]]></F></r>" << "  a b  ";
        QTest::newRow("entities resolved") << "<r><F>&lt;b&gt; &amp; &#233;</F></r>" << "<b> & é";
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

// SPDX-License-Identifier: MIT
#include "TestMain.h"
#include "TestSupport.h"

#include "engine/LookupRun.h"
#include "engine/QueryEngines.h"
#include "engine/ServiceStatus.h"
#include "log/LinkLog.h"
#include "platform/Errors.h"
#include "platform/Paths.h"
#include "platform/Store.h"
#include "platform/StoreKeys.h"
#include "platform/Xml.h"
#include "platform/mConstants.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <httplib.h>

using namespace Qt::Literals::StringLiterals;

namespace {

class RecordingUi : public LookupUi {
public:
    QStringList events;
    void showLoading() override { events << u"loading"_s; }
    void closeLoading() override { events << u"close"_s; }
    void playAlert(const QString& code) override { events << u"alert "_s + code; }
};

QString schemaWith(const QString& entries, bool placeholder = true)
{
    return u"<Schema><Service/><Engines>"_s + entries +
           u"</Engines><Window><WinSleep>60</WinSleep></Window>"_s +
           (placeholder ? QString(mConstants::ResultsPlaceholder) : QString()) + u"</Schema>"_s;
}

// The stored values of the "Eng-" keys named in "key=value;..." pairs, written the same way.
QString storedAs(const QString& pairs)
{
    QStringList out;
    for (const QString& p : pairs.split(u';', Qt::SkipEmptyParts))
        out << p.section(u'=', 0, 0) + u'=' +
                   GetAppSetting(StoreKeys::SectionEngine, u"Eng-"_s + p.section(u'=', 0, 0));
    return out.join(u';');
}

void seed(const QString& pairs)
{
    for (const QString& p : pairs.split(u';', Qt::SkipEmptyParts))
        SaveAppSetting(StoreKeys::SectionEngine, u"Eng-"_s + p.section(u'=', 0, 0),
                       p.section(u'=', 1));
}

QString readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : u"<missing>"_s;
}

} // namespace

// Count extraction, status texts, QueryEngines and RunLookup against engines on 127.0.0.1.
class TestQueryEngines : public QObject {
    Q_OBJECT

    TestServer m_engines; // /count/N answers with the count N, /count/- without a count
    clsProps m_props;
    RecordingUi m_ui;
    QueryReport m_report;

    static QString logFolder() { return Paths::inProgramFolder(mConstants::LogFolderName); }

    // An engine answering answer ("dead": nothing listens for it) that asks for "a%2Ecom".
    QString engine(const QString& name, const QString& answer, bool withRightString = true)
    {
        return u"<Engine><EngineName>%1</EngineName><EngineHome/><LeftURL>%2</LeftURL><RightURL/>"
               "<LeftString>&lt;b&gt;</LeftString>%3<ReplaceDot>%4</ReplaceDot></Engine>"_s.arg(
                   name.toHtmlEscaped(),
                   answer == u"dead"_s ? u"http://127.0.0.1:%1/e?q="_s.arg(closedPort())
                                       : m_engines.url(u"/count/%1?q="_s.arg(answer)),
                   withRightString ? u"<RightString>&lt;/b&gt;</RightString>"_s : QString(),
                   u"%2E"_s);
    }
    // The schema of the engines in answers ("name=answer|...").
    QString engines(const QString& answers)
    {
        QString entries;
        for (const QString& e : answers.split(u'|'))
            entries += engine(e.section(u'=', 0, 0), e.section(u'=', 1));
        return schemaWith(entries);
    }
    QString query(const QString& schema, const QString& site)
    {
        return QueryEngines(schema, site, m_props, m_ui, m_report);
    }

private slots:
    void initTestCase()
    {
        m_engines.server().Get("/count/(.+)", [](const httplib::Request& q, httplib::Response& r) {
            const std::string n = q.matches[1];
            r.set_content(n == "-" ? "no count" : "about <b>" + n + "</b> pages", "text/html");
        });
        m_engines.start();
    }
    void init()
    {
        clearStore();
        QDir(logFolder()).removeRecursively();
        m_props = clsProps();
        m_props.setLogging(u"1"_s);
        m_ui.events.clear();
        m_report = QueryReport();
    }

    void extractCount_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("left");
        QTest::addColumn<QString>("right");
        QTest::addColumn<QString>("count"); // "-": no count
        // clang-format off
        QTest::newRow("first of two wins") << "<b>1,234</b><b>6</b>" << "<b>" << "</b>" << "1,234";
        QTest::newRow("right only before left") << "</b> 12 <b>7" << "<b>" << "</b>" << "-";
        QTest::newRow("right inside left") << "<b>x12b>" << "<b>x" << "b>" << "-";
        QTest::newRow("non-numeric text") << "<b>many</b>" << "<b>" << "</b>" << "-";
        // clang-format on
    }
    void extractCount()
    {
        QFETCH(QString, answer);
        QFETCH(QString, left);
        QFETCH(QString, right);
        QFETCH(QString, count);
        QCOMPARE(::extractCount(answer, left, right).value_or(u"-"_s), count);
    }

    void serviceStatus_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("result"); // "go" or "stop", then the notice's "title|text|style"
        // clang-format off
        QTest::newRow("active") << "Active" << "go";
        QTest::newRow("active with line break") << "Active\r\n" << "stop";
        QTest::newRow("MessageOnly, 5 lines") << "MessageOnly\r\nT\r\nX\r\n48\r\nz" << "go T|X|48";
        QTest::newRow("notice then stop") << "MessageOff\r\nT\r\nX\r\n16" << "stop T|X|16";
        // clang-format on
    }
    void serviceStatus()
    {
        QFETCH(QString, text);
        QFETCH(QString, result);
        const ServiceStatus s = parseServiceStatus(text);
        QString got = s.verdict == ServiceVerdict::Go ? u"go"_s : u"stop"_s;
        if (s.notice)
            got += u" %1|%2|%3"_s.arg(s.notice->title, s.notice->text).arg(s.notice->style);
        QCOMPARE(got, result);
    }

    // Counts against the stored previous run. Nothing is set, sounded or logged when a count or
    // the total leaves 32 bits or an engine is unreachable; what was stored before stays stored.
    void lookups_data()
    {
        QTest::addColumn<QString>("stored");  // keys without "Eng-"
        QTest::addColumn<QString>("answers"); // "name=count|..."; "-": no count, "dead": no answer
        QTest::addColumn<QString>("result");  // count:fluctuation of each engine, then the total
        QTest::addColumn<QString>("alert");   // "": none, and nothing set or logged
        QTest::addColumn<QString>("after");
        const QString same = u"DomainURL=a.com;"_s;
        const QString three = u"DomainURL=old.com;A=1;B=2;C=3;TotalCount=6"_s;
        const QString overflow = u"error %1"_s.arg(int(ErrorCode::Overflow));
        // clang-format off
        QTest::newRow("first lookup ever") << "A=50;B=500;TotalCount=550" << "A=100|B=200"
            << "100:0|200:0|300:0" << "1" << "DomainURL=a.com;A=100;B=200;TotalCount=300";
        QTest::newRow("same site, higher") << same + u"A=50;B=150;TotalCount=200"_s << "A=100|B=200"
            << "100:1|200:1|300:1" << "2" << "TotalCount=300";
        QTest::newRow("same site, lower") << same + u"A=150;B=250;TotalCount=400"_s << "A=100|B=200"
            << "100:2|200:2|300:2" << "3" << "A=100;TotalCount=300";
        QTest::newRow("site differing in letter case") << u"DomainURL=A.COM;A=5;B=5;TotalCount=10"_s
            << "A=100|B=200" << "100:1|200:1|300:1" << "2" << "DomainURL=A.COM";
        QTest::newRow("engine without a count keeps its stored value")
            << same + u"A=100;B=200;TotalCount=300"_s << "A=-|B=250" << "0:0|250:1|250:2" << "3"
            << "A=100;B=250;TotalCount=250";
        QTest::newRow("two engines of one name") << same + u"A=10;TotalCount=250"_s << "A=150|A=120"
            << "150:1|120:2|270:1" << "2" << "A=120;TotalCount=270";
        QTest::newRow("count beyond 32 bits")
            << three << "A=3,000,000,000|B=1" << overflow << "" << "A=1;TotalCount=6";
        QTest::newRow("total beyond 32 bits")
            << three << "A=2,000,000,000|B=2,000,000,000" << overflow << "" << "TotalCount=6";
        QTest::newRow("download failure after the first engine") << three << "A=100|B=dead|C=300"
            << "download failure B" << "" << "DomainURL=a.com;A=100;B=2;C=3;TotalCount=6";
        // clang-format on
    }
    void lookups()
    {
        QFETCH(QString, stored);
        QFETCH(QString, answers);
        QFETCH(QString, result);
        QFETCH(QString, alert);
        QFETCH(QString, after);
        seed(stored);
        m_props.setPlaySound(u"1"_s);
        QStringList got;
        try {
            const QString text = query(engines(answers), u"a.com"_s);
            const XmlDocument doc = XmlDocument::parse(text.isEmpty() ? u"<R/>"_s : text);
            for (const XmlNode& e : doc.root().childNodes())
                got << e.firstElement(u"Count"_s).text() + u':' +
                           e.firstElement(u"Fluctuation"_s).text();
            got << (text.isEmpty() ? u"download failure "_s + m_report.failedEngine
                                   : doc.root().attribute(u"Total"_s) + u':' +
                                         doc.root().attribute(u"Fluctuation"_s));
        } catch (const BrandleError& e) {
            got << u"error %1"_s.arg(e.number());
        }
        QCOMPARE(got.join(u'|'), result);
        QCOMPARE(m_ui.events, alert.isEmpty() ? QStringList() : QStringList{u"alert "_s + alert});
        QCOMPARE(m_props.URLName().isEmpty(), alert.isEmpty());
        QCOMPARE(QDir(logFolder()).exists(), !alert.isEmpty());
        QCOMPARE(storedAs(after), after);
    }

    void documentText()
    {
        const ManualClock clock(QDateTime(QDate(2026, 12, 6), QTime(7, 23, 58)));
        const QString doc = query(engines(u"A=1,234|B=1233333|C=-"_s), u"example.com"_s);
        const QString expected =
            u"<Results Site=\"example.com\" Total=\"1,234,567\" Fluctuation=\"0\" "
            "Created=\"12/6/2026 7:23:58 AM\">"
            "<Engine><Name><![CDATA[A]]></Name><URL><![CDATA[%1]]></URL>"
            "<Count><![CDATA[1,234]]></Count><Fluctuation>0</Fluctuation></Engine>"
            "<Engine><Name><![CDATA[B]]></Name><URL><![CDATA[%2]]></URL>"
            "<Count><![CDATA[1,233,333]]></Count><Fluctuation>0</Fluctuation></Engine>"
            "<Engine><Name><![CDATA[C]]></Name><URL><![CDATA[%3]]></URL>"
            "<Count><![CDATA[0]]></Count><Fluctuation>0</Fluctuation></Engine></Results>"_s.arg(
                m_engines.url(u"/count/1,234?q=example%2Ecom"_s),
                m_engines.url(u"/count/1233333?q=example%2Ecom"_s),
                m_engines.url(u"/count/-?q=example%2Ecom"_s));
        QCOMPARE(doc, expected);
        QCOMPARE(readFile(linkLogFile(QDate(2026, 12, 6))), expected + u"\r\n"_s);
        QCOMPARE(m_props.URLName() + u' ' + m_props.LastCount() + u' ' + m_props.LastRun(),
                 u"example.com 1234567 12/6/2026 7:23:58 AM"_s);
        const QString stored = u"A=1234;B=1233333;C=;TotalCount=1234567;DomainURL=example.com"_s;
        QCOMPARE(storedAs(stored), stored);
    }

    // XML markup characters in the site and in a name never break the document or the log.
    void markupCharacters()
    {
        const ManualClock clock(QDateTime(QDate(2026, 12, 6), QTime(9, 0)));
        const QString site = u"a\"b&c<d>.com"_s;
        const QString name = u"x]]>y & \"z\""_s;
        const QString doc = query(schemaWith(engine(name, u"7"_s)), site);
        for (const QString& text : {doc, readFile(linkLogFile(QDate(2026, 12, 6))).trimmed()}) {
            const XmlDocument parsed = XmlDocument::parse(text);
            QCOMPARE(parsed.root().attribute(u"Site"_s), site);
            QCOMPARE(parsed.firstElement(u"Name"_s).text(), name);
            QCOMPARE(parsed.firstElement(u"URL"_s).text(),
                     m_engines.url(u"/count/7?q=a\"b&c<d>%2Ecom"_s));
        }
    }

    // The whole lookup: status, loading window, schema, engines, style sheet, page file.
    void runLookup_data()
    {
        QTest::addColumn<QString>("schema");
        QTest::addColumn<int>("kind");     // Kind::Error stands for error 91, a missing field
        QTest::addColumn<QString>("page"); // "": the earlier page stays
        const QString two = engine(u"Café"_s, u"1,000"_s) + engine(u"B"_s, u"300"_s);
        const int written = int(LookupOutcome::Kind::PageWritten);
        // clang-format off
        QTest::newRow("page written, escaped tag becomes markup") << schemaWith(two) << written
            << "<p>results: 1 total: 1,300 first: Café<b>bold</b></p>";
        QTest::newRow("schema without placeholder") << schemaWith(two, false) << written
            << "<p>results: 0 total:  first: <b>bold</b></p>";
        QTest::newRow("engine download failure")
            << schemaWith(engine(u"A"_s, u"1"_s) + engine(u"Down"_s, u"dead"_s))
            << int(LookupOutcome::Kind::DownloadFailure) << "";
        QTest::newRow("missing engine field")
            << schemaWith(engine(u"A"_s, u"1"_s) + engine(u"B"_s, u"1"_s, false))
            << int(LookupOutcome::Kind::Error) << "";
        // clang-format on
    }
    void runLookup()
    {
        QFETCH(QString, schema);
        QFETCH(int, kind);
        QFETCH(QString, page);
        TestServer service;
        service.route(mConstants::StatusPath, "Active");
        service.route(mConstants::SchemaPath, schema.toUtf8());
        service.route(
            mConstants::StyleSheetPath,
            "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
            "<xsl:template match=\"/\"><p>results: <xsl:value-of select=\"count(//Results)\"/>"
            " total: <xsl:value-of select=\"//Results/@Total\"/> first: "
            "<xsl:value-of select=\"//Name\"/><xsl:text>&lt;b&gt;bold&lt;/b&gt;</xsl:text></p>"
            "</xsl:template></xsl:stylesheet>");
        service.start();
        const ScopedEnv env("BRANDLE_SERVICE_HOST", service.hostPort().toUtf8());
        QFile old(resultPagePath());
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("earlier page") > 0);
        old.close();

        const LookupOutcome outcome = RunLookup(u"a.com"_s, m_props, m_ui);
        QCOMPARE(int(outcome.kind), kind);
        QCOMPARE(m_ui.events, (QStringList{u"loading"_s, u"close"_s}));
        QCOMPARE(outcome.error ? outcome.error->userText().left(5) : QString(),
                 kind == int(LookupOutcome::Kind::Error) ? u"91 - "_s : QString());
        const QString written = readFile(resultPagePath());
        QVERIFY2(written.contains(page.isEmpty() ? u"earlier page"_s : page), qPrintable(written));
        // The kept document is the schema with the results merged in, where it had a place.
        QCOMPARE(m_props.XMLSchema().count(u"<Results Site=\"a.com\""_s),
                 page.contains(u"results: 1"_s) ? 1 : 0);
        QCOMPARE(m_props.XMLSchema().isEmpty(), page.isEmpty());
    }
};
BRANDLE_TEST(TestQueryEngines)

#include "tst_lookup.moc"

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
#include "platform/Xml.h"
#include "platform/mConstants.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <httplib.h>

using namespace Qt::StringLiterals;
using namespace brandle;

namespace {

class RecordingUi : public LookupUi {
public:
    QStringList events;
    void showLoading() override { events << u"loading"_s; }
    void closeLoading() override { events << u"close"_s; }
    void playAlert(const QString& code) override { events << u"alert "_s + code; }
};

// The "Eng-" keys of "key=value;..." pairs (stored first when store is set), as stored.
QString engineKeys(const QString& pairs, bool store = false)
{
    QStringList out;
    for (const QString& p : pairs.split(u';', Qt::SkipEmptyParts)) {
        const QString key = p.section(u'=', 0, 0);
        if (store)
            SaveAppSetting(u"LinkEng"_s, u"Eng-"_s + key, p.section(u'=', 1));
        out << key + u'=' + GetAppSetting(u"LinkEng"_s, u"Eng-"_s + key);
    }
    return out.join(u';');
}

} // namespace

// Count extraction, status texts, QueryEngines and RunLookup against engines on 127.0.0.1.
class TestQueryEngines : public QObject {
    Q_OBJECT

    TestServer m_engines; // /count/N answers with the count N, /count/- without a count
    clsProps m_props;
    RecordingUi m_ui;
    QueryReport m_report;

    // The schema of the engines in answers ("name=count|..."; "dead": nothing listens for it),
    // each asking for the site with its dots as "%2E".
    QString engines(const QString& answers)
    {
        QString entries;
        for (const QString& e : answers.split(u'|')) {
            const QString answer = e.section(u'=', 1);
            entries +=
                u"<Engine><EngineName>%1</EngineName><EngineHome/><LeftURL>%2</LeftURL><RightURL/>"
                "<LeftString>&lt;b&gt;</LeftString><RightString>&lt;/b&gt;</RightString>"
                "<ReplaceDot>%3</ReplaceDot></Engine>"_s.arg(
                    e.section(u'=', 0, 0).toHtmlEscaped(),
                    answer == u"dead"_s ? u"http://127.0.0.1:%1/e?q="_s.arg(closedPort())
                                        : m_engines.url(u"/count/%1?q="_s.arg(answer)),
                    u"%2E"_s);
        }
        return u"<Schema><Service/><Engines>"_s + entries + u"</Engines>"_s +
               mConstants::ResultsPlaceholder + u"</Schema>"_s;
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
        QDir(Paths::inProgramFolder(mConstants::LogFolderName)).removeRecursively();
        m_props = clsProps();
        m_props.setLogging(u"1"_s);
        m_ui.events.clear();
        m_report = QueryReport();
    }

    void extractCount_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("markers"); // LeftString and RightString
        QTest::addColumn<QString>("count");   // "-": no count
        // clang-format off
        QTest::newRow("first of two wins") << "<b>1,234</b><b>6</b>" << "<b> </b>" << "1,234";
        QTest::newRow("right only before left") << "</b> 12 <b>7" << "<b> </b>" << "-";
        QTest::newRow("right inside left") << "<b>x12b>" << "<b>x b>" << "-";
        QTest::newRow("non-numeric text") << "<b>many</b>" << "<b> </b>" << "-";
        // clang-format on
    }
    void extractCount()
    {
        QFETCH(QString, answer);
        QFETCH(QString, markers);
        QFETCH(QString, count);
        const QStringList m = markers.split(u' ');
        QCOMPARE(::extractCount(answer, m[0], m[1]).value_or(u"-"_s), count);
    }

    void serviceStatus_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("result"); // "go" or "stop", then the notice's "title|text|style"
        // clang-format off
        QTest::newRow("active") << "Active" << "go";
        QTest::newRow("active with line break") << "Active\r\n" << "stop";
        QTest::newRow("MessageOnly, 5 lines") << "MessageOnly\r\nT\r\nX\r\n48\r\nz" << "go T|X|48";
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
        QTest::newRow("first lookup ever") << "A=50;B=500;TotalCount=550" << "A=1,100|B=200"
            << "1,100:0|200:0|1,300:0" << "1" << "DomainURL=a.com;A=1100;B=200;TotalCount=1300";
        QTest::newRow("same site in other letter case, higher")
            << u"DomainURL=A.COM;A=50;B=150;TotalCount=200"_s << "A=100|B=200"
            << "100:1|200:1|300:1" << "2" << "DomainURL=A.COM;TotalCount=300";
        QTest::newRow("same site, lower") << same + u"A=150;B=250;TotalCount=400"_s << "A=100|B=200"
            << "100:2|200:2|300:2" << "3" << "A=100;TotalCount=300";
        QTest::newRow("engine without a count keeps its stored value")
            << same + u"A=100;B=200;TotalCount=300"_s << "A=-|B=250" << "0:0|250:1|250:2" << "3"
            << "A=100;B=250;TotalCount=250";
        QTest::newRow("a stored count that is no number reads as 0")
            << same + u"A=lots;B=150;TotalCount=200"_s << "A=100|B=200" << "100:1|200:1|300:1"
            << "2" << "A=100;TotalCount=300";
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
        engineKeys(stored, true);
        m_props.setPlaySound(u"1"_s);
        QStringList got;
        try {
            const QString text =
                QueryEngines(engines(answers), u"a.com"_s, m_props, m_ui, m_report);
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
        QCOMPARE(QDir(Paths::inProgramFolder(mConstants::LogFolderName)).exists(),
                 !alert.isEmpty());
        QCOMPARE(engineKeys(after), after);
    }

    // The document, also appended to the day's log. Markup characters in the site and in a name
    // are escaped; a "]]>" is split across two sections.
    void documentText()
    {
        const ManualClock clock(QDateTime(QDate(2026, 12, 6), QTime(7, 23, 58)));
        const QString site = u"a\"b&c<d>.com"_s;
        const QString doc = QueryEngines(engines(u"A=1,234|B=1233333|x]]>y & \"z\"=-"_s), site,
                                         m_props, m_ui, m_report);
        const QString url = m_engines.url(u"/count/%1?q=a\"b&c<d>%2Ecom"_s);
        const QString expected =
            u"<Results Site=\"a&quot;b&amp;c&lt;d&gt;.com\" Total=\"1,234,567\" Fluctuation=\"0\" "
            "Created=\"12/6/2026 7:23:58 AM\">"
            "<Engine><Name><![CDATA[A]]></Name><URL><![CDATA[%1]]></URL>"
            "<Count><![CDATA[1,234]]></Count><Fluctuation>0</Fluctuation></Engine>"
            "<Engine><Name><![CDATA[B]]></Name><URL><![CDATA[%2]]></URL>"
            "<Count><![CDATA[1,233,333]]></Count><Fluctuation>0</Fluctuation></Engine>"
            "<Engine><Name><![CDATA[x]]]]><![CDATA[>y & \"z\"]]></Name><URL><![CDATA[%3]]></URL>"
            "<Count><![CDATA[0]]></Count><Fluctuation>0</Fluctuation></Engine></Results>"_s.arg(
                url.arg(u"1,234"_s), url.arg(u"1233333"_s), url.arg(u"-"_s));
        QCOMPARE(doc, expected);
        QCOMPARE(readText(linkLogFile(QDate(2026, 12, 6))), expected + u"\r\n"_s);
        QCOMPARE(m_props.URLName() + u' ' + m_props.LastCount() + u' ' + m_props.LastRun(),
                 site + u" 1234567 12/6/2026 7:23:58 AM"_s);
    }

    // The whole lookup: status, loading window, schema, engines, style sheet, page file.
    void runLookup_data()
    {
        QTest::addColumn<QString>("schema");
        QTest::addColumn<QString>("page"); // "": an engine's answer failed; the earlier page stays
        const QString two = engines(u"Café=1,000|B=300"_s);
        // clang-format off
        QTest::newRow("page written, escaped tag becomes markup") << two
            << "<p>results: 1 total: 1,300 first: Café<b>bold</b></p>";
        QTest::newRow("schema without placeholder") << QString(two).remove(mConstants::ResultsPlaceholder)
            << "<p>results: 0 total:  first: <b>bold</b></p>";
        QTest::newRow("engine download failure") << engines(u"A=1|Down=dead"_s) << "";
        QTest::newRow("page file cannot be written") << two << "unwritable";
        // clang-format on
    }
    void runLookup()
    {
        QFETCH(QString, schema);
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
        const bool unwritable = page == u"unwritable"_s;
        QFile::remove(resultPagePath());
        QVERIFY(unwritable ? QDir().mkpath(resultPagePath())
                           : writeFile(resultPagePath(), "earlier page"));

        const LookupOutcome outcome = RunLookup(u"a.com"_s, m_props, m_ui);
        if (unwritable) {
            // Reported, not shown as if the earlier page were new.
            QDir(resultPagePath()).removeRecursively();
            QCOMPARE(outcome.error ? outcome.error->number() : 0, int(ErrorCode::FileAccess));
            QVERIFY(m_props.XMLSchema().isEmpty());
            return;
        }
        QCOMPARE(outcome.kind, page.isEmpty() ? LookupOutcome::Kind::DownloadFailure
                                              : LookupOutcome::Kind::PageWritten);
        QCOMPARE(m_ui.events, (QStringList{u"loading"_s, u"close"_s}));
        const QString written = readText(resultPagePath());
        QVERIFY2(written.contains(page.isEmpty() ? u"earlier page"_s : page), qPrintable(written));
        // The kept document is the schema with the results merged in, where it had a place.
        QCOMPARE(m_props.XMLSchema().count(u"<Results Site=\"a.com\""_s),
                 page.contains(u"results: 1"_s) ? 1 : 0);
        QCOMPARE(m_props.XMLSchema().isEmpty(), page.isEmpty());
    }
};
BRANDLE_TEST(TestQueryEngines)

#include "tst_lookup.moc"

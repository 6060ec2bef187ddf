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
#include <QScopeGuard>
#include <QTest>

using namespace brandle;

namespace {

// Values of section "LinkEng" by key.
using Stored = QList<std::pair<QString, QString>>;

std::pair<QString, QString> eng(const char* name, const char* value)
{
    return {u"Eng-"_s + QString::fromUtf8(name), QString::fromUtf8(value)};
}

const QString NoCount; // extractCount finds no count

class RecordingUi : public LookupUi {
public:
    QStringList events;
    void showLoading() override { events << u"loading"_s; }
    void closeLoading() override { events << u"close"_s; }
    void playAlert(const QString& code) override { events << u"alert "_s + code; }
};

void store(const Stored& values)
{
    for (const auto& [key, value] : values)
        SaveAppSetting(u"LinkEng"_s, key, value);
}

Stored storedNow(const Stored& expected)
{
    Stored now;
    for (const auto& [key, value] : expected)
        now.append({key, GetAppSetting(u"LinkEng"_s, key)});
    return now;
}

// Engines "A", "B", ... with these counts; nullptr for an engine without a count.
EngineAnswers engines(std::initializer_list<const char*> counts)
{
    EngineAnswers answers;
    for (const char* count : counts) {
        const QString name(QChar(char16_t(u'A' + answers.size())));
        answers << (count ? counted(name, QString::fromLatin1(count)) : noCount(name));
    }
    return answers;
}

// The root's Fluctuation, then each engine's; "-" for one that was not compared.
QString codes(const QString& document)
{
    const XmlDocument doc = XmlDocument::parse(document);
    const auto mark = [](const XmlNode& node, const QString& code) {
        const bool compared =
            node.attribute(u"Compared"_s) != u"0"_s && node.attribute(u"NoCount"_s) != u"1"_s;
        return compared ? code : u"-"_s;
    };
    QString codes = mark(doc.root(), doc.root().attribute(u"Fluctuation"_s));
    for (const XmlNode& e : doc.root().childNodes())
        codes += mark(e, e.firstElement(u"Fluctuation"_s).text());
    return codes;
}

} // namespace

Q_DECLARE_METATYPE(Stored)
Q_DECLARE_METATYPE(QList<EngineAnswers>)

class TestQueryEngines : public QObject {
    Q_OBJECT

    clsProps m_props;
    RecordingUi m_ui;
    QueryReport m_report;

    QString query(FakeServiceHost& host, const QString& site = u"a.com"_s, bool ownRun = false)
    {
        StoreSession settings; // saved as the lookup saves it: at its end, early or not
        const auto save = qScopeGuard([&settings] { settings.save(); });
        m_report = QueryReport();
        return QueryEngines(host.schemaText(), site, m_props, m_ui, m_report, settings, {ownRun});
    }

private slots:
    void init()
    {
        clearStore();
        QDir(Paths::inProgramFolder(mConstants::LogFolderName)).removeRecursively();
        m_props = clsProps();
        m_props.setLogging(u"1"_s);
        m_props.setPlaySound(u"1"_s);
        m_ui.events.clear();
    }

    // The count between the markers; for none, the reason between "<i>" and "</i>" as text,
    // else the program's own.
    void extractCount_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("left");
        QTest::addColumn<QString>("right");
        QTest::addColumn<QString>("count");
        QTest::addColumn<QString>("reason");
        const QString words = u"ab "_s.repeated(100);
        const QString notNumber = u"the count is not a number"_s;
        // clang-format off
        QTest::newRow("first of two wins") << "<b>1,234</b><b>6</b>" << "<b>" << "</b>" << "1,234" << "";
        QTest::newRow("right only before left") << "</b> 12 <b>7" << "<b>" << "</b>" << NoCount
            << "the page holds no count";
        QTest::newRow("right inside left") << "<b>x12b>" << "<b>x" << "b>" << NoCount
            << "the page holds no count";
        QTest::newRow("empty between") << "<b></b>" << "<b>" << "</b>" << NoCount << notNumber;
        QTest::newRow("non-numeric text, no reason") << "<b>many</b><i> <br> </i>" << "<b>" << "</b>"
            << NoCount << notNumber;
        QTest::newRow("reason with markup and references") << "<i> not &amp; <em>\"known\"</em>"
            "&nbsp;\n here&#33; </i>" << "<b>" << "</b>" << NoCount << "not & \"known\" here!";
        QTest::newRow("reason with a control character") << "<i>red\u009b31m</i>" << "<b>" << "</b>"
            << NoCount << "red31m";
        QTest::newRow("reason cut to 200") << u"<i>"_s + words + u"</i>"_s << "<b>" << "</b>"
            << NoCount << words.left(199) + u'\u2026';
        // clang-format on
    }
    void extractCount()
    {
        QFETCH(QString, answer);
        QFETCH(QString, left);
        QFETCH(QString, right);
        EngineEntry engine;
        engine.LeftString = left;
        engine.RightString = right;
        engine.ReasonLeftString = u"<i>"_s;
        engine.ReasonRightString = u"</i>"_s;
        const std::optional<QString> count = brandle::extractCount(answer, left, right);
        QTEST(count.value_or(NoCount), "count");
        QTEST(count ? QString() : brandle::noCountReason(answer, engine), "reason");
    }

    void serviceStatus_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("go");
        QTest::addColumn<QStringList>("notice"); // title, text, style; empty: none
        QTest::newRow("active with line break") << "Active\r\n" << false << QStringList();
        QTest::newRow("MessageOnly, 5 lines")
            << "MessageOnly\r\nT\r\nX\r\n48\r\nz" << true << QStringList{u"T"_s, u"X"_s, u"48"_s};
        QTest::newRow("three lines only") << "MessageOn\r\nT\r\nX" << false << QStringList();
        QTest::newRow("marker in lower case")
            << "messageon\r\nT\r\nX\r\n64" << false << QStringList();
    }
    void serviceStatus()
    {
        QFETCH(QString, text);
        const ServiceStatus s = parseServiceStatus(text);
        QTEST(s.verdict == ServiceVerdict::Go, "go");
        const auto n = s.notice;
        QTEST(n ? (QStringList{n->title, n->text, QString::number(n->style)}) : QStringList(),
              "notice");
    }

    // Counts against the stored previous run; nothing set, sounded or logged on a failure.
    void lookups_data()
    {
        QTest::addColumn<Stored>("before");
        QTest::addColumn<EngineAnswers>("answers");
        QTest::addColumn<QStringList>("result"); // count:fluctuation per engine, then the total
        QTest::addColumn<QString>("alert");      // "": none, and nothing set or logged
        QTest::addColumn<Stored>("after");
        const auto same = [](Stored more) {
            more.prepend(eng("DomainURL", "a.com"));
            return more;
        };
        const Stored three{eng("DomainURL", "old.com"), eng("A", "1"), eng("B", "2"), eng("C", "3"),
                           eng("TotalCount", "6")};
        const EngineAnswers ab{counted(u"A"_s, u"100"_s), counted(u"B"_s, u"200"_s)};
        // clang-format off
        QTest::newRow("first lookup ever")
            << Stored{eng("A", "50"), eng("B", "500"), eng("TotalCount", "550")}
            << EngineAnswers{counted(u"A"_s, u"1,100"_s), counted(u"B"_s, u"200"_s)}
            << QStringList{u"1,100:0"_s, u"200:0"_s, u"1,300:0"_s} << u"1"_s
            << Stored{eng("DomainURL", "a.com"), eng("A", "1100"), eng("TotalCount", "1300"),
                      {u"Set1"_s, u"1300 A,B"_s}};
        QTest::newRow("same site in other letter case, higher")
            << Stored{eng("DomainURL", "A.COM"), eng("A", "50"), eng("B", "150"),
                      eng("TotalCount", "200")}
            << ab << QStringList{u"100:1"_s, u"200:1"_s, u"300:1"_s} << u"2"_s
            << Stored{eng("DomainURL", "A.COM"), eng("TotalCount", "300")};
        // Nothing of the other site's run stays: not even the count of the engine without one.
        QTest::newRow("partial of another site starts over")
            << three << EngineAnswers{noCount(u"A"_s), counted(u"B"_s, u"5"_s)}
            << QStringList{u"0:0"_s, u"5:0"_s, u"5:0"_s} << u"1"_s
            << Stored{eng("DomainURL", "a.com"), eng("A", ""), eng("B", "5"),
                      eng("TotalCount", ""), {u"Set1"_s, u"5 B"_s}};
        // A store written before sets were: its total stands for the complete set only.
        QTest::newRow("partial, earlier store")
            << same({eng("A", "100"), eng("B", "200"), eng("TotalCount", "300")})
            << EngineAnswers{counted(u"A"_s, u"150"_s), noCount(u"B"_s)}
            << QStringList{u"150:1"_s, u"0:0"_s, u"150:0"_s} << u"1"_s
            << Stored{eng("TotalCount", "300"), {u"Set1"_s, u"150 A"_s}};
        QTest::newRow("a stored count that is no number reads as 0")
            << same({eng("A", "lots"), eng("B", "150"), eng("TotalCount", "200")})
            << ab << QStringList{u"100:1"_s, u"200:1"_s, u"300:1"_s} << u"2"_s
            << Stored{eng("A", "100"), eng("TotalCount", "300")};
        QTest::newRow("two engines of one name")
            << same({eng("A", "10"), eng("TotalCount", "250")})
            << EngineAnswers{counted(u"A"_s, u"150"_s), counted(u"A"_s, u"120"_s)}
            << QStringList{u"150:1"_s, u"120:2"_s, u"270:1"_s} << u"2"_s
            << Stored{eng("A", "120"), eng("TotalCount", "270"), {u"Set1"_s, u"270 A,A"_s}};
        // Engines named as the program's own values get keys of their own.
        QTest::newRow("engines named as the program's values")
            << same({eng("TotalCount", "100"), {u"EngName-DomainURL"_s, u"50"_s}})
            << EngineAnswers{counted(u"DomainURL"_s, u"40"_s), counted(u"TotalCount"_s, u"60"_s)}
            << QStringList{u"40:2"_s, u"60:0"_s, u"100:0"_s} << u"1"_s
            << Stored{eng("DomainURL", "a.com"), eng("TotalCount", "100"),
                      {u"EngName-DomainURL"_s, u"40"_s}, {u"EngName-TotalCount"_s, u"60"_s}};
        QTest::newRow("engine named as a value in other letter case")
            << same({eng("TotalCount", "10")}) << EngineAnswers{counted(u"totalcount"_s, u"7"_s)}
            << QStringList{u"7:0"_s, u"7:2"_s} << u"3"_s
            << Stored{eng("DomainURL", "a.com"), eng("TotalCount", "7"),
                      StoreKeyCase() == Qt::CaseSensitive ? eng("totalcount", "7")
                                                          : std::pair(u"EngName-totalcount"_s, u"7"_s)};
        QTest::newRow("total beyond 32 bits")
            << same({eng("A", "100"), eng("B", "200"), eng("TotalCount", "300")})
            << EngineAnswers{counted(u"A"_s, u"2,000,000,000"_s), counted(u"B"_s, u"2,000,000,000"_s)}
            << QStringList{u"error %1"_s.arg(int(ErrorCode::Overflow))} << QString()
            << Stored{eng("TotalCount", "300"), {u"Set1"_s, u""_s}};
        // What the lookup stored before it ended stays; the other site's run is gone.
        QTest::newRow("download failure after the first engine") << three
            << EngineAnswers{counted(u"A"_s, u"100"_s), unreachable(u"B"_s), counted(u"C"_s, u"300"_s)}
            << QStringList{u"download failure B"_s} << QString()
            << Stored{eng("DomainURL", "a.com"), eng("A", "100"), eng("B", ""), eng("C", ""),
                      eng("TotalCount", "")};
        // clang-format on
    }
    void lookups()
    {
        QFETCH(Stored, before);
        QFETCH(EngineAnswers, answers);
        QFETCH(QString, alert);
        QFETCH(Stored, after);
        FakeServiceHost host;
        host.engines(answers).start();
        store(before);
        QStringList got;
        try {
            const QString text = query(host);
            if (text.isEmpty()) {
                got << u"download failure "_s + m_report.failedEngine;
            } else {
                const XmlDocument doc = XmlDocument::parse(text);
                for (const XmlNode& e : doc.root().childNodes())
                    got << e.firstElement(u"Count"_s).text() + u':' +
                               e.firstElement(u"Fluctuation"_s).text();
                got << doc.root().attribute(u"Total"_s) + u':' +
                           doc.root().attribute(u"Fluctuation"_s);
            }
        } catch (const BrandleError& e) {
            got << u"error %1"_s.arg(e.number());
        }
        QTEST(got, "result");
        QCOMPARE(m_ui.events, alert.isEmpty() ? QStringList() : QStringList{u"alert "_s + alert});
        QCOMPARE(m_props.URLName().isEmpty(), alert.isEmpty());
        QCOMPARE(QDir(Paths::inProgramFolder(mConstants::LogFolderName)).exists(),
                 !alert.isEmpty());
        QCOMPARE(storedNow(after), after);
    }

    // The document, also logged: markup escaped, a "]]>" split across two sections.
    void documentText()
    {
        const ManualClock clock(QDateTime(QDate(2026, 12, 6), QTime(7, 23, 58)));
        FakeServiceHost host;
        EngineAnswer b = counted(u"B"_s, u"1233333"_s);
        b.unit = u"links & \"more\""_s;
        host.engines({counted(u"A"_s, u"1,234"_s), b,
                      noCount(u"x]]>y & \"z\""_s, u"not &amp; <em>\"known\"</em>"_s)})
            .start();
        const QString site = u"a\"b&c<d>.com"_s;
        const QString doc = query(host, site);
        const QString expected =
            u"<Results Site=\"a&quot;b&amp;c&lt;d&gt;.com\" Total=\"1,234,567\" Fluctuation=\"0\" "
            "Created=\"12/6/2026 7:23:58 AM\" Partial=\"1\" Compared=\"0\">"
            "<Engine Compared=\"0\"><Name><![CDATA[A]]></Name><URL><![CDATA[%1]]></URL>"
            "<Count><![CDATA[1,234]]></Count><Fluctuation>0</Fluctuation></Engine>"
            "<Engine Compared=\"0\" Unit=\"links &amp; &quot;more&quot;\">"
            "<Name><![CDATA[B]]></Name><URL><![CDATA[%2]]></URL>"
            "<Count><![CDATA[1,233,333]]></Count><Fluctuation>0</Fluctuation></Engine>"
            "<Engine NoCount=\"1\" Reason=\"not &amp; &quot;known&quot;\">"
            "<Name><![CDATA[x]]]]><![CDATA[>y & \"z\"]]></Name><URL><![CDATA[%3]]></URL>"
            "<Count><![CDATA[0]]></Count><Fluctuation>0</Fluctuation></Engine></Results>"_s.arg(
                host.engineUrl(0, site), host.engineUrl(1, site), host.engineUrl(2, site));
        QVERIFY(host.engineUrl(0, site).endsWith(u"?q=a\"b&c<d>%2Ecom"_s));
        QCOMPARE(doc, expected);
        QCOMPARE(readText(linkLogFile(QDate(2026, 12, 6))), expected + u"\r\n"_s);
        QCOMPARE(m_props.URLName() + u' ' + m_props.LastCount() + u' ' + m_props.LastRun(),
                 site + u" 1234567 12/6/2026 7:23:58 AM"_s);
    }

    // A change alerts when it reaches N percent of the previous total, or N links.
    void alertThreshold_data()
    {
        QTest::addColumn<int>("amount");
        QTest::addColumn<bool>("percent");
        QTest::addColumn<int>("previous");
        QTest::addColumn<int>("current");
        QTest::addColumn<bool>("passes");
        QTest::newRow("0, up 1") << 0 << true << 1000 << 1001 << true;
        QTest::newRow("5 %, up 49 of 1000") << 5 << true << 1000 << 1049 << false;
        QTest::newRow("5 %, up 50 of 1000") << 5 << true << 1000 << 1050 << true;
        QTest::newRow("5 %, down 50 of 1000") << 5 << true << 1000 << 950 << true;
        QTest::newRow("100 links, down 99") << 100 << false << 1000 << 901 << false;
        QTest::newRow("100 links, down 100") << 100 << false << 1000 << 900 << true;
        QTest::newRow("100 links, from 0") << 100 << false << 0 << 1 << true;
        QTest::newRow("5 %, near the 32-bit limit")
            << 5 << true << 2147483647 << 2040109464 << true;
    }
    void alertThreshold()
    {
        QFETCH(int, amount);
        QFETCH(bool, percent);
        QFETCH(int, previous);
        QFETCH(int, current);
        QTEST((AlertThreshold{amount, percent}.passes(previous, current)), "passes");
    }

    // The stored threshold picks the alert; the document still says how the total moved.
    void thresholdAlert_data()
    {
        QTest::addColumn<QString>("count");
        QTest::addColumn<QString>("alert");
        QTest::addColumn<QString>("code");
        QTest::newRow("up 4 %: the plain alert") << u"1,040"_s << u"1"_s << u"1"_s;
        QTest::newRow("down 5 %: Decrease") << u"950"_s << u"3"_s << u"2"_s;
    }
    void thresholdAlert()
    {
        QFETCH(QString, count);
        QFETCH(QString, alert);
        FakeServiceHost host;
        host.engines({counted(u"A"_s, count)}).start();
        store({eng("DomainURL", "a.com"), eng("TotalCount", "1000")});
        SaveAppSetting(u"ParloApp"_s, u"AlertMin"_s, u"5"_s);
        SaveAppSetting(u"ParloApp"_s, u"AlertPct"_s, u"1"_s);
        QTEST(codes(query(host)).left(1), "code"); // the total's
        QCOMPARE(m_ui.events, QStringList{u"alert "_s + alert});
        QCOMPARE(m_report.alert, alert != u"1"_s);
        QCOMPARE(m_report.previousTotal, std::optional<qint32>(1000));
    }

    // Lookups one after another: each count is compared with its engine's last one, the total
    // with the last total of the same set of engines that counted. A tracked site keeps its own
    // run, the run of "LinkEng" stays untouched.
    void sequence_data()
    {
        QTest::addColumn<bool>("tracked");
        QTest::addColumn<QStringList>("sites"); // one per lookup; the last one for the rest
        QTest::addColumn<QList<EngineAnswers>>("lookups");
        QTest::addColumn<QStringList>("codes");
        const char* none = nullptr;
        const QList<EngineAnswers> neverC{engines({"1,234", "999", none}),
                                          engines({"1,300", "900", none}),
                                          engines({"1,250", "950", none})};
        const QStringList neverCCodes{u"----"_s, u"212-"_s, u"021-"_s};
        // clang-format off
        QTest::newRow("an engine that never counts") << false << QStringList{u"a.com"_s} << neverC
            << neverCCodes;
        QTest::newRow("tracked, an engine that never counts") << true << QStringList{u"t.com"_s}
            << neverC << neverCCodes;
        QTest::newRow("a set that changes, then stays, then the complete one")
            << false << QStringList{u"a.com"_s}
            << QList<EngineAnswers>{engines({"100", "200", "300"}), engines({"110", "200", none}),
                                    engines({"130", "190", none}), engines({"130", "190", "310"})}
            << QStringList{u"----"_s, u"-10-"_s, u"112-"_s, u"1001"_s};
        QTest::newRow("nothing counted between") << false << QStringList{u"a.com"_s}
            << QList<EngineAnswers>{engines({"100", "200"}), engines({none, none}),
                                    engines({"110", "200"})}
            << QStringList{u"---"_s, u"---"_s, u"110"_s};
        QTest::newRow("another site between starts over")
            << false << QStringList{u"a.com"_s, u"b.com"_s, u"a.com"_s}
            << QList<EngineAnswers>{engines({"100", "1"}), engines({"50", "1"}),
                                    engines({"100", none}), engines({"120", none})}
            << QStringList{u"---"_s, u"---"_s, u"---"_s, u"11-"_s};
        QTest::newRow("another site's set totals forgotten")
            << false << QStringList{u"a.com"_s, u"b.com"_s}
            << QList<EngineAnswers>{engines({"100", none}), engines({"50", "1"}), engines({"60", none})}
            << QStringList{u"---"_s, u"---"_s, u"-1-"_s};
        QTest::newRow("four sets remembered, the oldest forgotten") << false << QStringList{u"a.com"_s}
            << QList<EngineAnswers>{engines({none, "1", "1", "1", "1"}), engines({"1", none, "1", "1", "1"}),
                engines({"1", "1", none, "1", "1"}), engines({"1", "1", "1", none, "1"}),
                engines({"1", "1", "1", "1", none}), engines({"1", none, "1", "1", "1"}),
                engines({none, "1", "1", "1", "1"})}
            << QStringList{u"------"_s, u"---000"_s, u"-00-00"_s, u"-000-0"_s, u"-0000-"_s,
                           u"00-000"_s, u"--0000"_s};
        // clang-format on
    }
    void sequence()
    {
        QFETCH(bool, tracked);
        QFETCH(QStringList, sites);
        QFETCH(QList<EngineAnswers>, lookups);
        QStringList got;
        for (qsizetype i = 0; i < lookups.size(); ++i) {
            FakeServiceHost host;
            host.engines(lookups.at(i)).start();
            got << codes(query(host, sites.value(i, sites.constLast()), tracked));
        }
        QTEST(got, "codes");
        QCOMPARE(GetAppSetting(u"LinkEng"_s, u"Eng-DomainURL"_s).isEmpty(), tracked);
    }

    // The whole lookup; what it stored before an early end stays stored.
    void runLookup_data()
    {
        QTest::addColumn<EngineAnswers>("answers");
        QTest::addColumn<bool>("placeholder");
        QTest::addColumn<int>("error");    // 0: none
        QTest::addColumn<QString>("page"); // "": no page; the earlier page stays
        const EngineAnswers two{counted(u"Café"_s, u"1,000"_s), counted(u"B"_s, u"300"_s)};
        QTest::newRow("page written, escaped tag becomes markup")
            << two << true << 0 << "<p>results: 1 total: 1,300 first: Café<b>bold</b></p>";
        QTest::newRow("schema without placeholder")
            << two << false << 0 << "<p>results: 0 total:  first: <b>bold</b></p>";
        QTest::newRow("missing engine field")
            << EngineAnswers{counted(u"A"_s, u"5"_s), incomplete(u"B"_s, u"6"_s)} << true
            << int(ErrorCode::ElementMissing) << "";
    }
    void runLookup()
    {
        QFETCH(EngineAnswers, answers);
        QFETCH(bool, placeholder);
        QFETCH(int, error);
        QFETCH(QString, page);
        FakeServiceHost host;
        host.engines(answers).styleSheet(
            "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
            "<xsl:template match=\"/\"><p>results: <xsl:value-of select=\"count(//Results)\"/>"
            " total: <xsl:value-of select=\"//Results/@Total\"/> first: "
            "<xsl:value-of select=\"//Name\"/><xsl:text>&lt;b&gt;bold&lt;/b&gt;</xsl:text></p>"
            "</xsl:template></xsl:stylesheet>");
        if (!placeholder)
            host.withoutPlaceholder();
        host.start();
        const ScopedEnv env("BRANDLE_SERVICE_HOST", host.hostPort().toUtf8());
        QVERIFY(writeFile(resultPagePath(), "earlier page"));
        m_props.setPlaySound(u"0"_s);

        const LookupOutcome outcome = RunLookup(u"a.com"_s, m_props, m_ui);
        QCOMPARE(outcome.error ? outcome.error->number() : 0, error);
        QCOMPARE(outcome.kind,
                 error ? LookupOutcome::Kind::Error : LookupOutcome::Kind::PageWritten);
        // The site and the first engine's count are stored, also when a later step failed.
        const Stored first{
            eng("DomainURL", "a.com"),
            {u"Eng-"_s + answers.first().name, QString(answers.first().count).remove(u',')}};
        QCOMPARE(storedNow(first), first);
        QCOMPARE(GetAppSetting(u"LinkEng"_s, u"Eng-B"_s), page.isEmpty() ? QString() : u"300"_s);
        QCOMPARE(m_ui.events, (QStringList{u"loading"_s, u"close"_s}));
        const QString written = readText(resultPagePath());
        QVERIFY2(written.contains(page.isEmpty() ? u"earlier page"_s : page), qPrintable(written));
        // The kept document is the schema with the results merged in, where it had a place.
        QCOMPARE(m_props.XMLSchema().count(u"<Results Site=\"a.com\""_s),
                 page.contains(u"results: 1"_s) ? 1 : 0);
        QCOMPARE(m_props.XMLSchema().isEmpty(), page.isEmpty());
        // The window parameters travel with a written page.
        QCOMPARE(outcome.window.has_value(), !page.isEmpty());
        if (outcome.window)
            QCOMPARE(outcome.window->WinSleep, u"60"_s);
    }
};
BRANDLE_TEST(TestQueryEngines)

#include "tst_lookup.moc"

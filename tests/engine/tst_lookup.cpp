// SPDX-License-Identifier: MIT
#include "TestMain.h"
#include "TestSupport.h"

#include "engine/Alerts.h"
#include "engine/LookupRun.h"
#include "engine/QueryEngines.h"
#include "engine/Schema.h"
#include "engine/ServiceStatus.h"
#include "engine/Site.h"
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

#include <map>
#include <mutex>

using namespace Qt::Literals::StringLiterals;

Q_DECLARE_METATYPE(NoticeButtons)
Q_DECLARE_METATYPE(NoticeIcon)

namespace {

// Plays the service host and the engines; pages can be changed between lookups.
class FakeHost {
public:
    FakeHost()
    {
        m_server.server().Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
            const std::lock_guard<std::mutex> lock(m_mutex);
            const auto it = m_pages.find(req.path);
            if (it == m_pages.end())
                res.status = 404;
            else
                res.set_content(it->second, "text/html; charset=utf-8");
        });
        m_server.start();
    }
    // An empty body removes the page (404).
    void set(const QString& path, const QString& body)
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (body.isEmpty())
            m_pages.erase(path.toStdString());
        else
            m_pages[path.toStdString()] = body.toStdString();
    }
    QString url(const QString& path) const { return m_server.url(path); }
    QByteArray hostPort() const { return m_server.hostPort().toUtf8(); }

private:
    TestServer m_server;
    std::mutex m_mutex;
    std::map<std::string, std::string> m_pages;
};

class RecordingUi : public LookupUi {
public:
    QStringList events;
    void showNotice(const ServiceNotice& n) override
    {
        events << u"notice %1|%2|%3"_s.arg(n.title, n.text).arg(n.style);
    }
    void showLoading() override { events << u"loading"_s; }
    void closeLoading() override { events << u"close"_s; }
    void playAlert(const QString& code) override { events << u"alert "_s + code; }
};

// One QueryEngines call with the given sound and logging flags.
struct Query {
    clsProps props;
    RecordingUi ui;
    QueryReport report;
    Query(const QString& playSound, const QString& logging)
    {
        props.setPlaySound(playSound);
        props.setLogging(logging);
    }
    QString operator()(const QString& schema, const QString& site)
    {
        return QueryEngines(schema, site, props, ui, report);
    }
};

QString engineEntry(const QString& name, const QString& leftUrl, const QString& replaceDot = u"."_s,
                    bool withRightString = true)
{
    return u"<Engine><EngineName>"_s + name.toHtmlEscaped() +
           u"</EngineName><EngineHome>http://home/</EngineHome><LeftURL>"_s + leftUrl +
           u"</LeftURL><RightURL></RightURL><LeftString>&lt;b&gt;</LeftString>"_s +
           (withRightString ? u"<RightString>&lt;/b&gt;</RightString>"_s : QString()) +
           u"<ReplaceDot>"_s + replaceDot + u"</ReplaceDot></Engine>"_s;
}

QString schemaWith(const QString& entries, bool placeholder = true)
{
    return u"<Schema><Service/><Engines>"_s + entries +
           u"</Engines><Window><WinSleep>60</WinSleep></Window>"_s +
           (placeholder ? QString(mConstants::ResultsPlaceholder) : QString()) + u"</Schema>"_s;
}

QString engineAnswer(const QString& count)
{
    return count == u"-"_s ? u"<p>No results</p>"_s
                           : u"<p>About <b>"_s + count + u"</b> pages</p>"_s;
}

// The stored values of the keys named in "key=value;..." pairs, written the same way.
QString storedAs(const QString& pairs)
{
    QStringList out;
    for (const QString& pair : pairs.split(u';', Qt::SkipEmptyParts))
        out << pair.section(u'=', 0, 0) + u'=' +
                   GetAppSetting(StoreKeys::SectionEngine, pair.section(u'=', 0, 0));
    return out.join(u';');
}

void seed(const QString& pairs)
{
    for (const QString& pair : pairs.split(u';', Qt::SkipEmptyParts))
        SaveAppSetting(StoreKeys::SectionEngine, pair.section(u'=', 0, 0), pair.section(u'=', 1));
}

QString readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : u"<missing>"_s;
}

QStringList logLines()
{
    QStringList lines;
    const QDir dir(Paths::inProgramFolder(mConstants::LogFolderName));
    for (const QString& name : dir.entryList(QDir::Files))
        lines += readFile(dir.filePath(name)).split(u"\r\n"_s, Qt::SkipEmptyParts);
    return lines;
}

QString deadUrl()
{
    return u"http://127.0.0.1:%1/e?q="_s.arg(closedPort());
}

} // namespace

// Pure text rules: count extraction, addresses, status texts, notice styles, alert files.
class TestLookupText : public QObject {
    Q_OBJECT
private slots:
    void extractCount_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("left");
        QTest::addColumn<QString>("right");
        QTest::addColumn<QString>("count"); // "-": no count
        // clang-format off
        QTest::newRow("plain") << "x <b>42</b> y" << "<b>" << "</b>" << "42";
        QTest::newRow("thousands separator") << "<b>1,234</b>" << "<b>" << "</b>" << "1,234";
        QTest::newRow("first left marker wins") << "<b>5</b><b>6</b>" << "<b>" << "</b>" << "5";
        QTest::newRow("left marker missing") << "no count here" << "<b>" << "</b>" << "-";
        QTest::newRow("markers are case-sensitive") << "<B>5</B>" << "<b>" << "</b>" << "-";
        QTest::newRow("right marker missing") << "<b>5" << "<b>" << "</b>" << "-";
        QTest::newRow("right only before left") << "</b> 12 <b>7" << "<b>" << "</b>" << "-";
        QTest::newRow("right inside left") << "<b>x12b>" << "<b>x" << "b>" << "-";
        QTest::newRow("empty count text") << "<b></b>" << "<b>" << "</b>" << "-";
        QTest::newRow("non-numeric text") << "<b>many</b>" << "<b>" << "</b>" << "-";
        QTest::newRow("beyond 32 bits still numeric")
            << "<b>3,000,000,000</b>" << "<b>" << "</b>" << "3,000,000,000";
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

    void queryAddress_data()
    {
        QTest::addColumn<QString>("replaceDot");
        QTest::addColumn<QString>("address");
        // clang-format off
        QTest::newRow("dot kept") << "." << "http://q/?s=www.example.com&n=1";
        QTest::newRow("dot encoded") << "%2E" << "http://q/?s=www%2Eexample%2Ecom&n=1";
        QTest::newRow("dots removed") << "" << "http://q/?s=wwwexamplecom&n=1";
        // clang-format on
    }
    void queryAddress()
    {
        QFETCH(QString, replaceDot);
        QFETCH(QString, address);
        QCOMPARE(::queryAddress(u"http://q/?s="_s, u"www.example.com"_s, replaceDot, u"&n=1"_s),
                 address);
    }

    void serviceStatus_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("verdict");
        QTest::addColumn<QString>("notice"); // "title|text|style", "" for none
        const int go = int(ServiceVerdict::Go);
        const int stop = int(ServiceVerdict::Stop);
        // clang-format off
        QTest::newRow("active") << "Active" << go << "";
        QTest::newRow("active with line break") << "Active\r\n" << stop << "";
        QTest::newRow("active in lower case") << "active" << stop << "";
        QTest::newRow("empty") << "" << stop << "";
        QTest::newRow("notice then go") << "MessageOn\r\nT\r\nX\r\n64" << go << "T|X|64";
        QTest::newRow("longer first word, extra lines")
            << "MessageOnly\r\nNews\r\nRead it\r\n48\r\nignored" << go << "News|Read it|48";
        QTest::newRow("marker in lower case") << "messageon\r\nT\r\nX\r\n64" << stop << "";
        QTest::newRow("three lines only") << "MessageOn\r\nT\r\nX" << stop << "";
        QTest::newRow("style not a number") << "MessageOn\r\nT\r\nX\r\nabc" << stop << "";
        QTest::newRow("bare line feeds") << "MessageOn\nT\nX\n64" << stop << "";
        QTest::newRow("notice then stop")
            << "MessageOff\r\nClosed\r\nLater\r\n16" << stop << "Closed|Later|16";
        QTest::newRow("stop without notice lines") << "MessageOff\r\nClosed" << stop << "";
        // clang-format on
    }
    void serviceStatus()
    {
        QFETCH(QString, text);
        QFETCH(int, verdict);
        QFETCH(QString, notice);
        const ServiceStatus status = parseServiceStatus(text);
        QCOMPARE(int(status.verdict), verdict);
        const QString got = status.notice
                                ? u"%1|%2|%3"_s.arg(status.notice->title, status.notice->text)
                                      .arg(status.notice->style)
                                : QString();
        QCOMPARE(got, notice);
    }

    void noticeStyle_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<NoticeButtons>("buttons");
        QTest::addColumn<NoticeIcon>("icon");
        using B = NoticeButtons;
        using I = NoticeIcon;
        // clang-format off
        QTest::newRow("0 plain ok") << 0 << B::Ok << I::None;
        QTest::newRow("17 ok-cancel critical") << 17 << B::OkCancel << I::Critical;
        QTest::newRow("34 abort-retry-ignore question") << 34 << B::AbortRetryIgnore << I::Question;
        QTest::newRow("67 yes-no-cancel information") << 67 << B::YesNoCancel << I::Information;
        QTest::newRow("52 yes-no warning") << 52 << B::YesNo << I::Exclamation;
        QTest::newRow("5 retry-cancel") << 5 << B::RetryCancel << I::None;
        QTest::newRow("modal flag ignored") << 4096 + 64 << B::Ok << I::Information;
        QTest::newRow("unknown buttons and icon") << 6 + 80 << B::Ok << I::None;
        // clang-format on
    }
    void noticeStyle()
    {
        QFETCH(int, style);
        QFETCH(NoticeButtons, buttons);
        QFETCH(NoticeIcon, icon);
        const NoticeStyle s = ::noticeStyle(style);
        QCOMPARE(s.buttons, buttons);
        QCOMPARE(s.icon, icon);
    }

    void siteAndBrowser_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("site");
        QTest::addColumn<QString>("browser");
        // clang-format off
        QTest::newRow("mixed case, no scheme")
            << "WWW.Example.COM" << "www.example.com" << "http://www.example.com";
        QTest::newRow("scheme in capitals") << "HTTP://X.com" << "x.com" << "http://x.com";
        QTest::newRow("secure scheme")
            << "https://a.com" << "https://a.com" << "http://https://a.com";
        QTest::newRow("leading blank kept") << " a.com" << " a.com" << "http:// a.com";
        QTest::newRow("path lower-cased") << "http://A.com/Page" << "a.com/page"
                                          << "http://a.com/page";
        // clang-format on
    }
    void siteAndBrowser()
    {
        QFETCH(QString, typed);
        QFETCH(QString, site);
        QFETCH(QString, browser);
        QCOMPARE(siteForLookup(typed), site);
        QCOMPARE(browserAddress(typed), browser);
    }

    void alertFile_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("file");
        // clang-format off
        QTest::newRow("1 count") << "1" << "LinkCount.wav";
        QTest::newRow("2 increase") << "2" << "Increase.wav";
        QTest::newRow("3 decrease") << "3" << "Decrease.wav";
        QTest::newRow("4 welcome") << "4" << "Welcome.wav";
        QTest::newRow("5 exit") << "5" << "Exit.wav";
        QTest::newRow("6 unknown") << "6" << "";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("leading blank") << " 1" << "";
        // clang-format on
    }
    void alertFile()
    {
        QFETCH(QString, code);
        QFETCH(QString, file);
        QCOMPARE(alertFileName(code), file);
    }
};
BRANDLE_TEST(TestLookupText)

// QueryEngines against engines served on 127.0.0.1.
class TestQueryEngines : public QObject {
    Q_OBJECT

    FakeHost m_host;

    QString engine(const QString& name, int i, const QString& replaceDot = u"."_s)
    {
        return engineEntry(name, m_host.url(u"/e/%1?q="_s.arg(i)), replaceDot);
    }
    // Engines named by names ("A|B"), engine i answering the i-th of answers ("-": no count).
    QString engines(const QString& names, const QString& answers)
    {
        const QStringList n = names.split(u'|', Qt::SkipEmptyParts);
        const QStringList a = answers.split(u'|', Qt::SkipEmptyParts);
        QString entries;
        for (int i = 0; i < n.size(); ++i) {
            m_host.set(u"/e/%1"_s.arg(i), engineAnswer(a.value(i)));
            entries += engine(n.at(i), i);
        }
        return schemaWith(entries);
    }

private slots:
    void init()
    {
        clearStore();
        QDir(Paths::inProgramFolder(mConstants::LogFolderName)).removeRecursively();
    }

    void fluctuation_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("names");
        QTest::addColumn<QString>("answers");
        QTest::addColumn<QString>("elements"); // count:fluctuation of each engine
        QTest::addColumn<QString>("total");    // total:fluctuation
        QTest::addColumn<QString>("alert");
        QTest::addColumn<QString>("after");
        const QString same = u"Eng-DomainURL=a.com;"_s;
        // clang-format off
        QTest::newRow("first lookup ever")
            << "Eng-A=50;Eng-B=500;Eng-TotalCount=550" << "A|B" << "100|200" << "100:0|200:0"
            << "300:0" << "1" << "Eng-DomainURL=a.com;Eng-A=100;Eng-B=200;Eng-TotalCount=300";
        QTest::newRow("same site, higher")
            << same + u"Eng-A=50;Eng-B=150;Eng-TotalCount=200"_s << "A|B" << "100|200"
            << "100:1|200:1" << "300:1" << "2" << "Eng-TotalCount=300";
        QTest::newRow("same site, lower")
            << same + u"Eng-A=150;Eng-B=250;Eng-TotalCount=400"_s << "A|B" << "100|200"
            << "100:2|200:2" << "300:2" << "3" << "Eng-A=100;Eng-TotalCount=300";
        QTest::newRow("same site, equal")
            << same + u"Eng-A=100;Eng-B=200;Eng-TotalCount=300"_s << "A|B" << "100|200"
            << "100:0|200:0" << "300:0" << "1" << "";
        QTest::newRow("engines apart, total equal")
            << same + u"Eng-A=50;Eng-B=250;Eng-TotalCount=300"_s << "A|B" << "100|200"
            << "100:1|200:2" << "300:0" << "1" << "";
        QTest::newRow("other site than last time")
            << u"Eng-DomainURL=b.com;Eng-A=50;Eng-B=50;Eng-TotalCount=100"_s << "A|B" << "100|200"
            << "100:0|200:0" << "300:0" << "1" << "Eng-DomainURL=a.com";
        QTest::newRow("site differing in letter case")
            << u"Eng-DomainURL=A.COM;Eng-A=50;Eng-B=50;Eng-TotalCount=100"_s << "A|B" << "100|200"
            << "100:1|200:1" << "300:1" << "2" << "Eng-DomainURL=A.COM";
        QTest::newRow("engine without a count this time")
            << same + u"Eng-A=100;Eng-B=200;Eng-TotalCount=300"_s << "A|B" << "-|250"
            << "0:0|250:1" << "250:2" << "3" << "Eng-A=100;Eng-B=250;Eng-TotalCount=250";
        QTest::newRow("two engines of one name")
            << same + u"Eng-A=100;Eng-TotalCount=250"_s << "A|A" << "150|120"
            << "150:1|120:2" << "270:1" << "2" << "Eng-A=120;Eng-TotalCount=270";
        QTest::newRow("stored values not numbers")
            << same + u"Eng-A=lots;Eng-B=200;Eng-TotalCount=x"_s << "A|B" << "100|200"
            << "100:1|200:0" << "300:1" << "2" << "Eng-A=100;Eng-TotalCount=300";
        QTest::newRow("counts grouped, stored plain")
            << "" << "A|B" << "1,234|999" << "1,234:0|999:0"
            << "2,233:0" << "1" << "Eng-A=1234;Eng-B=999;Eng-TotalCount=2233";
        QTest::newRow("empty engine list")
            << same + u"Eng-TotalCount=5"_s << "" << "" << "" << "0:2" << "3" << "Eng-TotalCount=0";
        // clang-format on
    }
    void fluctuation()
    {
        QFETCH(QString, stored);
        QFETCH(QString, names);
        QFETCH(QString, answers);
        QFETCH(QString, elements);
        QFETCH(QString, total);
        QFETCH(QString, alert);
        QFETCH(QString, after);
        seed(stored);
        Query q(u"1"_s, u"0"_s);
        const QString doc = q(engines(names, answers), u"a.com"_s);

        const XmlDocument parsed = XmlDocument::parse(doc);
        QStringList got;
        for (const XmlNode& e : parsed.root().childNodes())
            got << e.firstElement(u"Count"_s).text() + u':' +
                       e.firstElement(u"Fluctuation"_s).text();
        QCOMPARE(got.join(u'|'), elements);
        QCOMPARE(parsed.root().attribute(u"Total"_s) + u':' +
                     parsed.root().attribute(u"Fluctuation"_s),
                 total);
        QCOMPARE(q.ui.events, QStringList{u"alert "_s + alert});
        QVERIFY(logLines().isEmpty()); // logging off
        QVERIFY(q.report.counted);
        QVERIFY(q.report.failedEngine.isEmpty());
        QCOMPARE(storedAs(after), after);
    }

    // The whole document, character for character.
    void documentText()
    {
        const ManualClock clock(QDateTime(QDate(2026, 12, 6), QTime(7, 23, 58)));
        m_host.set(u"/e/0"_s, engineAnswer(u"1,234"_s));
        m_host.set(u"/e/1"_s, engineAnswer(u"1233333"_s));
        m_host.set(u"/e/2"_s, engineAnswer(u"-"_s));
        const QString schema =
            schemaWith(engine(u"A"_s, 0) + engine(u"B"_s, 1, u"%2E"_s) + engine(u"C"_s, 2));
        Query q(QString(), u"1"_s);
        const QString doc = q(schema, u"example.com"_s);

        const QString expected =
            u"<Results Site=\"example.com\" Total=\"1,234,567\" Fluctuation=\"0\" "
            "Created=\"12/6/2026 7:23:58 AM\">"
            "<Engine><Name><![CDATA[A]]></Name><URL><![CDATA[%1]]></URL>"
            "<Count><![CDATA[1,234]]></Count><Fluctuation>0</Fluctuation></Engine>"
            "<Engine><Name><![CDATA[B]]></Name><URL><![CDATA[%2]]></URL>"
            "<Count><![CDATA[1,233,333]]></Count><Fluctuation>0</Fluctuation></Engine>"
            "<Engine><Name><![CDATA[C]]></Name><URL><![CDATA[%3]]></URL>"
            "<Count><![CDATA[0]]></Count><Fluctuation>0</Fluctuation></Engine></Results>"_s.arg(
                m_host.url(u"/e/0?q=example.com"_s), m_host.url(u"/e/1?q=example%2Ecom"_s),
                m_host.url(u"/e/2?q=example.com"_s));
        QCOMPARE(doc, expected);
        QCOMPARE(readFile(linkLogFile(QDate(2026, 12, 6))), expected + u"\r\n"_s);
        QCOMPARE(q.props.URLName(), u"example.com"_s);
        QCOMPARE(q.props.LastCount(), u"1234567"_s);
        QCOMPARE(q.props.LastRun(), u"12/6/2026 7:23:58 AM"_s);
        QVERIFY(q.ui.events.isEmpty()); // sounds never switched on
        const QString stored =
            u"Eng-A=1234;Eng-B=1233333;Eng-C=;Eng-TotalCount=1234567;Eng-DomainURL=example.com"_s;
        QCOMPARE(storedAs(stored), stored);
    }

    // Characters special to XML in the site and in a name never break the document or the log.
    void specialCharacters()
    {
        const QString site = u"a\"b&c<d>.com"_s;
        const QString name = u"x]]>y & \"z\""_s;
        m_host.set(u"/e/0"_s, engineAnswer(u"7"_s));
        Query q(QString(), u"1"_s);
        const QString doc = q(schemaWith(engine(name, 0)), site);
        const QStringList lines = logLines();
        QCOMPARE(lines.size(), 1);
        for (const QString& text : {doc, lines.first()}) {
            const XmlDocument parsed = XmlDocument::parse(text);
            QCOMPARE(parsed.root().attribute(u"Site"_s), site);
            QCOMPARE(parsed.firstElement(u"Name"_s).text(), name);
            QCOMPARE(parsed.firstElement(u"URL"_s).text(), m_host.url(u"/e/0?q="_s) + site);
            QCOMPARE(parsed.firstElement(u"Count"_s).text(), u"7"_s);
        }
    }

    void overflow_data()
    {
        QTest::addColumn<QString>("answers");
        QTest::newRow("count beyond 32 bits") << "3,000,000,000|1";
        QTest::newRow("total beyond 32 bits") << "2,000,000,000|2,000,000,000";
    }
    void overflow()
    {
        QFETCH(QString, answers);
        seed(u"Eng-DomainURL=a.com;Eng-TotalCount=5"_s);
        Query q(u"1"_s, u"1"_s);
        try {
            q(engines(u"A|B"_s, answers), u"a.com"_s);
            QFAIL("no error");
        } catch (const BrandleError& e) {
            QCOMPARE(e.code(), ErrorCode::Overflow);
        }
        QCOMPARE(storedAs(u"Eng-TotalCount=5"_s), u"Eng-TotalCount=5"_s);
        QVERIFY(!q.report.counted);
        QVERIFY(q.props.URLName().isEmpty());
        QVERIFY(q.ui.events.isEmpty());
        QVERIFY(logLines().isEmpty());
    }

    // Engine B cannot be reached: what was stored before it stays, nothing after it happens.
    void downloadFailure()
    {
        seed(u"Eng-DomainURL=old.com;Eng-A=1;Eng-B=2;Eng-C=3;Eng-TotalCount=6"_s);
        m_host.set(u"/e/0"_s, engineAnswer(u"100"_s));
        m_host.set(u"/e/2"_s, engineAnswer(u"300"_s));
        Query q(u"1"_s, u"1"_s);
        QCOMPARE(
            q(schemaWith(engine(u"A"_s, 0) + engineEntry(u"B"_s, deadUrl()) + engine(u"C"_s, 2)),
              u"a.com"_s),
            QString());
        QCOMPARE(q.report.failedEngine, u"B"_s);
        QVERIFY(!q.report.counted);
        const QString stored = u"Eng-DomainURL=a.com;Eng-A=100;Eng-B=2;Eng-C=3;Eng-TotalCount=6"_s;
        QCOMPARE(storedAs(stored), stored);
        QVERIFY(q.props.URLName().isEmpty());
        QVERIFY(q.props.LastCount().isEmpty());
        QVERIFY(q.ui.events.isEmpty());
        QVERIFY(logLines().isEmpty());
    }
};
BRANDLE_TEST(TestQueryEngines)

// The whole lookup: status, loading window, schema, engines, style sheet, page file.
class TestLookupRun : public QObject {
    Q_OBJECT

    FakeHost m_host;

    QString engine(const QString& name, int i)
    {
        return engineEntry(name, m_host.url(u"/e/%1?q="_s.arg(i)));
    }

private slots:
    void initTestCase()
    {
        m_host.set(u"/e/0"_s, engineAnswer(u"1,000"_s));
        m_host.set(u"/e/1"_s, engineAnswer(u"300"_s));
    }
    void runLookup_data()
    {
        QTest::addColumn<QString>("status"); // "(no host)": nothing listens
        QTest::addColumn<QString>("schema");
        QTest::addColumn<QString>("xsl");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<int>("error");
        QTest::addColumn<QStringList>("pageHas"); // empty: the earlier page stays
        const QString engines = engine(u"Café"_s, 0) + engine(u"B"_s, 1);
        const QString two = schemaWith(engines);
        const QString xsl =
            u"<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
            "<xsl:output method=\"xml\" omit-xml-declaration=\"yes\"/><xsl:template match=\"/\">"
            "<html><body><p>results: <xsl:value-of select=\"count(//Results)\"/> total: "
            "<xsl:value-of select=\"//Results/@Total\"/></p><xsl:for-each select=\"//Engine/Name\">"
            "<i><xsl:value-of select=\".\"/></i></xsl:for-each><xsl:text "
            "disable-output-escaping=\"no\">&lt;b&gt;bold&lt;/b&gt;</xsl:text></body></html>"
            "</xsl:template></xsl:stylesheet>"_s;
        const QStringList run{u"loading"_s, u"close"_s};
        const int written = int(LookupOutcome::Kind::PageWritten);
        const int error = int(LookupOutcome::Kind::Error);
        const int refused = int(LookupOutcome::Kind::ServiceRefused);
        const QString incomplete = engineEntry(u"B"_s, m_host.url(u"/e/1?q="_s), u"."_s, false);

        // clang-format off
        QTest::newRow("active, page written")
            << "Active" << two << xsl << written << run << 0
            << QStringList{u"results: 1 total: 1,300"_s, u"<i>Café</i><i>B</i>"_s, u"<b>bold</b>"_s};
        QTest::newRow("notice shown, then lookup")
            << "MessageOn\r\nNews\r\nHello\r\n64" << two << xsl << written
            << QStringList{u"notice News|Hello|64"_s} + run << 0 << QStringList{u"results: 1"_s};
        QTest::newRow("schema without placeholder")
            << "Active" << schemaWith(engines, false) << xsl << written << run << 0
            << QStringList{u"results: 0 total: </p>"_s};
        QTest::newRow("engine download failure")
            << "Active" << schemaWith(engine(u"A"_s, 0) + engineEntry(u"Down"_s, deadUrl()))
            << xsl << int(LookupOutcome::Kind::DownloadFailure) << run << 0 << QStringList();
        QTest::newRow("missing engine field")
            << "Active" << schemaWith(engine(u"A"_s, 0) + incomplete)
            << xsl << error << run << int(ErrorCode::ElementMissing) << QStringList();
        QTest::newRow("schema missing")
            << "Active" << "" << xsl << error << run << int(ErrorCode::XmlParse) << QStringList();
        QTest::newRow("style sheet missing")
            << "Active" << two << "" << error << run << int(ErrorCode::XslTransform) << QStringList();
        QTest::newRow("service switched off")
            << "MessageOff\r\nClosed\r\nLater\r\n16" << two << xsl << refused
            << QStringList{u"notice Closed|Later|16"_s} << 0 << QStringList();
        QTest::newRow("status not understood")
            << "Active\r\n" << two << xsl << refused << QStringList() << 0 << QStringList();
        QTest::newRow("service host unreachable")
            << "(no host)" << two << xsl << int(LookupOutcome::Kind::ServiceUnreachable)
            << QStringList() << 0 << QStringList();
        // clang-format on
    }
    void runLookup()
    {
        QFETCH(QString, status);
        QFETCH(QString, schema);
        QFETCH(QString, xsl);
        QFETCH(int, kind);
        QFETCH(QStringList, events);
        QFETCH(int, error);
        QFETCH(QStringList, pageHas);
        m_host.set(mConstants::StatusPath, status);
        m_host.set(mConstants::SchemaPath, schema);
        m_host.set(mConstants::StyleSheetPath, xsl);
        const QByteArray host = status == u"(no host)"_s
                                    ? "127.0.0.1:" + QByteArray::number(closedPort())
                                    : m_host.hostPort();
        const ScopedEnv env("BRANDLE_SERVICE_HOST", host);
        const QString pagePath = Paths::inProgramFolder(mConstants::PageFileName);
        {
            QFile old(pagePath);
            QVERIFY(old.open(QIODevice::WriteOnly | QIODevice::Truncate));
            old.write("earlier page");
        }

        clsProps props;
        props.setXMLSchema(u"earlier"_s);
        RecordingUi ui;
        const LookupOutcome outcome = RunLookup(u"a.com"_s, props, ui);

        QCOMPARE(int(outcome.kind), kind);
        QCOMPARE(ui.events, events);
        QCOMPARE(outcome.error ? outcome.error->number() : 0, error);
        if (outcome.error)
            QVERIFY(outcome.error->userText().startsWith(QString::number(error) + u" - "_s));
        const QString page = readFile(pagePath);
        if (pageHas.isEmpty()) {
            QCOMPARE(page, u"earlier page"_s);
            QCOMPARE(props.XMLSchema(), u"earlier"_s);
            return;
        }
        QCOMPARE(outcome.pagePath, pagePath);
        QVERIFY(page.endsWith(u"\r\n"_s));
        QVERIFY2(!page.contains(u"&lt;"_s) && !page.contains(u"&gt;"_s), qPrintable(page));
        for (const QString& part : pageHas)
            QVERIFY2(page.contains(part), qPrintable(page));
        // The kept document is the schema with the results merged in, where it had a place.
        QCOMPARE(GetNodeText(props.XMLSchema(), u"WinSleep"_s), u"60"_s);
        QCOMPARE(props.XMLSchema().count(u"<Results Site=\"a.com\""_s),
                 schema.contains(mConstants::ResultsPlaceholder) ? 1 : 0);
        QVERIFY(!props.XMLSchema().contains(mConstants::ResultsPlaceholder));
    }
};
BRANDLE_TEST(TestLookupRun)

#include "tst_lookup.moc"

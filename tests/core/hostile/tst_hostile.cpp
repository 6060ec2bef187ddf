// SPDX-License-Identifier: MIT
// A service host, engines and a full disk that try to break the lookup.
#include "TestMain.h"
#include "TestSupport.h"

#include "engine/LookupRun.h"
#include "platform/Errors.h"
#include "platform/SafeFile.h"
#include "platform/mConstants.h"
#include "settings/Config.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

using namespace brandle;
using B = QByteArray;

namespace {

const B Earlier = "earlier page\r\n";

// What the host serves ("": the made schema, a sheet listing the engines) and a file size limit.
struct Serve {
    B schema;
    B sheet = B();
    EngineAnswers engines = {};
    int fileLimit = 0;
};

B styleSheet(const B& templates, const B& output = "<xsl:output method=\"html\"/>")
{
    return "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">" +
           output + templates + "</xsl:stylesheet>";
}

// A page that holds the engines' names and size bytes of filler.
B pageSheet(int size, const B& output = "<xsl:output method=\"html\"/>")
{
    return styleSheet("<xsl:template match=\"/\"><html><body><xsl:for-each select=\"//Engine\">"
                      "<p><xsl:value-of select=\"Name\"/></p></xsl:for-each><pre>" +
                          B(size, 'x') + "</pre></body></html></xsl:template>",
                      output);
}

// A schema of the fake host's shape without engines, with a first child of its own.
B schemaWith(const B& service, const B& doctype = B())
{
    return doctype + "<Schema><Service>" + service +
           "</Service><Engines></Engines><Window><WinSleep>60</WinSleep></Window>"
           "<LPResults></LPResults></Schema>";
}

// A template that calls itself calls times on each of n levels (inside xsl:if), writing "x".
B recursion(const B& n, int calls = 1)
{
    const B call = "<xsl:call-template name=\"r\"><xsl:with-param name=\"n\" select=\"N\"/>"
                   "</xsl:call-template>";
    return "<xsl:template match=\"/\"><p>" + B(call).replace("N", n) +
           "</p></xsl:template><xsl:template name=\"r\"><xsl:param name=\"n\"/><xsl:if "
           "test=\"$n &gt; 0\">x" +
           B(call).replace("N", "$n - 1").repeated(calls) + "</xsl:if></xsl:template>";
}

// A text of 16 bytes doubled `doublings` times (by a template that calls itself), written into
// the page `times` times.
B doubled(int doublings, int times)
{
    return "<xsl:variable name=\"s\"><xsl:call-template name=\"d\"><xsl:with-param name=\"s\" "
           "select=\"'xxxxxxxxxxxxxxxx'\"/><xsl:with-param name=\"n\" select=\"" +
           B::number(doublings) +
           "\"/></xsl:call-template></xsl:variable><xsl:template name=\"d\"><xsl:param "
           "name=\"s\"/><xsl:param name=\"n\"/><xsl:choose><xsl:when test=\"$n &gt; 0\">"
           "<xsl:call-template name=\"d\"><xsl:with-param name=\"s\" select=\"concat($s, $s)\"/>"
           "<xsl:with-param name=\"n\" select=\"$n - 1\"/></xsl:call-template></xsl:when>"
           "<xsl:otherwise><xsl:value-of select=\"$s\"/></xsl:otherwise></xsl:choose>"
           "</xsl:template><xsl:template match=\"/\"><p>" +
           B("<xsl:copy-of select=\"$s\"/>").repeated(times) + "</p></xsl:template>";
}

QString err(ErrorCode code)
{
    return u"error %1"_s.arg(int(code));
}

// "page", "download failure <engine>", "unreachable", "refused" or "error <number>".
QString describe(const LookupOutcome& o)
{
    using Kind = LookupOutcome::Kind;
    if (o.error)
        return u"error %1"_s.arg(o.error->number());
    if (o.kind == Kind::DownloadFailure)
        return u"download failure "_s + o.query.failedEngine;
    return o.kind == Kind::PageWritten          ? u"page"_s
           : o.kind == Kind::ServiceUnreachable ? u"unreachable"_s
                                                : u"refused"_s;
}

// A notice that keeps the lookup waiting, as a user who reads it slowly would.
class SlowReader final : public LookupUi {
public:
    int ms = 0;
    void showNotice(const ServiceNotice&) override { QTest::qSleep(ms); }
};

struct Lookup {
    LookupOutcome outcome;
    clsProps props;
    qint64 ms = 0;
};

// A lookup with a deadline long enough for a busy machine, and the style sheet's 300 ms.
Lookup lookUp(FakeServiceHost& host, int lookupMs = WaitMs, LookupUi* ui = nullptr)
{
    const ScopedEnv env("BRANDLE_SERVICE_HOST", host.hostPort().toUtf8());
    LookupLimits limits;
    limits.lookupMs = lookupMs;
    limits.transform.timeMs = 300;
    Lookup lookup;
    lookup.props.setLogging(u"0"_s);
    LookupUi headless;
    QElapsedTimer timer;
    timer.start();
    lookup.outcome = RunLookup(u"a.com"_s, lookup.props, ui ? *ui : headless, {}, limits);
    lookup.ms = timer.elapsed();
    return lookup;
}

} // namespace

Q_DECLARE_METATYPE(Serve)

class TestHostile : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir; // for the files of writeFileSafely

private slots:
    void init()
    {
        clearStore();
        QVERIFY(writeFile(resultPagePath(), Earlier));
    }

    // A write that fails at its last step (a folder where the file goes) says so and leaves
    // nothing beside it.
    void writeFileSafely()
    {
        const QString path = m_dir.filePath(u"page.html"_s);
        QVERIFY(QDir().mkpath(path));
        try {
            brandle::writeFileSafely(path, Earlier);
            QFAIL("written in place of a folder");
        } catch (const BrandleError& e) {
            QCOMPARE(e.code(), ErrorCode::FileAccess);
            QVERIFY2(e.detail().startsWith(path + u" (rename: "_s), qPrintable(e.detail()));
        }
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{u"page.html"_s});
    }

    // Hostile documents and answers end the lookup in time with a reason; the earlier page stays.
    void lookups_data()
    {
        QTest::addColumn<Serve>("serve");
        QTest::addColumn<QString>("result");
        QTest::addColumn<B>("words"); // in the error's text, or in the page or the result
        const EngineAnswers five{counted(u"A"_s, u"5"_s)};
        const auto raw = [&](const B& bytes) {
            return Serve{{}, {}, five + EngineAnswers{rawAnswer(u"Raw"_s, bytes)}};
        };
        const auto engines = [](int n) {
            EngineAnswers answers;
            for (int i = 0; i < n; ++i)
                answers << noCount(u"E%1"_s.arg(i));
            return Serve{{}, {}, answers};
        };
        const auto sheet = [](const B& templates, const B& service = B()) {
            return Serve{schemaWith(service), styleSheet(templates)};
        };
        const auto encoded = [](const B& output) {
            return Serve{{}, pageSheet(10, output), {counted(u"Müller & Söhne"_s, u"5"_s)}};
        };
        const B nested = "<n>";
        const B entity = "<!DOCTYPE Schema [<!ENTITY n \"x\">]>";
        const B latin1 = "<p>M\xfcller &amp; S\xf6hne</p>", utf8 = "<p>Müller &amp; Söhne</p>";
        // clang-format off
        QTest::newRow("one internal entity") << Serve{schemaWith("<Name>&n;</Name>", entity)}
            << err(ErrorCode::EntitiesRefused) << B("declares entities");
        QTest::newRow("parameter entity")
            << Serve{schemaWith("", "<!DOCTYPE Schema [<!ENTITY % p \"<!ELEMENT n ANY>\"> %p;]>")}
            << err(ErrorCode::EntitiesRefused) << B("declares entities");
        QTest::newRow("doctype without entities")
            << Serve{schemaWith("", "<!DOCTYPE Schema [<!ELEMENT Schema ANY>]>")} << "page" << B();
        QTest::newRow("nested 101 deep")
            << Serve{schemaWith(nested.repeated(99) + B("</n>").repeated(99))}
            << err(ErrorCode::DocumentTooDeep) << B("nested too deeply");
        QTest::newRow("nested 100 deep")
            << Serve{schemaWith(nested.repeated(98) + B("</n>").repeated(98))} << "page" << B();
        QTest::newRow("20 MB, beyond the transfer cap") << Serve{schemaWith(B(20'000'000, ' '))}
            << err(ErrorCode::DocumentTooLarge) << B("too large: the engine schema");
        QTest::newRow("5 MB, beyond the document limit") << Serve{schemaWith(B(5'000'000, ' '))}
            << err(ErrorCode::DocumentTooLarge) << B("too large: the engine schema: 5000");
        QTest::newRow("style sheet of 5 MB") << Serve{{}, styleSheet(B(5'000'000, ' '))}
            << err(ErrorCode::DocumentTooLarge) << B("too large: the style sheet: 5000");
        QTest::newRow("3 MB of blanks") << Serve{schemaWith(B(3'000'000, ' '))} << "page" << B();
        QTest::newRow("placeholder repeated")
            << Serve{schemaWith(B("<LPResults></LPResults>").repeated(100'000))}
            << err(ErrorCode::DocumentTooLarge) << B("the schema with the results would be");
        QTest::newRow("300 engines") << engines(300) << "page" << B();
        QTest::newRow("301 engines") << engines(301) << err(ErrorCode::TooManyEngines) << B();
        QTest::newRow("exponential recursion") << sheet(recursion("60", 2))
            << err(ErrorCode::TransformTooLong) << B("took too long");
        QTest::newRow("slow XPath in few instructions")
            << sheet("<xsl:template match=\"/\"><xsl:for-each select=\"//n\"><p><xsl:value-of "
                     "select=\"count(//n[. = 'x'])\"/></p></xsl:for-each></xsl:template>",
                     B("<n/>").repeated(5000))
            << err(ErrorCode::TransformTooLong) << B("after 300 ms");
        QTest::newRow("recursion 400 deep") << sheet(recursion("400")) << "page" << B();
        QTest::newRow("a text doubled to 256 MiB") << sheet(doubled(24, 1))
            << err(ErrorCode::TransformTooLarge) << B("output is too large");
        QTest::newRow("a page of 20 MiB") << sheet(doubled(16, 20))
            << err(ErrorCode::TransformTooLarge) << B("output is too large");
        QTest::newRow("a page of 4 MiB") << sheet(doubled(16, 4)) << "page" << B();
        QTest::newRow("recursion 2000 deep") << sheet(recursion("2000"))
            << err(ErrorCode::TransformTooDeep) << B("nests its templates too deeply: more than 1000");
        QTest::newRow("cut inside the headers") << raw("HTTP/1.1 200 OK\r\nContent-Ty")
                                                << "download failure Raw" << B();
        QTest::newRow("not HTTP") << raw("about <b>9</b> pages") << "download failure Raw" << B();
        QTest::newRow("nothing") << raw("") << "download failure Raw" << B();
        QTest::newRow("body until the connection ends")
            << raw("HTTP/1.1 200 OK\r\n\r\nabout <b>9</b> pages") << "page" << B("Total=\"14\"");
        QTest::newRow("redirect to a local file")
            << raw("HTTP/1.1 301 Moved\r\nLocation: file:///etc/passwd\r\nContent-Length: 0\r\n\r\n")
            << err(ErrorCode::UnsupportedRedirect) << B("not http or https: file://");
        QTest::newRow("page in ISO-8859-1")
            << encoded("<xsl:output method=\"html\" encoding=\"ISO-8859-1\"/>") << "page" << latin1;
        QTest::newRow("page, no encoding declared") << encoded("<xsl:output method=\"html\"/>")
                                                    << "page" << utf8;
        QTest::newRow("full disk under the page file") << Serve{{}, pageSheet(8000), five, 4096}
            << err(ErrorCode::FileAccess) << B("(write: File too large)");
        // clang-format on
    }
    void lookups()
    {
        QFETCH(Serve, serve);
        QFETCH(QString, result);
        QFETCH(B, words);
        FakeServiceHost host;
        host.engines(serve.engines).styleSheet(serve.sheet.isEmpty() ? pageSheet(10) : serve.sheet);
        if (!serve.schema.isEmpty())
            host.schema(serve.schema);
        host.start();
        Lookup lookup;
        {
            std::optional<FileSizeLimit> full;
            if (serve.fileLimit)
                full.emplace(serve.fileLimit);
            lookup = lookUp(host);
        }
        QCOMPARE(describe(lookup.outcome), result);
        const B page = readBytes(resultPagePath());
        const B seen = lookup.outcome.error ? lookup.outcome.error->userText().toUtf8()
                                            : page + lookup.outcome.resultDocument.toUtf8();
        QVERIFY2(seen.contains(words), seen.left(300).constData());
        // Stopped at its limits, not run to the end or to the lookup's deadline.
        QVERIFY2(lookup.ms < WaitMs / 2, qPrintable(QString::number(lookup.ms)));
        QCOMPARE(lookup.props.XMLSchema().isEmpty(), result != u"page"_s);
        QVERIFY(result == u"page"_s ? page.endsWith("\r\n") : page == Earlier);
        if (result.startsWith(u"download failure"_s)) { // not counted: nothing stored, no result
            QCOMPARE(Config::count(Setting::LastTotal), 0);
            QVERIFY(lookup.outcome.resultDocument.isEmpty());
        }
        if (serve.fileLimit) // counted before the page failed
            QVERIFY(!lookup.outcome.resultDocument.isEmpty());
    }

    // At most 16 engines are asked at once; the others wait for their turn.
    void sixteenTransfersAtOnce()
    {
        EngineAnswers answers;
        for (int i = 0; i < 40; ++i)
            answers << counted(u"E%1"_s.arg(i), u"1"_s, 150);
        FakeServiceHost host;
        host.engines(answers).start();
        QCOMPARE(describe(lookUp(host).outcome), u"page"_s);
        QCOMPARE(host.server().peakRequests(), 16);
    }

    // The lookup ends by its deadline (3 s); the time a notice is read does not count.
    void lookupEndsInTime_data()
    {
        QTest::addColumn<QString>("document"); // held back; "": the engine Slow is
        QTest::addColumn<int>("noticeMs");     // a notice held open this long; 0: none
        QTest::addColumn<QString>("result");
        QTest::newRow("status") << QString(mConstants::StatusPath) << 0 << "unreachable";
        QTest::newRow("schema") << QString(mConstants::SchemaPath) << 0
                                << err(ErrorCode::DownloadFailed);
        QTest::newRow("style sheet")
            << QString(mConstants::StyleSheetPath) << 0 << err(ErrorCode::DownloadFailed);
        QTest::newRow("engine") << QString() << 0 << "download failure Slow";
        QTest::newRow("a notice longer than the limit") << QString() << 3500 << "page";
    }
    void lookupEndsInTime()
    {
        QFETCH(QString, document);
        QFETCH(int, noticeMs);
        FakeServiceHost host;
        const int slowMs = document.isEmpty() && noticeMs == 0 ? 2 * WaitMs : 0;
        host.engines({counted(u"A"_s, u"5"_s), counted(u"Slow"_s, u"7"_s, slowMs)});
        if (!document.isEmpty())
            host.delayed(QLatin1StringView(document.toLatin1()), 2 * WaitMs);
        if (noticeMs)
            host.status("MessageOn\r\nNews\r\nRead me\r\n64");
        host.start();
        SlowReader reader;
        reader.ms = noticeMs;
        const Lookup lookup = lookUp(host, 3000, &reader);
        QTEST(describe(lookup.outcome), "result");
        // Well before a transfer's own time limit (60 s) would end it.
        QVERIFY2(lookup.ms < noticeMs + 20000, qPrintable(QString::number(lookup.ms)));
    }
};

BRANDLE_TEST(TestHostile)
#include "tst_hostile.moc"

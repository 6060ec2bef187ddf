// SPDX-License-Identifier: MIT
// A service host and engines that try to break the lookup: a full disk under the page file,
// documents that would take all memory or time, answers cut off inside their headers, redirects
// to other schemes, odd encodings, a schema with a result table of its own.
#include "TestMain.h"
#include "TestSupport.h"

#include "engine/LookupRun.h"
#include "platform/Errors.h"
#include "platform/Paths.h"
#include "platform/SafeFile.h"
#include "platform/Store.h"
#include "platform/mConstants.h"
#include "settings/Config.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace brandle;

Q_DECLARE_METATYPE(brandle::LookupOutcome::Kind)

namespace {

using Kind = LookupOutcome::Kind;

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// A style sheet whose page holds the engines' names and about size bytes of filler.
QByteArray pageSheet(int size, const QByteArray& output = "<xsl:output method=\"html\"/>")
{
    return "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">" +
           output +
           "<xsl:template match=\"/\"><html><head><title>t</title></head><body>"
           "<xsl:for-each select=\"//Engine\"><p><xsl:value-of select=\"Name\"/></p>"
           "</xsl:for-each><pre>" +
           QByteArray(size, 'x') + "</pre></body></html></xsl:template></xsl:stylesheet>";
}

// Limits short enough for a test; the defaults otherwise.
LookupLimits quickLimits()
{
    LookupLimits limits;
    limits.lookupMs = 3000;
    limits.transform.timeMs = 300;
    return limits;
}

// "page", "download failure <engine>", "refused", "unreachable" or "error <number>".
QString describe(const LookupOutcome& outcome)
{
    switch (outcome.kind) {
    case Kind::PageWritten:
        return u"page"_s;
    case Kind::DownloadFailure:
        return u"download failure "_s + outcome.query.failedEngine;
    case Kind::ServiceRefused:
        return u"refused"_s;
    case Kind::ServiceUnreachable:
        return u"unreachable"_s;
    case Kind::Error:
        return u"error %1"_s.arg(outcome.error ? outcome.error->number() : 0);
    }
    return {};
}

QString errorText(ErrorCode code)
{
    return u"error %1"_s.arg(int(code));
}

// A notice that keeps the lookup waiting, as a user who reads it slowly would.
class SlowReader final : public LookupUi {
public:
    explicit SlowReader(int ms)
        : m_ms(ms)
    {
    }
    void showNotice(const ServiceNotice&) override { QTest::qSleep(m_ms); }

private:
    int m_ms;
};

struct Lookup {
    LookupOutcome outcome;
    clsProps props;
    qint64 ms = 0;
};

Lookup lookUp(FakeServiceHost& host, const LookupLimits& limits = quickLimits(),
              LookupUi* ui = nullptr)
{
    const ScopedEnv env("BRANDLE_SERVICE_HOST", host.hostPort().toUtf8());
    Lookup lookup;
    lookup.props.setLogging(u"0"_s);
    LookupUi headless;
    QElapsedTimer timer;
    timer.start();
    lookup.outcome = RunLookup(u"a.com"_s, lookup.props, ui ? *ui : headless, {}, limits);
    lookup.ms = timer.elapsed();
    return lookup;
}

// A schema of the fake host's shape with the engine entries given and a first child of its own.
QByteArray schemaWith(const QByteArray& service, const QByteArray& entries = QByteArray(),
                      const QByteArray& doctype = QByteArray())
{
    return doctype + "<Schema><Service>" + service + "</Service><Engines>" + entries +
           "</Engines><Window><WinSleep>60</WinSleep></Window><LPResults></LPResults></Schema>";
}

QByteArray nested(int depth)
{
    return QByteArray("<n>").repeated(depth) + QByteArray("</n>").repeated(depth);
}

QByteArray entityBomb()
{
    QByteArray doctype = "<!DOCTYPE Schema [<!ENTITY e0 \"lollollollollollollollollol\">";
    for (int i = 1; i < 12; ++i) {
        doctype += "<!ENTITY e" + QByteArray::number(i) + " \"";
        for (int j = 0; j < 10; ++j)
            doctype += "&e" + QByteArray::number(i - 1) + ';';
        doctype += "\">";
    }
    return doctype + "]>";
}

} // namespace

// A failed write of the page file keeps the earlier page byte for byte and is reported.
class TestSafeWrite : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

public:
    enum class Target { File, InMissingFolder, Folder };
    Q_ENUM(Target)

private slots:
    void writeFileSafely_data()
    {
        QTest::addColumn<Target>("target");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("limit");      // bytes a file of the process may hold; 0: no limit
        QTest::addColumn<QString>("reason"); // part of the error; "": none
        const QByteArray big(100 * 1024, 'n');
        // clang-format off
        QTest::newRow("written whole") << Target::File << big << 0 << "";
        QTest::newRow("empty text replaces") << Target::File << QByteArray() << 0 << "";
        QTest::newRow("disk full after 16 KB") << Target::File << big << 16 * 1024
                                               << "(write: File too large)";
        QTest::newRow("disk full after 1 byte") << Target::File << QByteArray(3000, 'n') << 1
                                                << "(write: File too large)";
        QTest::newRow("folder missing") << Target::InMissingFolder << big << 0 << "(create: ";
        QTest::newRow("a folder in the way") << Target::Folder << big << 0 << "(rename: ";
        // clang-format on
    }
    void writeFileSafely()
    {
        QFETCH(Target, target);
        QFETCH(QByteArray, bytes);
        QFETCH(int, limit);
        QFETCH(QString, reason);
        const QString folder = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()));
        const QString path = folder + (target == Target::InMissingFolder ? u"/missing/page.html"_s
                                                                         : u"/page.html"_s);
        QVERIFY(QDir().mkpath(folder));
        const QByteArray old = "earlier page\r\n";
        if (target == Target::File)
            QVERIFY(writeFile(path, old));
        else if (target == Target::Folder)
            QVERIFY(QDir().mkpath(path));

        QString error;
        {
            std::optional<FileSizeLimit> sizeLimit;
            if (limit > 0)
                sizeLimit.emplace(limit);
            try {
                brandle::writeFileSafely(path, bytes);
            } catch (const BrandleError& e) {
                QCOMPARE(e.code(), ErrorCode::FileAccess);
                error = e.detail();
            }
        }
        if (reason.isEmpty()) {
            QCOMPARE(error, QString());
            QCOMPARE(readBytes(path), bytes);
        } else {
            QVERIFY2(error.startsWith(path + u' ') && error.contains(reason), qPrintable(error));
            if (target == Target::File)
                QCOMPARE(readBytes(path), old);
        }
        // Nothing is left behind beside the page.
        const QStringList left = QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        QCOMPARE(left,
                 target == Target::InMissingFolder ? QStringList() : QStringList{u"page.html"_s});
    }

    // With the disk full, a lookup ends with the file error; the earlier page stays.
    void lookupOnFullDisk()
    {
        FakeServiceHost host;
        host.engines({counted(u"A"_s, u"5"_s)}).styleSheet(pageSheet(8000)).start();
        QVERIFY(writeFile(resultPagePath(), "earlier page\r\n"));
        Lookup lookup;
        {
            const FileSizeLimit limit(4096);
            lookup = lookUp(host);
        }
        QCOMPARE(describe(lookup.outcome), errorText(ErrorCode::FileAccess));
        QVERIFY(lookup.outcome.error->userText().startsWith(u"75 - Path/File access error: "_s +
                                                            resultPagePath()));
        QCOMPARE(readBytes(resultPagePath()), QByteArray("earlier page\r\n"));
        QVERIFY(lookup.props.XMLSchema().isEmpty());
        QCOMPARE(lookup.outcome.resultDocument.isEmpty(), false);
    }
};

// Documents of the service host that would take all memory or all time are refused and say why.
class TestHostileDocuments : public QObject {
    Q_OBJECT

private slots:
    void init() { clearStore(); }

    void schema_data()
    {
        QTest::addColumn<QByteArray>("schema");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QString>("words"); // in the error's description
        const QByteArray plain = schemaWith("<Name>x</Name>");
        // clang-format off
        QTest::newRow("entity bomb") << schemaWith("<Name>&e11;</Name>", {}, entityBomb())
            << errorText(ErrorCode::EntitiesRefused) << "declares entities";
        QTest::newRow("one internal entity")
            << schemaWith("<Name>&n;</Name>", {}, "<!DOCTYPE Schema [<!ENTITY n \"x\">]>")
            << errorText(ErrorCode::EntitiesRefused) << "declares entities";
        QTest::newRow("parameter entity")
            << schemaWith("", {}, "<!DOCTYPE Schema [<!ENTITY % p \"<!ELEMENT n ANY>\"> %p;]>")
            << errorText(ErrorCode::EntitiesRefused) << "declares entities";
        QTest::newRow("doctype without entities")
            << schemaWith("", {}, "<!DOCTYPE Schema [<!ELEMENT Schema ANY>]>") << "page" << "";
        QTest::newRow("nested 101 deep") << schemaWith(nested(99))
            << errorText(ErrorCode::DocumentTooDeep) << "nested too deeply";
        QTest::newRow("nested 100 deep") << schemaWith(nested(98)) << "page" << "";
        QTest::newRow("20 MB, beyond the transfer cap")
            << schemaWith(QByteArray(20'000'000, ' ')) << errorText(ErrorCode::DocumentTooLarge)
            << "too large: the engine schema";
        QTest::newRow("5 MB, beyond the document limit")
            << schemaWith(QByteArray(5'000'000, ' ')) << errorText(ErrorCode::DocumentTooLarge)
            << "too large: 5000";
        QTest::newRow("3 MB of blanks") << schemaWith(QByteArray(3'000'000, ' ')) << "page" << "";
        QTest::newRow("placeholder repeated")
            << schemaWith(QByteArray("<LPResults></LPResults>").repeated(100'000))
            << errorText(ErrorCode::DocumentTooLarge) << "the schema with the results would be";
        QTest::newRow("plain") << plain << "page" << "";
        // clang-format on
    }
    void schema()
    {
        QFETCH(QByteArray, schema);
        QFETCH(QString, result);
        QFETCH(QString, words);
        FakeServiceHost host;
        host.schema(schema).start();
        const Lookup lookup = lookUp(host);
        QCOMPARE(describe(lookup.outcome), result);
        if (lookup.outcome.error)
            QVERIFY2(lookup.outcome.error->description().contains(words),
                     qPrintable(lookup.outcome.error->userText()));
    }

    // A schema may list 300 engines; one more is an error before any engine is asked.
    void engineCap_data()
    {
        QTest::addColumn<int>("engines");
        QTest::addColumn<QString>("result");
        QTest::newRow("300") << 300 << "page";
        QTest::newRow("301") << 301 << errorText(ErrorCode::TooManyEngines);
    }
    void engineCap()
    {
        QFETCH(int, engines);
        QFETCH(QString, result);
        EngineAnswers answers;
        for (int i = 0; i < engines; ++i)
            answers << noCount(u"E%1"_s.arg(i));
        FakeServiceHost host;
        host.engines(answers).start();
        const Lookup lookup = lookUp(host);
        QCOMPARE(describe(lookup.outcome), result);
    }

    // At most 16 engines are asked at once; the others wait for their turn.
    void sixteenTransfersAtOnce()
    {
        EngineAnswers answers;
        for (int i = 0; i < 40; ++i) {
            EngineAnswer slow = noCount(u"E%1"_s.arg(i));
            slow.delayMs = 150;
            answers << slow;
        }
        FakeServiceHost host;
        host.engines(answers).start();
        const Lookup lookup = lookUp(host);
        QCOMPARE(describe(lookup.outcome), u"page"_s);
        QCOMPARE(host.server().peakRequests(), 16);
    }

    // The style sheet runs within its time and depth; beyond them the lookup ends with an error.
    void styleSheet_data()
    {
        QTest::addColumn<QByteArray>("templates");
        QTest::addColumn<int>("filler"); // empty elements added to the schema
        QTest::addColumn<QString>("result");
        QTest::addColumn<QString>("words"); // in the error's description
        const QByteArray count =
            "<xsl:template name=\"down\"><xsl:param name=\"n\"/><xsl:if test=\"$n &gt; 0\">"
            "<xsl:call-template name=\"down\"><xsl:with-param name=\"n\" select=\"$n - 1\"/>"
            "</xsl:call-template></xsl:if></xsl:template>";
        const auto start = [&](int n) {
            return "<xsl:template match=\"/\"><p><xsl:call-template name=\"down\">"
                   "<xsl:with-param name=\"n\" select=\"" +
                   QByteArray::number(n) + "\"/></xsl:call-template></p></xsl:template>" + count;
        };
        // clang-format off
        QTest::newRow("exponential recursion")
            << QByteArray("<xsl:template match=\"/\"><p><xsl:call-template name=\"two\">"
                          "<xsl:with-param name=\"n\" select=\"60\"/></xsl:call-template></p>"
                          "</xsl:template><xsl:template name=\"two\"><xsl:param name=\"n\"/>"
                          "<xsl:if test=\"$n &gt; 0\">x<xsl:call-template name=\"two\">"
                          "<xsl:with-param name=\"n\" select=\"$n - 1\"/></xsl:call-template>"
                          "<xsl:call-template name=\"two\"><xsl:with-param name=\"n\" "
                          "select=\"$n - 1\"/></xsl:call-template></xsl:if></xsl:template>")
            << 0 << errorText(ErrorCode::TransformTooLong) << "took too long";
        QTest::newRow("slow XPath in few instructions")
            << QByteArray("<xsl:template match=\"/\"><xsl:for-each select=\"//n\"><p>"
                          "<xsl:value-of select=\"count(//n[. = 'x'])\"/></p></xsl:for-each>"
                          "</xsl:template>")
            << 5000 << errorText(ErrorCode::TransformTooLong) << "after 300 ms";
        QTest::newRow("endless recursion")
            << QByteArray("<xsl:template match=\"/\"><xsl:call-template name=\"me\"/>"
                          "</xsl:template><xsl:template name=\"me\"><xsl:call-template "
                          "name=\"me\"/></xsl:template>")
            << 0 << errorText(ErrorCode::TransformTooDeep) << "more than 1000 nested levels";
        QTest::newRow("recursion 400 deep") << start(400) << 0 << "page" << "";
        QTest::newRow("recursion 2000 deep") << start(2000) << 0
                                             << errorText(ErrorCode::TransformTooDeep) << "nests";
        // clang-format on
    }
    void styleSheet()
    {
        QFETCH(QByteArray, templates);
        QFETCH(int, filler);
        QFETCH(QString, result);
        QFETCH(QString, words);
        FakeServiceHost host;
        host.engines({counted(u"A"_s, u"5"_s)});
        host.schema(host.schemaText()
                        .replace(u"<Service/>"_s,
                                 u"<Service>"_s + u"<n/>"_s.repeated(filler) + u"</Service>"_s)
                        .toUtf8())
            .styleSheet("<xsl:stylesheet version=\"1.0\" "
                        "xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">" +
                        templates + "</xsl:stylesheet>")
            .start();
        const Lookup lookup = lookUp(host);
        QCOMPARE(describe(lookup.outcome), result);
        if (lookup.outcome.error)
            QVERIFY2(lookup.outcome.error->description().contains(words),
                     qPrintable(lookup.outcome.error->userText()));
        // Stopped at its limit, not run to the end (300 ms here).
        QVERIFY2(lookup.ms < 2500, qPrintable(QString::number(lookup.ms)));
    }

    // Whatever the host holds back, the lookup ends by its deadline (1.5 s here); the time the
    // user reads a notice does not count.
    void lookupEndsInTime_data()
    {
        QTest::addColumn<QString>("document"); // held back for 30 s; "": the engine is
        QTest::addColumn<int>("noticeMs");     // a notice held open this long; 0: none
        QTest::addColumn<QString>("result");
        // clang-format off
        QTest::newRow("status") << QString(mConstants::StatusPath) << 0 << "unreachable";
        QTest::newRow("schema") << QString(mConstants::SchemaPath) << 0
                                << errorText(ErrorCode::XmlParse);
        QTest::newRow("style sheet") << QString(mConstants::StyleSheetPath) << 0
                                     << errorText(ErrorCode::DownloadFailed);
        QTest::newRow("engine") << QString() << 0 << "download failure Slow";
        QTest::newRow("a notice longer than the limit") << QString() << 2000 << "page";
        // clang-format on
    }
    void lookupEndsInTime()
    {
        QFETCH(QString, document);
        QFETCH(int, noticeMs);
        QFETCH(QString, result);
        FakeServiceHost host;
        const bool slowEngine = document.isEmpty() && noticeMs == 0;
        host.engines({counted(u"A"_s, u"5"_s), counted(u"Slow"_s, u"7"_s, slowEngine ? 30000 : 0)});
        if (!document.isEmpty())
            host.delayed(QLatin1StringView(document.toLatin1()), 30000);
        if (noticeMs)
            host.status("MessageOn\r\nNews\r\nRead me\r\n64");
        host.start();
        LookupLimits limits = quickLimits();
        limits.lookupMs = 1500;
        SlowReader reader(noticeMs);
        const Lookup lookup = lookUp(host, limits, &reader);
        QCOMPARE(describe(lookup.outcome), result);
        QVERIFY2(lookup.ms < noticeMs + 4000, qPrintable(QString::number(lookup.ms)));
    }
};

// Engine answers that are no complete HTTP answer are the download failure; a redirect to
// another scheme says so.
class TestHostileAnswers : public QObject {
    Q_OBJECT

private slots:
    void init() { clearStore(); }

    void answers_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QString>("count"); // the raw engine's count in the result; "": none
        // clang-format off
        QTest::newRow("cut inside the headers") << QByteArray("HTTP/1.1 200 OK\r\nContent-Ty")
                                                << "download failure Raw" << "";
        QTest::newRow("cut inside the status line") << QByteArray("HTTP/1.1 2")
                                                    << "download failure Raw" << "";
        QTest::newRow("headers without their end")
            << QByteArray("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n")
            << "download failure Raw" << "";
        QTest::newRow("not HTTP") << QByteArray("about <b>9</b> pages") << "download failure Raw"
                                  << "";
        QTest::newRow("nothing") << QByteArray() << "download failure Raw" << "";
        QTest::newRow("complete headers, empty body")
            << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n") << "page" << "0";
        QTest::newRow("body until the connection ends")
            << QByteArray("HTTP/1.1 200 OK\r\n\r\nabout <b>9</b> pages") << "page" << "9";
        QTest::newRow("redirect to ftp")
            << QByteArray("HTTP/1.1 302 Found\r\nLocation: ftp://127.0.0.1/x\r\n"
                          "Content-Length: 0\r\n\r\n")
            << errorText(ErrorCode::UnsupportedRedirect) << "";
        QTest::newRow("redirect to a local file")
            << QByteArray("HTTP/1.1 301 Moved\r\nLocation: file:///etc/passwd\r\n"
                          "Content-Length: 0\r\n\r\n")
            << errorText(ErrorCode::UnsupportedRedirect) << "";
        // clang-format on
    }
    void answers()
    {
        QFETCH(QByteArray, answer);
        QFETCH(QString, result);
        QFETCH(QString, count);
        FakeServiceHost host;
        host.engines({counted(u"A"_s, u"5"_s), rawAnswer(u"Raw"_s, answer)}).start();
        const Lookup lookup = lookUp(host);
        QCOMPARE(describe(lookup.outcome), result);
        if (result.startsWith(u"download failure"_s)) {
            // Not counted: nothing of the total is stored, no result made.
            QCOMPARE(Config::count(Setting::LastTotal), 0);
            QVERIFY(lookup.outcome.resultDocument.isEmpty());
        }
        if (!count.isEmpty())
            QVERIFY2(lookup.outcome.resultDocument.contains(u"<Count><![CDATA[%1]]>"_s.arg(count)),
                     qPrintable(lookup.outcome.resultDocument));
        if (lookup.outcome.error) {
            QVERIFY(lookup.outcome.error->description().contains(u"not http or https"_s));
            QVERIFY(lookup.outcome.error->description().contains(u"://"_s));
        }
    }
};

// Service documents are read in the encoding they declare (the HTTP charset wins); the page file
// is written in the encoding its style sheet declares.
class TestEncodings : public QObject {
    Q_OBJECT

    static QString name() { return u"Müller & Söhne"_s; }

private slots:
    void init() { clearStore(); }

    void schema_data()
    {
        QTest::addColumn<QByteArray>("encoding"); // of the schema's bytes
        QTest::addColumn<QByteArray>("declaration");
        QTest::addColumn<QString>("contentType");
        // clang-format off
        QTest::newRow("ISO-8859-1, declared") << QByteArray("ISO-8859-1")
            << QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>") << "text/xml";
        QTest::newRow("UTF-16 with its mark") << QByteArray("UTF-16LE")
            << QByteArray("<?xml version=\"1.0\" encoding=\"UTF-16\"?>") << "text/xml";
        QTest::newRow("HTTP charset over the declaration") << QByteArray("ISO-8859-1")
            << QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>")
            << "text/xml; charset=ISO-8859-1";
        QTest::newRow("UTF-8, no declaration") << QByteArray("UTF-8") << QByteArray()
                                               << "application/xml";
        // clang-format on
    }
    void schema()
    {
        QFETCH(QByteArray, encoding);
        QFETCH(QByteArray, declaration);
        QFETCH(QString, contentType);
        FakeServiceHost host;
        host.engines(
            {rawAnswer(u"unused"_s, "HTTP/1.1 200 OK\r\nContent-Type: text/html; "
                                    "charset=utf-8\r\n\r\n<p>Résultats : 1,234 pages</p>")});
        const QString text =
            QString::fromUtf8(declaration) +
            u"<Schema><Service/><Engines><Engine><EngineName>%1</EngineName><EngineHome>h"
            "</EngineHome><LeftURL>%2</LeftURL><RightURL/><LeftString>Résultats : </LeftString>"
            "<RightString> pages</RightString><ReplaceDot>.</ReplaceDot></Engine></Engines>"
            "<LPResults></LPResults></Schema>"_s.arg(name().toHtmlEscaped(),
                                                     host.engineUrl(0, QString()));
        const bool mark = encoding.startsWith("UTF-16");
        QStringEncoder encoder(encoding.constData(), mark ? QStringConverter::Flag::WriteBom
                                                          : QStringConverter::Flag::Default);
        host.schema(encoder.encode(text), 200, contentType).start();
        const Lookup lookup = lookUp(host);
        QCOMPARE(describe(lookup.outcome), u"page"_s);
        QVERIFY2(
            lookup.outcome.resultDocument.contains(u"<Name><![CDATA[%1]]></Name>"_s.arg(name())),
            qPrintable(lookup.outcome.resultDocument));
        QVERIFY(lookup.outcome.resultDocument.contains(u"Total=\"1,234\""_s));
        QCOMPARE(GetAppSetting(u"LinkEng"_s, u"Eng-"_s + name()), u"1234"_s);
    }

    void page_data()
    {
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<QByteArray>("bytes"); // of the name in the page
        const QByteArray latin1 = "M\xfcller &amp; S\xf6hne";
        const QByteArray utf8 = "M\xc3\xbcller &amp; S\xc3\xb6hne";
        // clang-format off
        QTest::newRow("ISO-8859-1") << QByteArray("<xsl:output method=\"html\" encoding=\"ISO-8859-1\"/>")
                                    << latin1;
        QTest::newRow("UTF-8") << QByteArray("<xsl:output method=\"html\" encoding=\"UTF-8\"/>") << utf8;
        QTest::newRow("none declared") << QByteArray("<xsl:output method=\"html\"/>") << utf8;
        QTest::newRow("xml, windows-1252")
            << QByteArray("<xsl:output method=\"xml\" encoding=\"windows-1252\"/>") << latin1;
        // clang-format on
    }
    void page()
    {
        QFETCH(QByteArray, output);
        QFETCH(QByteArray, bytes);
        FakeServiceHost host;
        host.engines({counted(name(), u"5"_s)}).styleSheet(pageSheet(10, output)).start();
        const Lookup lookup = lookUp(host);
        QCOMPARE(describe(lookup.outcome), u"page"_s);
        const QByteArray page = readBytes(resultPagePath());
        QVERIFY2(page.contains("<p>" + bytes + "</p>"), page.constData());
        QVERIFY(page.endsWith("\r\n"));
    }
};

// brandle-check run as a process against a hostile host.
class TestCheckHostile : public QObject {
    Q_OBJECT

    QTemporaryDir m_sandbox;

    QProcess* check(FakeServiceHost& host, int fileLimit = 0)
    {
        auto* process = new QProcess(this);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"BRANDLE_HOME"_s, m_sandbox.filePath(u"home"_s));
        env.insert(u"XDG_CONFIG_HOME"_s, m_sandbox.filePath(u"config"_s));
        process->setProcessEnvironment(env);
        if (fileLimit > 0) {
            process->setChildProcessModifier([fileLimit] { FileSizeLimit::limitChild(fileLimit); });
        }
        process->start(QString::fromUtf8(BRANDLE_CHECK_BIN),
                       {u"--host"_s, host.hostPort(), u"a.com"_s});
        process->waitForFinished(30000);
        return process;
    }

private slots:
    // The table is the lookup's own result, whatever else the schema holds.
    void printsOwnResult_data()
    {
        QTest::addColumn<QString>("service"); // the schema's first child
        QTest::addColumn<bool>("placeholder");
        const QString own = u"<Results Site=\"a.com\" Total=\"999,999,999\" Fluctuation=\"1\">"
                            "<Engine><Name>Fake</Name><Count>999,999,999</Count>"
                            "<Fluctuation>1</Fluctuation></Engine></Results>"_s;
        QTest::newRow("a Results element before the placeholder") << own << true;
        QTest::newRow("no placeholder") << QString() << false;
        QTest::newRow("both") << own << false;
    }
    void printsOwnResult()
    {
        QFETCH(QString, service);
        QFETCH(bool, placeholder);
        FakeServiceHost host;
        host.engines({counted(u"Alpha"_s, u"1,000"_s), counted(u"Beta"_s, u"234"_s)});
        if (!placeholder)
            host.withoutPlaceholder();
        host.schema(host.schemaText()
                        .replace(u"<Service/>"_s, u"<Service>"_s + service + u"</Service>"_s)
                        .toUtf8())
            .start();
        QProcess* process = check(host);
        const QString out = QString::fromUtf8(process->readAllStandardOutput());
        QCOMPARE(process->exitCode(), 0);
        QVERIFY2(out.contains(u"Alpha"_s) && out.contains(u"Beta"_s) && out.contains(u"1,234"_s),
                 qPrintable(out));
        QVERIFY2(!out.contains(u"999"_s) && !out.contains(u"Fake"_s), qPrintable(out));
    }

    // A full disk under the page file: exit 1 with the error, the earlier page unchanged.
    void fullDisk()
    {
        FakeServiceHost host;
        host.engines({counted(u"Alpha"_s, u"1,000"_s)}).styleSheet(pageSheet(8000)).start();
        const QString page = m_sandbox.filePath(u"home/ParloMsg.html"_s);
        QVERIFY(writeFile(page, "earlier page\r\n"));
        QProcess* process = check(host, 4096);
        const QString err = QString::fromUtf8(process->readAllStandardError());
        QCOMPARE(process->exitCode(), 1);
        QVERIFY2(err.startsWith(u"a.com: 75 - Path/File access error: "_s + page), qPrintable(err));
        QCOMPARE(readBytes(page), QByteArray("earlier page\r\n"));
    }
};

BRANDLE_TEST(TestSafeWrite)
BRANDLE_TEST(TestHostileDocuments)
BRANDLE_TEST(TestHostileAnswers)
BRANDLE_TEST(TestEncodings)
BRANDLE_TEST(TestCheckHostile)
#include "tst_hostile.moc"

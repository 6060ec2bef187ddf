// SPDX-License-Identifier: MIT
// Tests of brandle-host: the demo counts as plain functions, and the real program over HTTP.

#include "DemoEngine.h"
#include "FileRoot.h"

#include <httplib.h>

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <signal.h>

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <limits>
#include <memory>
#include <set>
#include <string>
#include <thread>

using namespace brandle::host;

namespace {

const char* const kStatusPath = "/parlo/System/Link-Popularity-Status.txt";
const char* const kSchemaPath = "/parlo/System/Link-Popularity-Schema.xml";
const char* const kStylePath = "/parlo/System/Link-Popularity-Schema.xsl";
const char* const kLoadingPath = "/parlo/System/Link-Popularity-Loading.htm";

struct Reply {
    int status = -1; // -1: no answer at all
    std::string body;
    std::string contentType;
};

Reply httpGet(int port, const std::string& path, int readTimeoutSec = 5)
{
    httplib::Client client("127.0.0.1", port);
    client.set_connection_timeout(2);
    client.set_read_timeout(readTimeoutSec);
    // Paths are sent exactly as written, so traversal attempts reach the server unchanged.
    client.set_url_encode(false);
    Reply reply;
    if (auto res = client.Get(path)) {
        reply.status = res->status;
        reply.body = res->body;
        reply.contentType = res->get_header_value("Content-Type");
    }
    return reply;
}

QProcessEnvironment hostEnvironment(long delayMs = 0)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("BRANDLE_HOST_DELAY_MS"));
    if (delayMs > 0) {
        env.insert(QStringLiteral("BRANDLE_HOST_DELAY_MS"), QString::number(delayMs));
    }
    return env;
}

// A brandle-host process listening on a port of its own choice; ended when destroyed.
class HostProcess {
public:
    HostProcess() = default;
    HostProcess(const HostProcess&) = delete;
    HostProcess& operator=(const HostProcess&) = delete;
    ~HostProcess() { stop(); }

    // Starts the host with args plus "--port 0" and waits for its listening line.
    bool start(const QStringList& args, const QProcessEnvironment& env = hostEnvironment())
    {
        process_.setProcessEnvironment(env);
        process_.start(QStringLiteral(BRANDLE_HOST_BIN), args + QStringList{u"--port"_qs, u"0"_qs});
        if (!process_.waitForStarted(5000)) {
            return false;
        }
        static const QRegularExpression listening(
            QStringLiteral("brandle-host listening on http://127\\.0\\.0\\.1:(\\d+) \\(root: "));
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 5000) {
            output_ += process_.readAllStandardOutput();
            const QRegularExpressionMatch match = listening.match(QString::fromUtf8(output_));
            if (match.hasMatch()) {
                port_ = match.captured(1).toInt();
                return port_ > 0;
            }
            if (process_.state() == QProcess::NotRunning) {
                return false;
            }
            process_.waitForReadyRead(100);
        }
        return false;
    }

    int port() const { return port_; }
    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
    QProcess& process() { return process_; }
    Reply get(const std::string& path) const { return httpGet(port_, path); }

    // Waits until the standard output holds text.
    bool waitForOutput(const QByteArray& text, int ms = 3000)
    {
        QElapsedTimer timer;
        timer.start();
        for (;;) {
            output_ += process_.readAllStandardOutput();
            if (output_.contains(text)) {
                return true;
            }
            if (timer.elapsed() > ms || process_.state() == QProcess::NotRunning) {
                return false;
            }
            process_.waitForReadyRead(50);
        }
    }

    void stop()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.terminate();
            if (!process_.waitForFinished(3000)) {
                process_.kill();
                process_.waitForFinished(3000);
            }
        }
    }

private:
    QProcess process_;
    QByteArray output_;
    int port_ = 0;
};

std::string replaced(std::string text, const std::string& from, const std::string& to)
{
    return replaceAll(std::move(text), from, to);
}

// Text of the first <name>...</name> inside block, with CDATA and the XML entities resolved.
std::string fieldText(const std::string& block, const std::string& name)
{
    const std::string open = "<" + name + ">";
    const std::string close = "</" + name + ">";
    const std::size_t start = block.find(open);
    if (start == std::string::npos) {
        return "<missing>";
    }
    const std::size_t from = start + open.size();
    const std::size_t end = block.find(close, from);
    if (end == std::string::npos) {
        return "<missing>";
    }
    std::string raw = block.substr(from, end - from);
    const std::string cdataOpen = "<![CDATA[";
    const std::string cdataClose = "]]>";
    if (raw.rfind(cdataOpen, 0) == 0 && raw.size() >= cdataOpen.size() + cdataClose.size() &&
        raw.compare(raw.size() - cdataClose.size(), cdataClose.size(), cdataClose) == 0) {
        return raw.substr(cdataOpen.size(), raw.size() - cdataOpen.size() - cdataClose.size());
    }
    raw = replaced(raw, "&lt;", "<");
    raw = replaced(raw, "&gt;", ">");
    raw = replaced(raw, "&quot;", "\"");
    raw = replaced(raw, "&apos;", "'");
    return replaced(raw, "&amp;", "&");
}

// The <Engine> entry of the schema whose EngineName is name, or "".
std::string engineBlock(const std::string& schema, const std::string& name)
{
    const std::size_t at = schema.find("<EngineName>" + name + "</EngineName>");
    if (at == std::string::npos) {
        return {};
    }
    const std::size_t start = schema.rfind("<Engine>", at);
    const std::size_t end = schema.find("</Engine>", at);
    if (start == std::string::npos || end == std::string::npos) {
        return {};
    }
    return schema.substr(start, end - start);
}

} // namespace

class HostTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void fnv1a64KnownValues_data();
    void fnv1a64KnownValues();
    void formatThousands_data();
    void formatThousands();
    void demoCountStaysInRange_data();
    void demoCountStaysInRange();
    void demoCountIgnoresSiteCase_data();
    void demoCountIgnoresSiteCase();
    void demoCountMovesByTheHour_data();
    void demoCountMovesByTheHour();
    void demoCountDiffersBetweenEngines_data();
    void demoCountDiffersBetweenEngines();
    void hourKeyIsLocalHour_data();
    void hourKeyIsLocalHour();
    void hostToken_data();
    void hostToken();

    void statusIsExactlyActive();
    void serviceFiles_data();
    void serviceFiles();
    void schemaNamesServedAddress();
    void engineAnswersCarryCount_data();
    void engineAnswersCarryCount();
    void answerPageEscapesSite();
    void refusedRequests_data();
    void refusedRequests();
    void requestsAreLogged();
    void fileRootLimits_data();
    void fileRootLimits();
    void defaultRootIsFound();
    void commandLine_data();
    void commandLine();
    void busyPortFails();
    void delayHookSlowsEnginesOnly();
    void stopsOnSignal_data();
    void stopsOnSignal();

private:
    std::unique_ptr<HostProcess> host_;
    std::string schema_;
};

void HostTest::initTestCase()
{
    QVERIFY2(QFile::exists(QStringLiteral(BRANDLE_HOST_BIN)), BRANDLE_HOST_BIN);
    host_ = std::make_unique<HostProcess>();
    QVERIFY(host_->start({u"--root"_qs, QStringLiteral(BRANDLE_TEST_SERVICE_DIR)}));
    const Reply schema = host_->get(kSchemaPath);
    QCOMPARE(schema.status, 200);
    schema_ = schema.body;
}

void HostTest::cleanupTestCase()
{
    host_.reset();
}

void HostTest::fnv1a64KnownValues_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<quint64>("hash");
    QTest::newRow("empty") << QByteArray() << Q_UINT64_C(0xcbf29ce484222325);
    QTest::newRow("a") << QByteArray("a") << Q_UINT64_C(0xaf63dc4c8601ec8c);
    QTest::newRow("foobar") << QByteArray("foobar") << Q_UINT64_C(0x85944171f73967e8);
}

void HostTest::fnv1a64KnownValues()
{
    QFETCH(QByteArray, input);
    QFETCH(quint64, hash);
    QCOMPARE(fnv1a64(std::string_view(input.constData(), input.size())), hash);
}

void HostTest::formatThousands_data()
{
    QTest::addColumn<quint64>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << Q_UINT64_C(0) << u"0"_qs;
    QTest::newRow("three digits") << Q_UINT64_C(999) << u"999"_qs;
    QTest::newRow("four digits") << Q_UINT64_C(1000) << u"1,000"_qs;
    QTest::newRow("five digits") << Q_UINT64_C(12345) << u"12,345"_qs;
    QTest::newRow("six digits") << Q_UINT64_C(100000) << u"100,000"_qs;
    QTest::newRow("seven digits") << Q_UINT64_C(1234567) << u"1,234,567"_qs;
    QTest::newRow("largest") << std::numeric_limits<quint64>::max()
                             << u"18,446,744,073,709,551,615"_qs;
}

void HostTest::formatThousands()
{
    QFETCH(quint64, value);
    QFETCH(QString, text);
    QCOMPARE(QString::fromStdString(brandle::host::formatThousands(value)), text);
}

void HostTest::demoCountStaysInRange_data()
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<QString>("site");
    QTest::newRow("alpha plain") << u"alpha"_qs << u"example.com"_qs;
    QTest::newRow("beta subdomain") << u"beta"_qs << u"www.brandle-demo.org"_qs;
    QTest::newRow("gamma punycode") << u"gamma"_qs << u"xn--bcher-kva.example"_qs;
    QTest::newRow("empty site") << u"alpha"_qs << QString();
    QTest::newRow("long site") << u"beta"_qs << QString(300, QLatin1Char('x'));
    QTest::newRow("unknown engine") << u"zeta"_qs << u"example.com"_qs;
}

void HostTest::demoCountStaysInRange()
{
    QFETCH(QString, engine);
    QFETCH(QString, site);
    const std::string id = engine.toStdString();
    const std::string name = site.toStdString();
    const std::uint64_t low = kDemoMinBase - kDemoMinBase * kDemoVariationPermille / 1000;
    const std::uint64_t high = kDemoMaxBase + kDemoMaxBase * kDemoVariationPermille / 1000;
    for (int hour = 0; hour < 24; ++hour) {
        const std::string key =
            "20260314" + QStringLiteral("%1").arg(hour, 2, 10, QLatin1Char('0')).toStdString();
        const std::uint64_t count = demoCount(id, name, key);
        QVERIFY2(count >= low && count <= high, key.c_str());
        QCOMPARE(demoCount(id, name, key), count);
    }
}

void HostTest::demoCountIgnoresSiteCase_data()
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<QString>("lower");
    QTest::addColumn<QString>("mixed");
    QTest::newRow("alpha upper") << u"alpha"_qs << u"example.com"_qs << u"EXAMPLE.COM"_qs;
    QTest::newRow("beta mixed") << u"beta"_qs << u"sub.example.org"_qs << u"Sub.Example.Org"_qs;
    QTest::newRow("gamma one letter") << u"gamma"_qs << u"brandle.net"_qs << u"brandlE.net"_qs;
}

void HostTest::demoCountIgnoresSiteCase()
{
    QFETCH(QString, engine);
    QFETCH(QString, lower);
    QFETCH(QString, mixed);
    for (const char* hour : {"2026031400", "2026031415", "2027123123"}) {
        QCOMPARE(demoCount(engine.toStdString(), mixed.toStdString(), hour),
                 demoCount(engine.toStdString(), lower.toStdString(), hour));
    }
}

void HostTest::demoCountMovesByTheHour_data()
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<QString>("site");
    QTest::newRow("alpha") << u"alpha"_qs << u"example.com"_qs;
    QTest::newRow("beta") << u"beta"_qs << u"example.com"_qs;
    QTest::newRow("gamma") << u"gamma"_qs << u"brandle-demo.org"_qs;
}

// Over two days the count must both rise and fall from one hour to the next, and stay
// within the variation band around one stable base.
void HostTest::demoCountMovesByTheHour()
{
    QFETCH(QString, engine);
    QFETCH(QString, site);
    const QDateTime start(QDate(2026, 3, 14), QTime(0, 0));
    std::uint64_t previous = 0;
    std::uint64_t lowest = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t highest = 0;
    int rises = 0;
    int falls = 0;
    for (int hour = 0; hour < 48; ++hour) {
        const std::string key = start.addSecs(3600 * hour).toString(u"yyyyMMddHH"_qs).toStdString();
        const std::uint64_t count = demoCount(engine.toStdString(), site.toStdString(), key);
        if (hour > 0) {
            rises += count > previous ? 1 : 0;
            falls += count < previous ? 1 : 0;
        }
        lowest = std::min(lowest, count);
        highest = std::max(highest, count);
        previous = count;
    }
    QVERIFY(rises > 0);
    QVERIFY(falls > 0);
    // highest <= base * 1.03 and lowest >= base * 0.97, so highest / lowest <= 1.03 / 0.97.
    QVERIFY2(double(highest) / double(lowest) <= 1.03 / 0.97 + 1e-9,
             qPrintable(QStringLiteral("%1..%2").arg(lowest).arg(highest)));
}

void HostTest::demoCountDiffersBetweenEngines_data()
{
    QTest::addColumn<QString>("site");
    QTest::newRow("example.com") << u"example.com"_qs;
    QTest::newRow("brandle-demo.org") << u"brandle-demo.org"_qs;
    QTest::newRow("a.b") << u"a.b"_qs;
}

void HostTest::demoCountDiffersBetweenEngines()
{
    QFETCH(QString, site);
    std::set<std::uint64_t> counts;
    std::size_t engineCount = 0;
    const DemoEngineInfo* engines = demoEngines(&engineCount);
    QCOMPARE(engineCount, std::size_t(3));
    for (std::size_t i = 0; i < engineCount; ++i) {
        counts.insert(demoCount(engines[i].id, site.toStdString(), "2026031409"));
    }
    QCOMPARE(counts.size(), engineCount);
}

void HostTest::hourKeyIsLocalHour_data()
{
    QTest::addColumn<qint64>("when");
    QTest::newRow("epoch") << qint64(0);
    QTest::newRow("new year") << qint64(1798761599); // last second of 2026 (UTC)
    QTest::newRow("mid year") << qint64(1781000000);
}

void HostTest::hourKeyIsLocalHour()
{
    QFETCH(qint64, when);
    const QString expected =
        QDateTime::fromSecsSinceEpoch(when).toString(u"yyyyMMddHH"_qs); // local time
    QCOMPARE(QString::fromStdString(hourKey(static_cast<std::time_t>(when))), expected);
}

void HostTest::hostToken_data()
{
    QTest::addColumn<QString>("bind");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("token");
    QTest::newRow("loopback") << u"127.0.0.1"_qs << 8750 << u"127.0.0.1:8750"_qs;
    QTest::newRow("any ipv4") << u"0.0.0.0"_qs << 80 << u"127.0.0.1:80"_qs;
    QTest::newRow("ipv6 loopback") << u"::1"_qs << 8750 << u"[::1]:8750"_qs;
    QTest::newRow("any ipv6") << u"::"_qs << 1 << u"[::1]:1"_qs;
    QTest::newRow("name") << u"localhost"_qs << 8080 << u"localhost:8080"_qs;
}

void HostTest::hostToken()
{
    QFETCH(QString, bind);
    QFETCH(int, port);
    QFETCH(QString, token);
    QCOMPARE(QString::fromStdString(brandle::host::hostToken(bind.toStdString(), port)), token);
}

void HostTest::statusIsExactlyActive()
{
    const Reply reply = host_->get(kStatusPath);
    QCOMPARE(reply.status, 200);
    QCOMPARE(QString::fromStdString(reply.body), u"Active"_qs);
    QCOMPARE(QString::fromStdString(reply.contentType), u"text/plain; charset=utf-8"_qs);
}

void HostTest::serviceFiles_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("contentType");
    QTest::addColumn<bool>("isXml");
    QTest::newRow("schema") << QString::fromLatin1(kSchemaPath) << u"text/xml; charset=utf-8"_qs
                            << true;
    QTest::newRow("style sheet") << QString::fromLatin1(kStylePath) << u"text/xml; charset=utf-8"_qs
                                 << true;
    QTest::newRow("loading page") << QString::fromLatin1(kLoadingPath)
                                  << u"text/html; charset=utf-8"_qs << false;
}

void HostTest::serviceFiles()
{
    QFETCH(QString, path);
    QFETCH(QString, contentType);
    QFETCH(bool, isXml);
    const Reply reply = host_->get(path.toStdString());
    QCOMPARE(reply.status, 200);
    QCOMPARE(QString::fromStdString(reply.contentType), contentType);
    QVERIFY(reply.body.find("{host}") == std::string::npos);
    if (isXml) {
        QXmlStreamReader xml(QByteArray::fromStdString(reply.body));
        while (!xml.atEnd()) {
            xml.readNext();
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    }
}

// The program relies on this layout of the schema: the engines are the root's second
// element child and the results slot is an empty start and end tag.
void HostTest::schemaNamesServedAddress()
{
    const std::string home = "http://" + host_->address() + "/engines/";
    QVERIFY(schema_.find(home + "alpha/") != std::string::npos);
    QVERIFY(schema_.find("<LPResults></LPResults>") != std::string::npos);

    QXmlStreamReader xml(QByteArray::fromStdString(schema_));
    QVERIFY(xml.readNextStartElement());
    QVERIFY(xml.readNextStartElement());
    xml.skipCurrentElement();
    QVERIFY(xml.readNextStartElement());
    QCOMPARE(xml.name().toString(), u"Engines"_qs);
}

void HostTest::engineAnswersCarryCount_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("site");
    QTest::newRow("alpha") << u"Alpha Search"_qs << u"alpha"_qs << u"example.com"_qs;
    QTest::newRow("beta") << u"Beta Find"_qs << u"beta"_qs << u"example.com"_qs;
    QTest::newRow("gamma") << u"Gamma Seek"_qs << u"gamma"_qs << u"example.com"_qs;
    QTest::newRow("alpha many dots")
        << u"Alpha Search"_qs << u"alpha"_qs << u"www.sub.brandle-demo.org"_qs;
    QTest::newRow("beta many dots")
        << u"Beta Find"_qs << u"beta"_qs << u"www.sub.brandle-demo.org"_qs;
    QTest::newRow("gamma many dots")
        << u"Gamma Seek"_qs << u"gamma"_qs << u"www.sub.brandle-demo.org"_qs;
}

// Does what the program does with a schema entry: builds the query address, fetches it and
// cuts the count out between the markers.
void HostTest::engineAnswersCarryCount()
{
    QFETCH(QString, name);
    QFETCH(QString, id);
    QFETCH(QString, site);
    const std::string block = engineBlock(schema_, name.toStdString());
    QVERIFY(!block.empty());
    const std::string left = fieldText(block, "LeftString");
    const std::string right = fieldText(block, "RightString");
    QVERIFY(!left.empty() && !right.empty());
    QVERIFY2(left.find(right) == std::string::npos, "RightString would be found in LeftString");

    const std::string url = fieldText(block, "LeftURL") +
                            replaced(site.toStdString(), ".", fieldText(block, "ReplaceDot")) +
                            fieldText(block, "RightURL");
    const std::string prefix = "http://" + host_->address();
    QVERIFY2(url.rfind(prefix + "/", 0) == 0, url.c_str());

    const std::string hourBefore = hourKey(std::time(nullptr));
    const Reply reply = host_->get(url.substr(prefix.size()));
    const std::string hourAfter = hourKey(std::time(nullptr));
    QCOMPARE(reply.status, 200);

    const std::size_t leftAt = reply.body.find(left);
    QVERIFY2(leftAt != std::string::npos, reply.body.c_str());
    const std::size_t rightAt = reply.body.find(right, leftAt);
    QVERIFY(rightAt != std::string::npos);
    QVERIFY(rightAt >= leftAt + left.size());
    const QString text = QString::fromStdString(
        reply.body.substr(leftAt + left.size(), rightAt - leftAt - left.size()));
    static const QRegularExpression grouped(QStringLiteral("^\\d{1,3}(,\\d{3})*$"));
    QVERIFY2(grouped.match(text).hasMatch(), qPrintable(text));

    const quint64 count = QString(text).remove(QLatin1Char(',')).toULongLong();
    const std::string engineId = id.toStdString();
    const std::string siteName = site.toStdString();
    QVERIFY(count == demoCount(engineId, siteName, hourBefore) ||
            count == demoCount(engineId, siteName, hourAfter));
}

void HostTest::answerPageEscapesSite()
{
    const Reply reply = host_->get("/engines/alpha/search?links=%3Cscript%3Ealert(1)%3C/script%3E");
    QCOMPARE(reply.status, 200);
    QVERIFY(reply.body.find("<script>") == std::string::npos);
    QVERIFY(reply.body.find("&lt;script&gt;") != std::string::npos);
}

void HostTest::refusedRequests_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("status");
    // The service folder sits next to the project's CMakeLists.txt, a real file to reach for.
    QTest::newRow("unknown file") << u"/parlo/System/Nothing.txt"_qs << 404;
    QTest::newRow("parent") << u"/../CMakeLists.txt"_qs << 404;
    QTest::newRow("parent inside") << u"/parlo/System/../../../CMakeLists.txt"_qs << 404;
    QTest::newRow("encoded parent") << u"/%2e%2e/CMakeLists.txt"_qs << 404;
    QTest::newRow("encoded slash") << u"/parlo/..%2F..%2FCMakeLists.txt"_qs << 404;
    QTest::newRow("absolute") << u"//etc/passwd"_qs << 404;
    QTest::newRow("folder") << u"/parlo/System"_qs << 404;
    QTest::newRow("folder slash") << u"/parlo/System/"_qs << 404;
    QTest::newRow("unknown engine") << u"/engines/delta/search?links=example.com"_qs << 404;
    QTest::newRow("unknown engine home") << u"/engines/delta/"_qs << 404;
    QTest::newRow("engine without site") << u"/engines/alpha/search"_qs << 400;
    QTest::newRow("engine empty site") << u"/engines/beta/search?site="_qs << 400;
}

void HostTest::refusedRequests()
{
    QFETCH(QString, path);
    QFETCH(int, status);
    const Reply reply = host_->get(path.toStdString());
    QCOMPARE(reply.status, status);
    QVERIFY(!reply.body.empty());
    QVERIFY(reply.body.size() < 200);
    QCOMPARE(QString::fromStdString(reply.contentType), u"text/plain; charset=utf-8"_qs);
}

void HostTest::requestsAreLogged()
{
    QCOMPARE(host_->get(kStatusPath).status, 200);
    QVERIFY(host_->waitForOutput("\nGET /parlo/System/Link-Popularity-Status.txt 200\n"));
    QCOMPARE(host_->get("/no/such/file.txt?x=1").status, 404);
    QVERIFY(host_->waitForOutput("\nGET /no/such/file.txt?x=1 404\n"));
}

void HostTest::fileRootLimits_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("body"); // %1 stands for the served address
    QTest::newRow("text kept as is") << u"/plain.txt"_qs << 200 << u"{host} raw"_qs;
    QTest::newRow("html gets address") << u"/page.htm"_qs << 200 << u"<a href=\"http://%1/\">"_qs;
    QTest::newRow("link inside root") << u"/inside-link.txt"_qs << 200 << u"{host} raw"_qs;
    QTest::newRow("link to file outside") << u"/out-link.txt"_qs << 404 << QString();
    QTest::newRow("link to folder outside") << u"/out-dir/outside.txt"_qs << 404 << QString();
    QTest::newRow("parent") << u"/../outside.txt"_qs << 404 << QString();
    QTest::newRow("encoded parent") << u"/%2E%2E/outside.txt"_qs << 404 << QString();
    QTest::newRow("hidden file") << u"/.hidden.txt"_qs << 404 << QString();
    QTest::newRow("folder") << u"/sub"_qs << 404 << QString();
}

// A root of its own with symbolic links leading in and out of it.
void HostTest::fileRootLimits()
{
    QFETCH(QString, path);
    QFETCH(int, status);
    QFETCH(QString, body);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString base = dir.path();
    const QString root = base + u"/root"_qs;
    QVERIFY(QDir().mkpath(root + u"/sub"_qs));
    const auto write = [](const QString& file, const QByteArray& content) {
        QFile out(file);
        return out.open(QIODevice::WriteOnly) && out.write(content) == content.size();
    };
    QVERIFY(write(base + u"/outside.txt"_qs, "secret"));
    QVERIFY(write(root + u"/plain.txt"_qs, "{host} raw"));
    QVERIFY(write(root + u"/page.htm"_qs, "<a href=\"http://{host}/\">"));
    QVERIFY(write(root + u"/.hidden.txt"_qs, "hidden"));
    QVERIFY(QFile::link(root + u"/plain.txt"_qs, root + u"/inside-link.txt"_qs));
    QVERIFY(QFile::link(base + u"/outside.txt"_qs, root + u"/out-link.txt"_qs));
    QVERIFY(QFile::link(base, root + u"/out-dir"_qs));

    HostProcess host;
    QVERIFY(host.start({u"--root"_qs, root}));
    const Reply reply = host.get(path.toStdString());
    QCOMPARE(reply.status, status);
    if (status == 200) {
        QCOMPARE(QString::fromStdString(reply.body),
                 QString(body).replace(u"%1"_qs, QString::fromStdString(host.address())));
    } else {
        QVERIFY(reply.body.find("secret") == std::string::npos);
    }
}

void HostTest::defaultRootIsFound()
{
    HostProcess host;
    QVERIFY(host.start({}));
    const Reply reply = host.get(kStatusPath);
    QCOMPARE(reply.status, 200);
    QCOMPARE(QString::fromStdString(reply.body), u"Active"_qs);
}

void HostTest::commandLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("help") << QStringList{u"--help"_qs} << 0;
    QTest::newRow("unknown option") << QStringList{u"--colour"_qs} << 2;
    QTest::newRow("port too large") << QStringList{u"--port"_qs, u"70000"_qs} << 2;
    QTest::newRow("port not a number") << QStringList{u"--port=80a"_qs} << 2;
    QTest::newRow("missing value") << QStringList{u"--root"_qs} << 2;
    QTest::newRow("missing root") << QStringList{u"--root"_qs, u"/nonexistent/brandle/service"_qs}
                                  << 1;
}

void HostTest::commandLine()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QProcess process;
    process.setProcessEnvironment(hostEnvironment());
    process.start(QStringLiteral(BRANDLE_HOST_BIN), args);
    QVERIFY(process.waitForFinished(5000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), exitCode);
    if (exitCode == 0) {
        QVERIFY(process.readAllStandardOutput().contains("BRANDLE_HOST_DELAY_MS"));
    } else {
        QVERIFY(!process.readAllStandardError().isEmpty());
    }
}

void HostTest::busyPortFails()
{
    QProcess second;
    second.setProcessEnvironment(hostEnvironment());
    second.start(QStringLiteral(BRANDLE_HOST_BIN),
                 {u"--root"_qs, QStringLiteral(BRANDLE_TEST_SERVICE_DIR), u"--port"_qs,
                  QString::number(host_->port())});
    QVERIFY(second.waitForFinished(5000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 1);
    QVERIFY(second.readAllStandardError().contains("cannot listen"));
    QCOMPARE(host_->get(kStatusPath).status, 200);
}

void HostTest::delayHookSlowsEnginesOnly()
{
    HostProcess host;
    QVERIFY(
        host.start({u"--root"_qs, QStringLiteral(BRANDLE_TEST_SERVICE_DIR)}, hostEnvironment(600)));
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(host.get(kStatusPath).status, 200);
    QVERIFY(timer.elapsed() < 500);
    timer.restart();
    QCOMPARE(host.get("/engines/gamma/search?url=example.com&lang=en").status, 200);
    QVERIFY(timer.elapsed() >= 600);
}

void HostTest::stopsOnSignal_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<bool>("requestInFlight");
    QTest::newRow("SIGTERM idle") << int(SIGTERM) << false;
    QTest::newRow("SIGINT idle") << int(SIGINT) << false;
    QTest::newRow("SIGTERM during slow answer") << int(SIGTERM) << true;
}

void HostTest::stopsOnSignal()
{
    QFETCH(int, signal);
    QFETCH(bool, requestInFlight);
    HostProcess host;
    QVERIFY(host.start({u"--root"_qs, QStringLiteral(BRANDLE_TEST_SERVICE_DIR)},
                       hostEnvironment(requestInFlight ? 30000 : 0)));

    std::thread client;
    if (requestInFlight) {
        const int port = host.port();
        client = std::thread([port] { httpGet(port, "/engines/alpha/search?links=a.b", 10); });
        QTest::qWait(300); // lets the request reach the host and start waiting
    }

    QElapsedTimer timer;
    timer.start();
    QCOMPARE(::kill(static_cast<pid_t>(host.process().processId()), signal), 0);
    const bool finished = host.process().waitForFinished(2000);
    if (client.joinable()) {
        client.join();
    }
    QVERIFY2(finished, "still running 2 s after the signal");
    QVERIFY(timer.elapsed() <= 2000);
    QCOMPARE(host.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(host.process().exitCode(), 0);
}

QTEST_GUILESS_MAIN(HostTest)
#include "tst_host.moc"

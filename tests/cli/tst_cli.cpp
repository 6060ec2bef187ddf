// SPDX-License-Identifier: MIT
#include "TestMain.h"
#include "TestSupport.h"

#include "log/LinkLog.h"
#include "platform/Paths.h"
#include "platform/mConstants.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace brandle;

namespace {

struct Run {
    int code = -1; // -1: it crashed or did not finish
    QString out;
    QString err;
};

Run run(const QString& program, const QStringList& args,
        const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
        qint64 fileLimit = 0)
{
    QProcess p;
    p.setProcessEnvironment(env);
    if (fileLimit > 0)
        p.setChildProcessModifier([fileLimit] { FileSizeLimit::limitChild(fileLimit); });
    p.start(program, args);
    if (!p.waitForFinished(WaitMs))
        return {};
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

QProcessEnvironment sandboxed(const QTemporaryDir& sandbox)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"BRANDLE_HOME"_s, sandbox.filePath(u"home"_s));
    env.insert(u"XDG_CONFIG_HOME"_s, sandbox.filePath(u"config"_s));
    return env;
}

QProcessEnvironment inLocale(QProcessEnvironment env, const QString& locale)
{
    env.insert(u"LANG"_s, locale);
    env.insert(u"LC_ALL"_s, locale);
    return env;
}

// A Results element of the schema's own, which is not the lookup's result.
const QString Decoy =
    u"<Service><Results Site=\"a.com\" Total=\"999,999\"><Engine><Name>Fake</Name>"
    "<Count>999,999</Count><Fluctuation>1</Fluctuation></Engine></Results></Service>"_s;

const QString checkBin = QString::fromUtf8(BRANDLE_CHECK_BIN);
const QString reportBin = QString::fromUtf8(BRANDLE_REPORT_BIN);

} // namespace

// brandle-check against a fake service host: exit status, output (of the lookup's own result,
// whatever else the schema holds), page.
class TestCheckCommand : public QObject {
    Q_OBJECT
private slots:
    void exitStatus_data()
    {
        QTest::addColumn<QByteArray>("status"); // empty: nothing listens at the service host
        QTest::addColumn<EngineAnswers>("engines");
        QTest::addColumn<qint64>("fileLimit"); // 0: no limit; else a full store that cannot grow
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("output"); // parts of stdout (exit 0, 5) or stderr; %1 store
        const EngineAnswers both{counted(u"Alpha"_s, u"1,234"_s), counted(u"Beta"_s, u"1,234"_s)};
        // clang-format off
        QTest::newRow("counted") << QByteArray("Active") << both << 0LL << 0
            << QStringList{u"a.com\n  Engine"_s, u"Alpha"_s, u"Beta"_s, u"1,234"_s, u"Total"_s, u"2,468"_s,
                           u"ParloMsg.html"_s};
        QTest::newRow("an engine without a count") << QByteArray("Active")
            << EngineAnswers{counted(u"Alpha"_s, u"1,234"_s), noCount(u"Beta"_s, u"not <em>known</em>"_s)}
            << 0LL << 5 << QStringList{u"Beta    no count  not known\n"_s, u"Total      1,234  first count\n"_s};
        QTest::newRow("no engine counted") << QByteArray("Active")
            << EngineAnswers{noCount(u"Alpha"_s), noCount(u"Beta"_s)} << 0LL << 5
            << QStringList{u"Alpha   no count  the page holds no count\n"_s, u"Total   no count\n"_s};
        QTest::newRow("service switched off")
            << QByteArray("MessageOff\r\nClosed\r\nBack soon\r\n16") << both << 0LL << 2
            << QStringList{u"Closed: Back soon"_s, u"not active"_s};
        QTest::newRow("service host unreachable") << QByteArray() << both << 0LL << 3
            << QStringList{u"a.com"_s};
        // Room for the page and the log line, not for the settings file: the store keeps its bytes.
        QTest::newRow("settings cannot be saved") << QByteArray("Active") << both << 4096LL << 1
            << QStringList{u"a.com: 335 - The settings could not be saved: %1"_s};
        // clang-format on
    }
    void exitStatus()
    {
        QFETCH(QByteArray, status);
        QFETCH(EngineAnswers, engines);
        QFETCH(qint64, fileLimit);
        QFETCH(int, exitCode);
        QFETCH(QStringList, output);
        FakeServiceHost service;
        service.status(status).engines(engines);
        service.schema(service.schemaText().replace(u"<Service/>"_s, Decoy).toUtf8()).start();
        const QString host = status.isEmpty() ? deadHostPort() : service.hostPort();
        QTemporaryDir sandbox;
        const QString store = sandbox.filePath(u"config/Quenta App Loader.conf"_s);
        const QByteArray before = "[ParloApp]\nURLGet1=" + QByteArray(6000, 'x') +
                                  "\n\n[LinkEng]\nEng-DomainURL=a.com\nEng-Alpha=1000\n";
        QVERIFY(fileLimit == 0 || writeFile(store, before));

        const Run r =
            run(checkBin, {u"--host"_s, host, u" HTTP://A.com "_s}, sandboxed(sandbox), fileLimit);
        const bool done = exitCode == 0 || exitCode == 5;
        const QString text = done ? r.out : r.err;
        QVERIFY2(r.code == exitCode && !r.out.contains(u"999"_s), qPrintable(r.out + r.err));
        for (const QString& part : output)
            QVERIFY2(text.contains(QString(part).replace(u"%1"_s, store)), qPrintable(text));
        QCOMPARE(QFile::exists(sandbox.filePath(u"home/ParloMsg.html"_s)), done);
        if (fileLimit > 0)
            QCOMPARE(readText(store).toUtf8(), before);
    }

    // Two lookups of different sites at once: a.com's has read the store and waits for its
    // engine while b.com's is counted and saved. The store never pairs one site with the other's
    // counts, and a.com's count, saved last, is not compared with a.com's old one.
    void concurrentSites()
    {
        // Its style sheet is held back too: two requests at once show that the engine was asked.
        FakeServiceHost slow;
        slow.engines({counted(u"E"_s, u"200"_s, 4000)}).delayed(mConstants::StyleSheetPath, 4000);
        slow.start();
        FakeServiceHost fast;
        fast.engines({counted(u"E"_s, u"50"_s)}).start();
        QTemporaryDir sandbox;
        const QString store = sandbox.filePath(u"config/Quenta App Loader.conf"_s);
        QVERIFY(writeFile(store, "[LinkEng]\nEng-DomainURL=a.com\nEng-E=100\n"));
        QProcess first;
        first.setProcessEnvironment(sandboxed(sandbox));
        first.start(checkBin, {u"--host"_s, slow.hostPort(), u"a.com"_s});
        QTRY_VERIFY_WITH_TIMEOUT(slow.server().peakRequests() == 2, 10000);
        QCOMPARE(run(checkBin, {u"--host"_s, fast.hostPort(), u"b.com"_s}, sandboxed(sandbox)).code,
                 0);
        QVERIFY(first.waitForFinished(15000));
        const QSettings stored(store, QSettings::IniFormat);
        const QString pair = stored.value(u"LinkEng/Eng-DomainURL"_s).toString() + u' ' +
                             stored.value(u"LinkEng/Eng-E"_s).toString();
        QVERIFY2(pair == u"a.com 200"_s || pair == u"b.com 50"_s, qPrintable(pair));
        const QString out = QString::fromUtf8(first.readAllStandardOutput());
        QVERIFY2(first.exitCode() == 0 &&
                     (pair != u"a.com 200"_s || out.contains(u"200  first count"_s)),
                 qPrintable(out));
    }
};

// --help and --version without a display; a bad command line gets the usage line and exit 2;
// brandle-report's answers.
class TestCommandLine : public QObject {
    Q_OBJECT
private slots:
    void init() { QDir(Paths::inProgramFolder(mConstants::LogFolderName)).removeRecursively(); }

    void answers_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out"); // the start of standard output
        QTest::addColumn<QString>("err"); // a part of standard error; "" for none at all
        QStringList programs{checkBin, reportBin};
        QStringList usage{u"Usage: brandle-check [options] SITE...\n"_s,
                          u"Usage: brandle-report [options] [SITE] FROM TO\n"_s};
#ifdef BRANDLE_BIN
        const QString brandleBin = QString::fromUtf8(BRANDLE_BIN);
        programs << brandleBin;
        usage << u"Usage: brandle [options]\n"_s;
#endif
        for (int i = 0; i < programs.size(); ++i) {
            const QString p = programs.at(i);
            const QString name = QFileInfo(p).fileName();
            const QString version = name + u' ' + QString::fromUtf8(BRANDLE_VERSION) + u'\n';
            for (const QString& option : {u"--help"_s, u"-h"_s, u"--version"_s, u"-v"_s}) {
                QTest::addRow("%s %s", qPrintable(name), qPrintable(option))
                    << p << QStringList{option} << 0
                    << (option.contains(u'h') ? usage.at(i) : version) << QString();
            }
            QTest::addRow("%s unknown option", qPrintable(name))
                << p << QStringList{u"--colour"_s} << 2 << QString()
                << name + u": Unknown option 'colour'.\n"_s + usage.at(i);
        }
        // clang-format off
#ifdef BRANDLE_BIN
        QTest::newRow("brandle, an argument") << brandleBin << QStringList{u"example.com"_s} << 2
            << "" << u"brandle: unexpected argument 'example.com'\n"_s + usage.at(2);
        QTest::newRow("brandle, toolkit option") << brandleBin
            << QStringList{u"-platform"_s, u"offscreen"_s, u"--version"_s} << 0 << u"brandle "_s << "";
#endif
        QTest::newRow("brandle-check, no site") << checkBin << QStringList() << 2 << ""
            << u"brandle-check: give at least one SITE\n"_s + usage.at(0);
        QTest::newRow("brandle-check, empty site") << checkBin
            << QStringList{u"a.com"_s, QString()} << 2 << "" << "brandle-check: not a site: ''";
        QTest::newRow("brandle-check, empty --host") << checkBin
            << QStringList{u"--host="_s, u"a.com"_s} << 2 << "" << "--host needs HOST:PORT";
        QTest::newRow("brandle-report, two arguments") << reportBin
            << QStringList{u"a.com"_s, u"3/1/2026"_s} << 2 << ""
            << u"brandle-report: give SITE FROM TO, or --site SITE... FROM TO\n"_s + usage.at(1);
        QTest::newRow("brandle-report, --site and SITE") << reportBin
            << QStringList{u"--site"_s, u"a.com"_s, u"b.com"_s, u"3/1/2026"_s, u"3/2/2026"_s} << 2
            << "" << u"brandle-report: unexpected argument '3/2/2026'\n"_s + usage.at(1);
        QTest::newRow("brandle-report, six sites") << reportBin
            << QStringList{u"a,b,c,d,e,f"_s, u"3/1/2026"_s, u"3/2/2026"_s} << 2 << ""
            << "brandle-report: Give at most 5 sites, separated by commas.\n";
        // clang-format on
    }
    void answers()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);
        // No display, no service host, fresh folders: a lookup or a log would leave a file.
        QTemporaryDir sandbox;
        QProcessEnvironment env = sandboxed(sandbox);
        for (const QString& name : {u"DISPLAY"_s, u"WAYLAND_DISPLAY"_s, u"QT_QPA_PLATFORM"_s})
            env.remove(name);
        env.insert(u"XDG_RUNTIME_DIR"_s, sandbox.path());
        env.insert(u"BRANDLE_SERVICE_HOST"_s, deadHostPort());
        const Run r = run(program, args, env);
        QVERIFY2(r.code == exitCode, qPrintable(r.err));
        QVERIFY2(out.isEmpty() ? r.out.isEmpty() : r.out.startsWith(out), qPrintable(r.out));
        QVERIFY2(err.isEmpty() ? r.err.isEmpty() : r.err.contains(err), qPrintable(r.err));
        for (const QString& line : r.out.split(u'\n')) // a terminal of 80 columns
            QVERIFY2(line.size() <= 80, qPrintable(line));
        QCOMPARE(QDir(sandbox.filePath(u"home"_s))
                     .entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot),
                 QStringList());
    }

    // brandle-report reads the program's log: exit status, standard output and standard error.
    void command_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err"); // %1: a day file that cannot be read
        // clang-format off
        QTest::newRow("invalid date") << QStringList{u"example.com"_s, u"3/1/2004"_s, u"3/32/2004"_s}
            << 1 << "" << "The dates you entered are either blank or invalid.\nThe required date "
                          "format is MM/DD/YYYY for this report type selection.\n";
        QTest::newRow("ISO dates") << QStringList{u"example.com"_s, u"2004-03-01"_s, u"2004-03-03"_s}
            << 0 << "date,count\n2004-03-01,12\n2004-03-02,0\n" << "";
        // A day without a log file is charted as 0 but is no data: a mistyped site is told so.
        QTest::newRow("mistyped site") << QStringList{u"exmaple.com"_s, u"3/1/2004"_s, u"3/3/2004"_s}
            << 4 << "" << "brandle-report: no data for exmaple.com from 3/1/2004 to 3/3/2004\n";
        QTest::newRow("sites as options")
            << QStringList{u"--site"_s, u"example.com"_s, u"--site"_s, u"other.com"_s,
                           u"3/1/2004"_s, u"3/3/2004"_s} << 0
            << "date,example.com,other.com\n2004-03-01,12,\n2004-03-02,0,0\n2004-03-03,,4\n" << "";
        QTest::newRow("sites as a list") << QStringList{u"other.com,Example.com"_s, u"3/3/2004"_s,
                                                        u"3/3/2004"_s} << 0
            << "date,other.com,example.com\n2004-03-03,4,\n" << "";
        QTest::newRow("by engine") << QStringList{u"--engines"_s, u"example.com"_s, u"3/1/2004"_s,
                                                  u"3/2/2004"_s} << 0
            << "date,total,Alpha,Beta\n2004-03-01,12,5,\n2004-03-02,0,,\n" << "";
        QTest::newRow("a day file that cannot be read")
            << QStringList{u"example.com"_s, u"3/4/2004"_s, u"3/4/2004"_s} << 1 << ""
            << "brandle-report: 75 - Path/File access error: %1\n";
        // clang-format on
    }
    void command()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, err);
        const QDate first(2004, 3, 1);
        const QList<LoggedEngine> engines{{u"Alpha"_s, u"4"_s}, {u"Beta"_s, {}, true}};
        QVERIFY(
            writeLog({{first, u"example.com"_s, u"10"_s, engines, true},
                      {first, u"example.com"_s, u"13"_s, {{u"Alpha"_s, u"6"_s}, engines[1]}, true},
                      {first.addDays(2), u"other.com"_s, u"4"_s}}));
        // A folder where the day file should be: it exists but cannot be read.
        const QString unreadable = linkLogFile(first.addDays(3));
        QVERIFY(QDir().mkpath(unreadable));
        const Run r = run(reportBin, args);
        QCOMPARE(r.err, QString(err).replace(u"%1"_s, unreadable));
        QTEST(r.out, "out");
        QTEST(r.code, "exitCode");
    }
};

// brandle-check logs under one locale, brandle-report reads the log under another.
class TestLocales : public QObject {
    Q_OBJECT
private slots:
    void checkThenReport()
    {
        FakeServiceHost service;
        service
            .engines({counted(u"Alpha"_s, u"1,234"_s), counted(u"Beta"_s, u"323.580"_s),
                      counted(u"Gamma"_s, u"7 000,5"_s)})
            .start();
        QTemporaryDir sandbox;
        QSettings(sandbox.filePath(u"config/Quenta App Loader.conf"_s), QSettings::IniFormat)
            .setValue(u"ParloApp/EnbLog"_s, u"1"_s);
        const Run check = run(checkBin, {u"--host"_s, service.hostPort(), u"a.com"_s},
                              inLocale(sandboxed(sandbox), u"de_DE.UTF-8"_s));
        QVERIFY2(check.code == 0, qPrintable(check.err));
        for (const QString& count : {u"1,234"_s, u"323,580"_s, u"7,000"_s, u"331,814"_s})
            QVERIFY2(check.out.contains(count), qPrintable(check.out));
        const QDate today = QDate::currentDate();
        const QString log =
            sandbox.filePath(u"home/LinkLogs/"_s) + today.toString(u"MMddyy"_s) + u".lox"_s;
        QVERIFY2(readText(log).startsWith(u"<Results Site=\"a.com\" Total=\"331,814\""_s),
                 qPrintable(readText(log)));

        const QString day = today.toString(Qt::ISODate);
        for (const QString& locale : {u"C"_s, u"de_DE.UTF-8"_s}) {
            const Run report =
                run(reportBin, {u"a.com"_s, day, day}, inLocale(sandboxed(sandbox), locale));
            QCOMPARE(report.err, QString());
            QCOMPARE(report.out, u"date,count\n%1,331814\n"_s.arg(day));
            QCOMPARE(report.code, 0);
        }
    }

    // Earlier builds logged counts as the user's locale prints them (1,234,567 as Qt 6.4 printed
    // it there): such a day reads under that locale, and by the one rule under C.
    void earlierDayFiles_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("count");
        QTest::addColumn<QString>("underC"); // the figure under C; "": the line has no count
        // clang-format off
        QTest::newRow("de_CH") << "de_CH" << u"1\u2019234\u2019567"_s << "1234567";
        QTest::newRow("en_IN") << "en_IN" << "12,34,567" << "";
        QTest::newRow("pl_PL") << "pl_PL" << u"1234\u00A0567"_s << "";
        QTest::newRow("ar_EG") << "ar_EG" << u"\u0661\u066C\u0662\u0663\u0664\u066C\u0665\u0666\u0667"_s << "";
        QTest::newRow("es_ES") << "es_ES" << "1234.567" << "1235";
        // clang-format on
    }
    void earlierDayFiles()
    {
        QFETCH(QString, locale);
        QFETCH(QString, count);
        QFETCH(QString, underC);
        const QDate day(2005, 3, 1);
        QFile::remove(linkLogFile(day));
        QVERIFY(writeLog({{day, u"a.com"_s, count, {{u"A"_s, count}}}}));
        for (const QString& lang : {locale + u".UTF-8"_s, u"C"_s}) {
            const QString figure = lang == u"C"_s ? underC : u"1234567"_s;
            const Run r =
                run(reportBin, {u"--engines"_s, u"a.com"_s, u"2005-03-01"_s, u"2005-03-01"_s},
                    inLocale(QProcessEnvironment::systemEnvironment(), lang));
            QCOMPARE(r.out, figure.isEmpty() ? QString()
                                             : u"date,total,A\n2005-03-01,%1,%1\n"_s.arg(figure));
            QCOMPARE(r.code, figure.isEmpty() ? 4 : 0);
        }
    }
};

BRANDLE_TEST(TestCheckCommand)
BRANDLE_TEST(TestCommandLine)
BRANDLE_TEST(TestLocales)
#include "tst_cli.moc"

// SPDX-License-Identifier: MIT
#include "TestMain.h"
#include "TestSupport.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace brandle;

namespace {

QString programPath(const QString& program)
{
    if (program == "brandle-check"_L1)
        return QString::fromUtf8(BRANDLE_CHECK_BIN);
    if (program == "brandle-report"_L1)
        return QString::fromUtf8(BRANDLE_REPORT_BIN);
#ifdef BRANDLE_BIN
    if (program == "brandle"_L1)
        return QString::fromUtf8(BRANDLE_BIN);
#endif
    return {};
}

} // namespace

// Every program answers --help and --version without a display and refuses a command line it
// cannot use with a usage line and exit status 2, before it looks anything up.
class TestCommandLine : public QObject {
    Q_OBJECT
private slots:
    void answers_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out"); // the start of standard output
        QTest::addColumn<QString>("err"); // a part of standard error; "" for none at all
        const QStringList programs{u"brandle"_s, u"brandle-check"_s, u"brandle-report"_s};
        const QStringList usage{u"Usage: brandle [options]\n"_s,
                                u"Usage: brandle-check [options] SITE...\n"_s,
                                u"Usage: brandle-report [options] [SITE] FROM TO\n"_s};
        for (int i = 0; i < programs.size(); ++i) {
            const QString& p = programs.at(i);
            if (programPath(p).isEmpty())
                continue; // built without the tray program
            const QByteArray name = p.toUtf8();
            const QString version = p + u' ' + QString::fromUtf8(BRANDLE_VERSION) + u'\n';
            // clang-format off
            QTest::newRow(name + " --help") << p << QStringList{u"--help"_s} << 0 << usage.at(i)
                                            << "";
            QTest::newRow(name + " -h") << p << QStringList{u"-h"_s} << 0 << usage.at(i) << "";
            QTest::newRow(name + " --version") << p << QStringList{u"--version"_s} << 0 << version
                                               << "";
            QTest::newRow(name + " -v") << p << QStringList{u"-v"_s} << 0 << version << "";
            QTest::newRow(name + " unknown option") << p << QStringList{u"--colour"_s} << 2 << ""
                << p + u": Unknown option 'colour'.\n"_s + usage.at(i);
            // clang-format on
        }
        // clang-format off
#ifdef BRANDLE_BIN
        QTest::newRow("brandle, an argument") << u"brandle"_s << QStringList{u"example.com"_s} << 2
            << "" << u"brandle: unexpected argument 'example.com'\n"_s + usage.at(0);
        QTest::newRow("brandle, --demo without a site") << u"brandle"_s
            << QStringList{u"--demo"_s} << 2 << "" << "Missing value after '--demo'";
        QTest::newRow("brandle, toolkit option") << u"brandle"_s
            << QStringList{u"-platform"_s, u"offscreen"_s, u"--version"_s} << 0 << u"brandle "_s << "";
#endif
        QTest::newRow("brandle-check, no site") << u"brandle-check"_s << QStringList() << 2 << ""
            << u"brandle-check: give at least one SITE\n"_s + usage.at(1);
        QTest::newRow("brandle-check, empty site") << u"brandle-check"_s
            << QStringList{u"a.com"_s, QString()} << 2 << "" << "brandle-check: not a site: ''";
        QTest::newRow("brandle-check, blank site") << u"brandle-check"_s
            << QStringList{u"  "_s} << 2 << "" << "not a site";
        QTest::newRow("brandle-check, scheme alone") << u"brandle-check"_s
            << QStringList{u"https://"_s} << 2 << "" << "not a site: 'https://'";
        QTest::newRow("brandle-check, --host without a value") << u"brandle-check"_s
            << QStringList{u"a.com"_s, u"--host"_s} << 2 << "" << "Missing value after '--host'";
        QTest::newRow("brandle-check, empty --host") << u"brandle-check"_s
            << QStringList{u"--host="_s, u"a.com"_s} << 2 << "" << "--host needs HOST:PORT";
        QTest::newRow("brandle-report, two arguments") << u"brandle-report"_s
            << QStringList{u"a.com"_s, u"3/1/2026"_s} << 2 << ""
            << u"brandle-report: give SITE FROM TO, or --site SITE... FROM TO\n"_s + usage.at(2);
        QTest::newRow("brandle-report, four arguments") << u"brandle-report"_s
            << QStringList{u"a.com"_s, u"3/1/2026"_s, u"3/2/2026"_s, u"b.com"_s} << 2 << ""
            << u"brandle-report: unexpected argument 'b.com'\n"_s + usage.at(2);
        QTest::newRow("brandle-report, --site and SITE") << u"brandle-report"_s
            << QStringList{u"--site"_s, u"a.com"_s, u"b.com"_s, u"3/1/2026"_s, u"3/2/2026"_s} << 2
            << "" << u"brandle-report: unexpected argument '3/2/2026'\n"_s + usage.at(2);
        QTest::newRow("brandle-report, six sites") << u"brandle-report"_s
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
        const QString path = programPath(program);
        QVERIFY(!path.isEmpty());

        // No display, nothing at the service host, and a fresh store and folder: a program that
        // went on to look up or log anything would leave a file behind.
        QTemporaryDir sandbox;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString& name : {u"DISPLAY"_s, u"WAYLAND_DISPLAY"_s, u"QT_QPA_PLATFORM"_s})
            env.remove(name);
        env.insert(u"BRANDLE_HOME"_s, sandbox.filePath(u"home"_s));
        env.insert(u"XDG_CONFIG_HOME"_s, sandbox.filePath(u"config"_s));
        env.insert(u"XDG_RUNTIME_DIR"_s, sandbox.path());
        env.insert(u"BRANDLE_SERVICE_HOST"_s, deadHostPort());
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(path, args);
        QVERIFY(process.waitForFinished(10000));
        const QString stdOut = QString::fromLocal8Bit(process.readAllStandardOutput());
        const QString stdErr = QString::fromLocal8Bit(process.readAllStandardError());
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QVERIFY2(process.exitCode() == exitCode, qPrintable(stdErr));
        if (out.isEmpty())
            QVERIFY2(stdOut.isEmpty(), qPrintable(stdOut));
        else
            QVERIFY2(stdOut.startsWith(out), qPrintable(stdOut));
        if (err.isEmpty())
            QVERIFY2(stdErr.isEmpty(), qPrintable(stdErr));
        else
            QVERIFY2(stdErr.contains(err), qPrintable(stdErr));
        QCOMPARE(QDir(sandbox.filePath(u"home"_s))
                     .entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot),
                 QStringList());
    }
};

BRANDLE_TEST(TestCommandLine)
#include "tst_commandline.moc"

// SPDX-License-Identifier: MIT
#include "TestMain.h"
#include "TestSupport.h"

#include <QDate>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace brandle;

namespace {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

Run run(const QString& program, const QStringList& args,
        const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
        int timeoutMs = 60000)
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, args);
    Run result;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        result.err = u"did not finish: "_s + program;
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    result.err = QString::fromLocal8Bit(process.readAllStandardError());
    return result;
}

// The executables of the running children of a process.
QStringList childPrograms(qint64 pid)
{
    QStringList programs;
    const QString tasks = u"/proc/%1/task"_s.arg(pid);
    for (const QString& task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QStringList children =
            readText(tasks + u'/' + task + u"/children"_s).split(u' ', Qt::SkipEmptyParts);
        for (const QString& child : children)
            programs << QFileInfo(u"/proc/"_s + child + u"/exe"_s).symLinkTarget();
    }
    return programs;
}

} // namespace

// An installation into an empty prefix works for a user who has no build tree: the programs find
// their libraries and the web-window helper in their private folder, keep their page and log in one
// data folder in the user's home, and never write into the installed bin/ folder.
class TestInstall : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_prefix;
    QString m_home;
    QProcessEnvironment m_env;
    QProcess m_host;
    QString m_hostPort;

    QString installed(const QString& path) const { return m_prefix + u'/' + path; }
    QString dataFolder() const { return m_home + u"/.local/share/brandle"_s; }

private slots:
    void initTestCase()
    {
        m_prefix = m_dir.filePath(u"prefix"_s);
        m_home = m_dir.filePath(u"home"_s);
        const Run install =
            run(QString::fromUtf8(CMAKE_COMMAND),
                {u"--install"_s, QString::fromUtf8(BUILD_DIR), u"--prefix"_s, m_prefix});
        QVERIFY2(install.exitCode == 0, qPrintable(install.out + install.err));

        // A user with a home folder and nothing else: no build tree, no data or config folder
        // named, no BRANDLE_HOME.
        m_env = QProcessEnvironment::systemEnvironment();
        for (const QString& name : {u"BRANDLE_HOME"_s, u"XDG_DATA_HOME"_s, u"XDG_CONFIG_HOME"_s,
                                    u"XDG_CACHE_HOME"_s, u"LD_LIBRARY_PATH"_s})
            m_env.remove(name);
        m_env.insert(u"HOME"_s, m_home);
        m_env.insert(u"XDG_RUNTIME_DIR"_s, m_dir.path());
        m_env.insert(u"USER"_s,
                     u"install-"_s + QString::number(QCoreApplication::applicationPid()));
        QVERIFY(QDir().mkpath(m_home));
        QSettings store(m_home + u"/.config/Quenta App Loader.conf"_s, QSettings::IniFormat);
        store.setValue(u"ParloApp/EnbLog"_s, u"1"_s);
        store.sync();

        m_host.setProcessEnvironment(m_env);
        m_host.start(installed(u"bin/brandle-host"_s), {u"--demo"_s, u"--port"_s, u"0"_s});
        QTRY_VERIFY_WITH_TIMEOUT(m_host.canReadLine(), 10000);
        const QString line = QString::fromUtf8(m_host.readLine());
        const auto m = QRegularExpression(u"http://([0-9.]+:[0-9]+)"_s).match(line);
        QVERIFY2(m.hasMatch(), qPrintable(line));
        m_hostPort = m.captured(1);
        // The installed host serves the installed documents.
        QVERIFY2(line.contains(m_prefix + u"/share/brandle/service"_s), qPrintable(line));
        m_env.insert(u"BRANDLE_SERVICE_HOST"_s, m_hostPort);
    }

    void cleanupTestCase()
    {
        m_host.terminate();
        m_host.waitForFinished(3000);
    }

    void layout_data()
    {
        QTest::addColumn<QString>("path");
        for (const char* path : {"bin/brandle",
                                 "bin/brandle-check",
                                 "bin/brandle-report",
                                 "bin/brandle-host",
                                 "lib/brandle/libbrandle_core.so",
                                 "lib/brandle/libbrandle_gui.so",
                                 "lib/brandle/brandle-web",
                                 "share/brandle/Alerts/LinkCount.wav",
                                 "share/brandle/Alerts/Increase.wav",
                                 "share/brandle/Alerts/Decrease.wav",
                                 "share/brandle/Alerts/Welcome.wav",
                                 "share/brandle/Alerts/Exit.wav",
                                 "share/brandle/service/parlo/System/Link-Popularity-Schema.xml",
                                 "share/brandle/translations/brandle_de.qm",
                                 "share/icons/hicolor/scalable/apps/brandle.svg",
                                 "share/applications/brandle.desktop",
                                 "share/metainfo/org.brandle.Brandle.metainfo.xml",
                                 "share/man/man1/brandle.1",
                                 "share/man/man1/brandle-check.1",
                                 "share/man/man1/brandle-report.1",
                                 "share/man/man1/brandle-host.1",
                                 "lib/systemd/user/brandle-host.service"})
            QTest::newRow(path) << QString::fromLatin1(path);
    }
    void layout()
    {
        QFETCH(QString, path);
        QVERIFY2(QFileInfo(installed(path)).isFile(), qPrintable(path));
    }

    // The user unit starts the host of this install.
    void serviceUnit()
    {
        const QString unit = readText(installed(u"lib/systemd/user/brandle-host.service"_s));
        QVERIFY2(unit.contains(u"ExecStart="_s + installed(u"bin/brandle-host"_s) + u'\n'),
                 qPrintable(unit));
    }

    // Nothing of the project lands in the shared library folder, and the installed bin/ folder
    // is no portable copy.
    void nothingElse()
    {
        QCOMPARE(QDir(installed(u"lib"_s)).entryList(QDir::Files), QStringList());
        QCOMPARE(QDir(installed(u"bin"_s)).entryList(QDir::Files, QDir::Name),
                 (QStringList{u"brandle"_s, u"brandle-check"_s, u"brandle-host"_s,
                              u"brandle-report"_s}));
    }

    // The programs load the project's libraries from the private folder, not from the build.
    void libraries_data()
    {
        QTest::addColumn<QString>("program");
        QTest::newRow("brandle") << u"bin/brandle"_s;
        QTest::newRow("brandle-web") << u"lib/brandle/brandle-web"_s;
    }
    void libraries()
    {
        QFETCH(QString, program);
        const Run ldd = run(u"ldd"_s, {installed(program)});
        QCOMPARE(ldd.exitCode, 0);
        for (const QString& library : {u"libbrandle_core.so"_s, u"libbrandle_gui.so"_s}) {
            const QRegularExpression resolved(QRegularExpression::escape(library) +
                                              u" => (\\S+)"_s);
            const auto m = resolved.match(ldd.out);
            QVERIFY2(m.hasMatch(), qPrintable(ldd.out));
            QCOMPARE(QDir::cleanPath(m.captured(1)), installed(u"lib/brandle/"_s + library));
        }
    }

    void desktopFiles()
    {
        const Run desktop =
            run(u"desktop-file-validate"_s, {installed(u"share/applications/brandle.desktop"_s)});
        QVERIFY2(desktop.exitCode == 0 && desktop.out.isEmpty(),
                 qPrintable(desktop.out + desktop.err));
        const Run metainfo = run(u"appstreamcli"_s,
                                 {u"validate"_s, u"--no-net"_s,
                                  installed(u"share/metainfo/org.brandle.Brandle.metainfo.xml"_s)});
        QVERIFY2(metainfo.exitCode == 0, qPrintable(metainfo.out + metainfo.err));
        QVERIFY(readText(installed(u"share/applications/brandle.desktop"_s))
                    .contains(u"\nIcon=brandle\n"_s));
    }

    // brandle-check counts and logs into the data folder in the home; brandle-report reads it
    // from there.
    void checkThenReport()
    {
        const Run check = run(installed(u"bin/brandle-check"_s), {u"Example.com"_s}, m_env);
        QVERIFY2(check.exitCode == 0, qPrintable(check.err));
        QVERIFY2(check.out.contains(u"Page: "_s + dataFolder() + u"/ParloMsg.html"_s),
                 qPrintable(check.out));
        const QString day = QDate::currentDate().toString(Qt::ISODate);
        const Run report =
            run(installed(u"bin/brandle-report"_s), {u"example.com"_s, day, day}, m_env);
        QVERIFY2(report.exitCode == 0, qPrintable(report.err));
        QVERIFY2(QRegularExpression(u"^date,count\n%1,[1-9][0-9]*\n$"_s.arg(day))
                     .match(report.out)
                     .hasMatch(),
                 qPrintable(report.out));
        QCOMPARE(QDir(installed(u"bin"_s)).entryList(QDir::Files).size(), 4);
    }

    // The tray program answers without a display, and with one it counts, writes into the data
    // folder and shows the result through the web-window helper of the private folder.
    void trayProgram()
    {
        QProcessEnvironment noDisplay = m_env;
        noDisplay.remove(u"DISPLAY"_s);
        noDisplay.remove(u"QT_QPA_PLATFORM"_s);
        const Run version = run(installed(u"bin/brandle"_s), {u"--version"_s}, noDisplay);
        QCOMPARE(version.exitCode, 0);
        QCOMPARE(version.out, u"brandle %1\n"_s.arg(QString::fromUtf8(BRANDLE_VERSION)));

        QProcess brandle;
        brandle.setProcessEnvironment(m_env);
        brandle.start(installed(u"bin/brandle"_s), {u"--demo"_s, u"example.org"_s});
        const QString page = dataFolder() + u"/ParloMsg.html"_s;
        QFile::remove(page);
        QTRY_VERIFY_WITH_TIMEOUT(readText(page).contains(u"example.org"_s), 30000);
        QTRY_VERIFY_WITH_TIMEOUT(
            childPrograms(brandle.processId()).contains(installed(u"lib/brandle/brandle-web"_s)),
            20000);
        brandle.terminate();
        QVERIFY(brandle.waitForFinished(10000));
        const QString err = QString::fromLocal8Bit(brandle.readAllStandardError());
        QVERIFY2(!err.contains(u"cannot be"_s), qPrintable(err));
        QCOMPARE(QDir(installed(u"bin"_s)).entryList(QDir::Files).size(), 4);
    }

    // The installed tray program speaks the user's language from the installed translation.
    void translation()
    {
        QProcessEnvironment german = m_env;
        german.insert(u"LANG"_s, u"de_DE.UTF-8"_s);
        german.remove(u"LC_ALL"_s);
        german.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s); // and no tray
        QProcess brandle;
        brandle.setProcessEnvironment(german);
        brandle.start(installed(u"bin/brandle"_s), {});
        QString err;
        QTRY_VERIFY_WITH_TIMEOUT(
            (err += QString::fromLocal8Bit(brandle.readAllStandardError()))
                .contains(u"Brandle: Es wurde kein Infobereich (Tray) gefunden"_s),
            20000);
        brandle.terminate();
        QVERIFY(brandle.waitForFinished(10000));
        QCOMPARE(brandle.exitCode(), 0);
    }
};

BRANDLE_TEST(TestInstall)
#include "tst_install.moc"

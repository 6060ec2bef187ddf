// SPDX-License-Identifier: MIT
#include "TestMain.h"
#include "TestSupport.h"

#include "platform/LocaleText.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace brandle;

// An install into an empty prefix, used without a build tree: libraries and helper from the
// private folder, one data folder in the home, nothing written into bin/.
class TestInstall : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_prefix = m_dir.filePath(u"prefix"_s);
    QString m_home = m_dir.filePath(u"home"_s);
    QString m_data = m_home + u"/.local/share/brandle"_s;
    QProcessEnvironment m_env = QProcessEnvironment::systemEnvironment();
    QProcess m_host;

    QString installed(const QString& path) const { return m_prefix + u'/' + path; }

private slots:
    void initTestCase()
    {
        const ProgramRun install =
            runProgram(QString::fromUtf8(CMAKE_COMMAND),
                       {u"--install"_s, QString::fromUtf8(BUILD_DIR), u"--prefix"_s, m_prefix});
        QVERIFY2(install.exitCode == 0, qPrintable(install.out + install.err));
        // A user with a home folder and nothing else named: no build tree, no BRANDLE_HOME.
        for (const QString& name : {u"BRANDLE_HOME"_s, u"XDG_DATA_HOME"_s, u"XDG_CONFIG_HOME"_s,
                                    u"XDG_CACHE_HOME"_s, u"LD_LIBRARY_PATH"_s})
            m_env.remove(name);
        m_env.insert(u"HOME"_s, m_home);
        m_env.insert(u"XDG_RUNTIME_DIR"_s, m_dir.path());
        m_env.insert(u"USER"_s,
                     u"install-"_s + QString::number(QCoreApplication::applicationPid()));
        QSettings(m_home + u"/.config/Quenta App Loader.conf"_s, QSettings::IniFormat)
            .setValue(u"ParloApp/EnbLog"_s, u"1"_s);

        m_host.setProcessEnvironment(m_env);
        m_host.start(installed(u"bin/brandle-host"_s), {u"--demo"_s, u"--port"_s, u"0"_s});
        QTRY_VERIFY_WITH_TIMEOUT(m_host.canReadLine(), WaitMs);
        const QString line = QString::fromUtf8(m_host.readLine());
        const auto m = QRegularExpression(u"http://([0-9.]+:[0-9]+)"_s).match(line);
        // The installed host serves the installed documents.
        QVERIFY2(m.hasMatch() && line.contains(m_prefix + u"/share/brandle/service"_s),
                 qPrintable(line));
        m_env.insert(u"BRANDLE_SERVICE_HOST"_s, m.captured(1));
    }
    void cleanupTestCase()
    {
        m_host.terminate();
        m_host.waitForFinished(3000);
        QCOMPARE(QDir(installed(u"bin"_s)).entryList(QDir::Files).size(), 4); // nothing written
    }

    // Files no run below loads are in place; only the programs in bin/, which load the project's
    // libraries from the private folder, not from the build; the validators pass.
    void layout()
    {
        for (const char* path :
             {"share/brandle/Alerts/LinkCount.wav", "share/brandle/Alerts/Increase.wav",
              "share/brandle/Alerts/Decrease.wav", "share/brandle/Alerts/Welcome.wav",
              "share/brandle/Alerts/Exit.wav", "share/icons/hicolor/scalable/apps/brandle.svg",
              "share/man/man1/brandle.1", "share/man/man1/brandle-check.1",
              "share/man/man1/brandle-report.1", "share/man/man1/brandle-host.1"})
            QVERIFY2(QFileInfo(installed(QString::fromLatin1(path))).isFile(), path);
        QCOMPARE(QDir(installed(u"lib"_s)).entryList(QDir::Files), QStringList());
        QCOMPARE(QDir(installed(u"bin"_s)).entryList(QDir::Files, QDir::Name),
                 (QStringList{u"brandle"_s, u"brandle-check"_s, u"brandle-host"_s,
                              u"brandle-report"_s}));
        const QString unit = readText(installed(u"lib/systemd/user/brandle-host.service"_s));
        QVERIFY2(unit.contains(u"ExecStart="_s + installed(u"bin/brandle-host"_s) + u'\n'),
                 qPrintable(unit));

        const QString desktop = installed(u"share/applications/brandle.desktop"_s);
        const ProgramRun check = runProgram(u"desktop-file-validate"_s, {desktop});
        QVERIFY2(check.exitCode == 0 && check.out.isEmpty(), qPrintable(check.out + check.err));
        const ProgramRun metainfo = runProgram(
            u"appstreamcli"_s, {u"validate"_s, u"--no-net"_s,
                                installed(u"share/metainfo/org.brandle.Brandle.metainfo.xml"_s)});
        QVERIFY2(metainfo.exitCode == 0, qPrintable(metainfo.out + metainfo.err));
        QVERIFY(readText(desktop).contains(u"\nIcon=brandle\n"_s));
        for (const QString& program : {u"bin/brandle"_s, u"lib/brandle/brandle-web"_s}) {
            const ProgramRun ldd = runProgram(u"ldd"_s, {installed(program)});
            for (const QString& library : {u"libbrandle_core.so"_s, u"libbrandle_gui.so"_s}) {
                const auto m =
                    QRegularExpression(QRegularExpression::escape(library) + u" => (\\S+)"_s)
                        .match(ldd.out);
                QVERIFY2(m.hasMatch(), qPrintable(program + ldd.out));
                QCOMPARE(QDir::cleanPath(m.captured(1)), installed(u"lib/brandle/"_s + library));
            }
        }
    }

    // brandle-check logs into the data folder in the home; brandle-report reads it there.
    void checkThenReport()
    {
        const ProgramRun check =
            runProgram(installed(u"bin/brandle-check"_s), {u"Example.com"_s}, m_env);
        QVERIFY2(check.exitCode == 0, qPrintable(check.err));
        QVERIFY2(check.out.contains(u"Page: "_s + m_data + u"/ParloMsg.html"_s),
                 qPrintable(check.out));
        const QString day = QDate::currentDate().toString(Qt::ISODate);
        const ProgramRun report =
            runProgram(installed(u"bin/brandle-report"_s), {u"example.com"_s, day, day}, m_env);
        QVERIFY2(report.exitCode == 0, qPrintable(report.err));
        const QRegularExpression oneDay(u"^date,count\n%1,[1-9][0-9]*\n$"_s.arg(day));
        QVERIFY2(report.out.contains(oneDay), qPrintable(report.out));
    }

    // brandle logs into the data folder, shows the page through the installed helper and speaks
    // the user's language from the installed translation (here: that there is no tray).
    void trayProgram()
    {
        const QString page = m_data + u"/ParloMsg.html"_s;
        const QString log =
            m_data + u"/LinkLogs/"_s + LocaleText::mmddyy(QDate::currentDate()) + u".lox"_s;
        QFile::remove(page);
        QFile::remove(log);
        QProcessEnvironment german = m_env;
        german.insert(u"LANG"_s, u"de_DE.UTF-8"_s);
        german.remove(u"LC_ALL"_s);
        QProcess brandle;
        brandle.setProcessEnvironment(german);
        brandle.start(installed(u"bin/brandle"_s), {u"--demo"_s, u"example.org"_s});
        QTRY_VERIFY_WITH_TIMEOUT(readText(page).contains(u"example.org"_s), WaitMs);
        QVERIFY2(readText(log).startsWith(u"<Results Site=\"example.org\" Total=\""_s),
                 qPrintable(readText(log)));
        QTRY_VERIFY_WITH_TIMEOUT(
            childPrograms(brandle.processId()).contains(installed(u"lib/brandle/brandle-web"_s)),
            WaitMs);
        brandle.terminate();
        QVERIFY(brandle.waitForFinished(WaitMs));
        QCOMPARE(brandle.exitCode(), 0);
        const QString err = QString::fromLocal8Bit(brandle.readAllStandardError());
        QVERIFY2(err.contains(u"Brandle: Es wurde kein Infobereich (Tray) gefunden"_s) &&
                     !err.contains(u"cannot be"_s),
                 qPrintable(err));
    }
};

BRANDLE_TEST(TestInstall)
#include "tst_install.moc"

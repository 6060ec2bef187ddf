// SPDX-License-Identifier: MIT
#include "TestMain.h"
#include "TestSupport.h"

#include "platform/HostStarter.h"
#include "platform/Http.h"
#include "platform/Paths.h"
#include "platform/mConstants.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace brandle;

namespace {

constexpr QFile::Permissions OwnerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                         QFile::ReadUser | QFile::WriteUser | QFile::ExeUser;
constexpr QFile::Permissions OpenToAll = OwnerOnly | QFile::ReadGroup | QFile::WriteGroup |
                                         QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther |
                                         QFile::ExeOther;

enum class Address { Quiet, Answering, Remote };   // the default service host
enum class Program { RealHost, EndsAtOnce, None }; // what is installed as brandle-host
enum class Variable { Unset, Default, Other };     // what BRANDLE_SERVICE_HOST names

bool statusAnswers(const QString& hostPort)
{
    HttpOptions quick;
    quick.totalTimeoutMs = WaitMs;
    return httpGet("http://"_L1 + hostPort + mConstants::StatusPath, quick).ok();
}

} // namespace

Q_DECLARE_METATYPE(Address)
Q_DECLARE_METATYPE(Program)
Q_DECLARE_METATYPE(Variable)
Q_DECLARE_METATYPE(HostStarter::Outcome)

class TestPaths : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    int m_row = 0;

private slots:
    // Every program keeps its page and log in one folder, the data folder, never in an
    // installed bin/ folder; a portable copy keeps them beside its executable.
    void programFolder()
    {
        const QDir sandbox(m_dir.filePath(u"programs"_s));
        const QString bin = sandbox.filePath(u"bin"_s);
        QVERIFY(QDir().mkpath(bin));
        const ScopedEnv brandleHome("BRANDLE_HOME", QByteArray());
        const ScopedEnv xdgDataHome("XDG_DATA_HOME", sandbox.filePath(u"data"_s).toUtf8());
        const QString name = QCoreApplication::applicationName();
        QCoreApplication::setApplicationName(u"brandle-report"_s);
        const QString installed = Paths::programFolderBeside(bin);
        QCoreApplication::setApplicationName(name);
        QCOMPARE(installed, sandbox.filePath(u"data/brandle"_s));
        QVERIFY(QFileInfo(installed).isDir());
        QVERIFY(writeFile(bin + u"/brandle-portable"_s, {}));
        QCOMPARE(Paths::programFolderBeside(bin), bin);
    }

    // The folder of the single-instance socket: only ever one that nobody but the user can enter.
    void privateRuntimeFolder_data()
    {
        QTest::addColumn<QString>("runtime");  // XDG_RUNTIME_DIR: "open", "relative" or unset
        QTest::addColumn<QString>("existing"); // at TMPDIR/brandle-<uid> beforehand
        QTest::addColumn<bool>("cacheOpen");   // XDG_CACHE_HOME/brandle-<uid> open to others
        QTest::addColumn<QString>("used");     // "tmp", "cache" or "" for none
        // clang-format off
        QTest::newRow("runtime folder open to others") << "open" << "" << false << "tmp";
        QTest::newRow("relative runtime folder") << "relative" << "" << false << "tmp";
        QTest::newRow("no runtime folder: own folder made") << "" << "" << false << "tmp";
        QTest::newRow("own folder from an earlier run") << "" << "private folder" << false << "tmp";
        QTest::newRow("own folder open to others") << "" << "open folder" << false << "cache";
        QTest::newRow("own folder is a link") << "" << "link" << false << "cache";
        QTest::newRow("own folder belongs to someone else") << "" << "someone else's" << false
                                                            << "cache";
        QTest::newRow("cache folder open to others too") << "" << "open folder" << true << "";
        // clang-format on
    }
    void privateRuntimeFolder()
    {
        QFETCH(QString, runtime);
        QFETCH(QString, existing);
        QFETCH(bool, cacheOpen);
        QFETCH(QString, used);
        if (existing == u"someone else's"_s && ::geteuid() != 0)
            QSKIP("only root can make a folder that belongs to another user");
        const QString base = m_dir.filePath(QString::number(++m_row));
        const QString tmp = base + u"/tmp"_s, runtimeDir = base + u"/run"_s;
        const QString name = u"/brandle-"_s + QString::number(::geteuid());
        const QString own = tmp + name, cached = base + u"/cache"_s + name;
        QVERIFY(QDir().mkpath(tmp) && QDir().mkpath(runtimeDir));
        QVERIFY(QFile::setPermissions(runtimeDir, runtime == u"open"_s ? OpenToAll : OwnerOnly));
        if (existing == u"link"_s) {
            QVERIFY(QFile::link(runtimeDir, own));
        } else if (!existing.isEmpty()) {
            QVERIFY(QDir().mkpath(own));
            QVERIFY(
                QFile::setPermissions(own, existing == u"open folder"_s ? OpenToAll : OwnerOnly));
            if (existing == u"someone else's"_s)
                QCOMPARE(::chown(QFile::encodeName(own).constData(), 65534, 65534), 0);
        }
        QVERIFY(!cacheOpen || (QDir().mkpath(cached) && QFile::setPermissions(cached, OpenToAll)));
        const ScopedEnv tmpEnv("TMPDIR", QFile::encodeName(tmp));
        const ScopedEnv cacheEnv("XDG_CACHE_HOME", QFile::encodeName(base + u"/cache"_s));
        const ScopedEnv runtimeEnv(
            "XDG_RUNTIME_DIR", QFile::encodeName(runtime == u"relative"_s ? u"run"_s : runtimeDir));
        if (runtime.isEmpty())
            qunsetenv("XDG_RUNTIME_DIR");
        const QString expected = used == u"tmp"_s ? own : used == u"cache"_s ? cached : QString();
        QCOMPARE(Paths::privateRuntimeFolder(), expected);
        if (!expected.isEmpty())
            QCOMPARE(QFile::permissions(expected), OwnerOnly);
    }

    // The installed host is started once when the default local address does not answer.
    void startHost_data()
    {
        QTest::addColumn<Address>("address");
        QTest::addColumn<Program>("program");
        QTest::addColumn<Variable>("variable");
        QTest::addColumn<HostStarter::Outcome>("outcome");
        using O = HostStarter::Outcome;
        QTest::newRow("nothing answers: started")
            << Address::Quiet << Program::RealHost << Variable::Unset << O::Started;
        QTest::newRow("variable names the default: started")
            << Address::Quiet << Program::RealHost << Variable::Default << O::Started;
        QTest::newRow("variable names another host")
            << Address::Quiet << Program::RealHost << Variable::Other << O::OtherHost;
        QTest::newRow("a host answers already")
            << Address::Answering << Program::RealHost << Variable::Unset << O::Answering;
        QTest::newRow("default on another machine")
            << Address::Remote << Program::RealHost << Variable::Unset << O::OtherHost;
        QTest::newRow("not installed")
            << Address::Quiet << Program::None << Variable::Unset << O::NotInstalled;
        QTest::newRow("host ends at once")
            << Address::Quiet << Program::EndsAtOnce << Variable::Unset << O::Failed;
    }
    void startHost()
    {
        QFETCH(Address, address);
        QFETCH(Program, program);
        QFETCH(Variable, variable);
        QFETCH(HostStarter::Outcome, outcome);
        FakeServiceHost answering;
        answering.start();
        const QString defaultHost = address == Address::Quiet       ? deadHostPort()
                                    : address == Address::Answering ? answering.hostPort()
                                                                    : u"192.0.2.1:8750"_s;
        QTemporaryDir dir;
        const QString calls = dir.filePath(u"calls"_s);
        HostStarter::Setup setup{defaultHost, dir.filePath(u"brandle-host"_s), WaitMs};
        if (program == Program::None) {
            setup.program.clear();
        } else { // a script that notes its arguments and runs the real host with demo engines
            QVERIFY(writeFile(setup.program,
                              "#!/bin/sh\necho \"$@\" >>'" + QFile::encodeName(calls) + "'\n" +
                                  (program == Program::RealHost ? "exec '" BRANDLE_HOST_BIN
                                                                  "' --demo \"$@\"\n"
                                                                : "exit 3\n")));
            QVERIFY(QFile::setPermissions(setup.program, QFile::ReadOwner | QFile::ExeOwner));
        }
        const ScopedEnv env("BRANDLE_SERVICE_HOST", variable == Variable::Unset ? QByteArray()
                                                    : variable == Variable::Default
                                                        ? defaultHost.toUtf8()
                                                        : answering.hostPort().toUtf8());
        {
            HostStarter starter(setup);
            QCOMPARE(starter.startIfNeeded(u"test"_s), outcome);
            const bool started = outcome == HostStarter::Outcome::Started;
            if (address != Address::Remote)
                QCOMPARE(statusAnswers(defaultHost), started || address == Address::Answering);
            QCOMPARE(starter.startIfNeeded(u"test"_s), HostStarter::Outcome::AlreadyTried);
            QCOMPARE(readText(calls),
                     started || outcome == HostStarter::Outcome::Failed
                         ? u"--bind 127.0.0.1 --port %1\n"_s.arg(defaultHost.section(u':', -1))
                         : u"<missing>"_s);
            if (started)
                QVERIFY(readText(Paths::inProgramFolder(u"brandle-host.log"_s))
                            .contains(u"listening on http://"_s + defaultHost));
        }
        if (address == Address::Quiet)
            QVERIFY(!statusAnswers(defaultHost));
    }
};

BRANDLE_TEST(TestPaths)
#include "tst_paths.moc"

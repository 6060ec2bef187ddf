// SPDX-License-Identifier: MIT
#include "TestMain.h"
#include "TestSupport.h"

#include "platform/HostStarter.h"
#include "platform/Http.h"
#include "platform/Paths.h"
#include "platform/mConstants.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace brandle;

namespace {

// Where the default service host is.
enum class Address {
    Quiet,     // a local port where nothing answers
    Answering, // a local port where a host answers already
    Remote,    // another machine
};

// What is installed as brandle-host.
enum class Program {
    RealHost, // a script that notes its arguments and runs the real brandle-host (demo engines)
    EndsAtOnce,
    None,
};

// What BRANDLE_SERVICE_HOST says.
enum class Variable {
    Unset,
    Default, // the default address itself
    Other,   // another host
};

bool statusAnswers(const QString& hostPort)
{
    HttpOptions quick;
    quick.connectTimeoutMs = 1000;
    quick.totalTimeoutMs = 2000;
    return httpGet("http://"_L1 + hostPort + mConstants::StatusPath, quick).ok();
}

} // namespace

Q_DECLARE_METATYPE(Address)
Q_DECLARE_METATYPE(Program)
Q_DECLARE_METATYPE(Variable)
Q_DECLARE_METATYPE(HostStarter::Outcome)

// The programs start the installed service host when theirs is the default local address and
// nothing answers there; the host ends with them.
class TestHostStarter : public QObject {
    Q_OBJECT
private slots:
    void startIfNeeded_data()
    {
        QTest::addColumn<Address>("address");
        QTest::addColumn<Program>("program");
        QTest::addColumn<Variable>("variable");
        QTest::addColumn<HostStarter::Outcome>("outcome");
        using O = HostStarter::Outcome;
        // clang-format off
        QTest::newRow("nothing answers: started") << Address::Quiet << Program::RealHost
                                                  << Variable::Unset << O::Started;
        QTest::newRow("variable names the default: started") << Address::Quiet << Program::RealHost
                                                             << Variable::Default << O::Started;
        QTest::newRow("variable names another host") << Address::Quiet << Program::RealHost
                                                     << Variable::Other << O::OtherHost;
        QTest::newRow("a host answers already") << Address::Answering << Program::RealHost
                                                << Variable::Unset << O::Answering;
        QTest::newRow("default on another machine") << Address::Remote << Program::RealHost
                                                    << Variable::Unset << O::OtherHost;
        QTest::newRow("not installed") << Address::Quiet << Program::None << Variable::Unset
                                       << O::NotInstalled;
        QTest::newRow("host ends at once") << Address::Quiet << Program::EndsAtOnce
                                           << Variable::Unset << O::Failed;
        // clang-format on
    }
    void startIfNeeded()
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
        HostStarter::Setup setup{defaultHost, dir.filePath(u"brandle-host"_s), 5000};
        if (program == Program::None) {
            setup.program.clear();
        } else {
            const QByteArray run = program == Program::RealHost ? "exec '" BRANDLE_HOST_BIN
                                                                  "' --demo \"$@\"\n"
                                                                : QByteArray("exit 3\n");
            QVERIFY(writeFile(setup.program, "#!/bin/sh\necho \"$@\" >>'" +
                                                 QFile::encodeName(calls) + "'\n" + run));
            QVERIFY(QFile::setPermissions(setup.program, QFile::ReadOwner | QFile::ExeOwner));
        }
        const ScopedEnv env("BRANDLE_SERVICE_HOST", variable == Variable::Unset ? QByteArray()
                                                    : variable == Variable::Default
                                                        ? defaultHost.toUtf8()
                                                        : answering.hostPort().toUtf8());
        const QString port = defaultHost.section(u':', -1);
        {
            HostStarter starter(setup);
            QCOMPARE(starter.startIfNeeded(u"test"_s), outcome);
            const bool started = outcome == HostStarter::Outcome::Started;
            if (address != Address::Remote)
                QCOMPARE(statusAnswers(defaultHost), started || address == Address::Answering);
            // Once per start, with the default address.
            QCOMPARE(starter.startIfNeeded(u"test"_s), HostStarter::Outcome::AlreadyTried);
            const bool ran = started || outcome == HostStarter::Outcome::Failed;
            QCOMPARE(readText(calls),
                     ran ? u"--bind 127.0.0.1 --port %1\n"_s.arg(port) : u"<missing>"_s);
            // Its output goes to a log in the program's folder.
            if (started)
                QVERIFY(readText(Paths::inProgramFolder(u"brandle-host.log"_s))
                            .contains(u"listening on http://"_s + defaultHost));
        }
        // The host it started ends with it.
        if (address == Address::Quiet)
            QVERIFY(!statusAnswers(defaultHost));
    }
};

BRANDLE_TEST(TestHostStarter)
#include "tst_hoststarter.moc"

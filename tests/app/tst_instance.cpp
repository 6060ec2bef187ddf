// SPDX-License-Identifier: MIT
#include "TestMain.h"
#include "TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>
#include <cstring>
#include <memory>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

using namespace Qt::StringLiterals;
using namespace brandle;

namespace {

// True when a program listens on the socket at path.
bool answers(const QString& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path).left(sizeof(address.sun_path) - 1);
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const bool connected =
        ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    ::close(fd);
    return connected;
}

constexpr QFile::Permissions OwnerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                         QFile::ReadUser | QFile::WriteUser | QFile::ExeUser;

bool makeFolder(const QString& path)
{
    return QDir().mkpath(path) && QFile::setPermissions(path, OwnerOnly);
}

enum class Leftover { None, KilledCopy, PlainFile };

} // namespace

Q_DECLARE_METATYPE(Leftover)

// Real brandle copies (offscreen) of one user: own settings and folders, one socket folder.
class TestSingleInstance : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    int m_copy = 0;
    std::vector<std::unique_ptr<QProcess>> m_processes;

    // A copy started with the runtime folder ("" unset), USER ("" unset) and TMPDIR given.
    QProcess* start(const QString& runtime, const QString& user, const QString& tmp)
    {
        const QString own = m_dir.filePath(u"copy%1"_s.arg(++m_copy));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        env.insert(u"XDG_CONFIG_HOME"_s, own + u"/config"_s);
        env.insert(u"XDG_DATA_HOME"_s, own + u"/data"_s);
        env.insert(u"BRANDLE_HOME"_s, own + u"/home"_s);
        env.insert(u"BRANDLE_SERVICE_HOST"_s, deadHostPort());
        env.insert(u"TMPDIR"_s, tmp);
        for (const auto& [name, value] :
             {std::pair(u"XDG_RUNTIME_DIR"_s, runtime), std::pair(u"USER"_s, user)})
            value.isEmpty() ? env.remove(name) : env.insert(name, value);
        auto& process = m_processes.emplace_back(std::make_unique<QProcess>());
        process->setProcessEnvironment(env);
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(QString::fromUtf8(BRANDLE_BIN), {});
        return process.get();
    }

    static int running(const QList<QProcess*>& copies)
    {
        return int(std::count_if(copies.begin(), copies.end(),
                                 [](QProcess* p) { return p->state() != QProcess::NotRunning; }));
    }

private slots:
    void cleanup()
    {
        for (auto& p : m_processes) {
            p->kill();
            p->waitForFinished(5000);
        }
        m_processes.clear();
    }

    // Of copies started at once exactly one stays; ended by a signal (a lone copy while still
    // starting), it ends normally and leaves neither socket nor lock.
    void oneOfManyStays_data()
    {
        QTest::addColumn<int>("copies");
        QTest::addColumn<int>("rounds");
        QTest::addColumn<int>("stopSignal");
        QTest::newRow("4 at once, ended by SIGTERM") << 4 << 5 << int(SIGTERM);
        QTest::newRow("6 at once, ended by SIGINT") << 6 << 3 << int(SIGINT);
        QTest::newRow("1, ended by SIGTERM while starting") << 1 << 5 << int(SIGTERM);
    }
    void oneOfManyStays()
    {
        QFETCH(int, copies);
        QFETCH(int, rounds);
        QFETCH(int, stopSignal);
        const QString runtime = m_dir.filePath(u"run-many-%1"_s.arg(copies));
        QVERIFY(makeFolder(runtime));
        const QString socket = runtime + u"/brandle-racer"_s;
        for (int round = 0; round < rounds; ++round) {
            QList<QProcess*> started;
            for (int i = 0; i < copies; ++i)
                started << start(runtime, u"racer"_s, m_dir.path());
            if (copies == 1) {
                QElapsedTimer waited;
                waited.start();
                while (!answers(socket) && waited.elapsed() < WaitMs)
                    QThread::usleep(500);
            } else {
                // The copies that ended found the one that stays.
                QTRY_VERIFY_WITH_TIMEOUT(running(started) <= 1, WaitMs);
            }
            QCOMPARE(running(started), 1);
            QVERIFY(answers(socket));
            for (QProcess* p : started) {
                if (p->state() == QProcess::NotRunning)
                    QCOMPARE(p->exitStatus() == QProcess::NormalExit ? p->exitCode() : -1, 0);
            }
            QProcess* stays = *std::find_if(started.begin(), started.end(), [](QProcess* p) {
                return p->state() != QProcess::NotRunning;
            });
            ::kill(pid_t(stays->processId()), stopSignal);
            QVERIFY(stays->waitForFinished(WaitMs));
            QCOMPARE(stays->exitStatus(), QProcess::NormalExit);
            QCOMPARE(stays->exitCode(), 0);
            QCOMPARE(QDir(runtime).entryList(QDir::AllEntries | QDir::System | QDir::Hidden |
                                             QDir::NoDotAndDotDot),
                     QStringList());
            m_processes.clear();
        }
    }

    // Where the socket goes and what a start does with what it finds there.
    void socketPlace_data()
    {
        QTest::addColumn<QString>("runtime"); // "private" or "unset"
        QTest::addColumn<QString>("user");    // the USER of the copies, "" for unset
        QTest::addColumn<Leftover>("leftover");
        QTest::addColumn<QString>("socket"); // %R the runtime folder, %T the temporary folder
        const QString byId = u"brandle-"_s + QString::number(::geteuid());
        // clang-format off
        QTest::newRow("runtime folder, named after USER")
            << "private" << "alice" << Leftover::None << "%R/brandle-alice";
        QTest::newRow("USER unset: named after the user id")
            << "private" << "" << Leftover::None << u"%R/"_s + byId;
        QTest::newRow("USER that is a path: named after the user id")
            << "private" << "../alice" << Leftover::None << u"%R/"_s + byId;
        QTest::newRow("no runtime folder: a private folder in the temporary folder")
            << "unset" << "alice" << Leftover::None << u"%T/"_s + byId + u"/brandle-alice"_s;
        QTest::newRow("the socket of a killed copy is taken over")
            << "private" << "alice" << Leftover::KilledCopy << "%R/brandle-alice";
        QTest::newRow("a plain file where the socket goes is replaced")
            << "private" << "alice" << Leftover::PlainFile << "%R/brandle-alice";
        // clang-format on
    }
    void socketPlace()
    {
        QFETCH(QString, runtime);
        QFETCH(QString, user);
        QFETCH(Leftover, leftover);
        QFETCH(QString, socket);
        // Short names: a socket's path holds at most 107 bytes.
        const QString runtimeDir = m_dir.filePath(u"r%1"_s.arg(m_copy));
        const QString tmp = m_dir.filePath(u"t%1"_s.arg(m_copy));
        QVERIFY(QDir().mkpath(tmp));
        if (runtime != u"unset"_s)
            QVERIFY(makeFolder(runtimeDir));
        const QString runtimeEnv = runtime == u"unset"_s ? QString() : runtimeDir;
        socket.replace(u"%R"_s, runtimeDir).replace(u"%T"_s, tmp);
        if (leftover == Leftover::KilledCopy) {
            QProcess* killed = start(runtimeEnv, user, tmp);
            QTRY_VERIFY_WITH_TIMEOUT(answers(socket), WaitMs);
            killed->kill();
            QVERIFY(killed->waitForFinished(WaitMs));
            QVERIFY(QFile::exists(socket));
        } else if (leftover == Leftover::PlainFile) {
            QVERIFY(writeFile(socket, "not a socket"));
        }

        QVERIFY(!answers(socket));
        QProcess* first = start(runtimeEnv, user, tmp);
        QTRY_VERIFY_WITH_TIMEOUT(answers(socket), WaitMs);
        QProcess* second = start(runtimeEnv, user, tmp);
        QVERIFY(second->waitForFinished(WaitMs));
        QCOMPARE(second->exitCode(), 0);
        QCOMPARE(first->state(), QProcess::Running);
        if (socket.startsWith(tmp))
            QCOMPARE(QFileInfo(QFileInfo(socket).path()).permissions() & ~OwnerOnly,
                     QFile::Permissions());
    }
};

BRANDLE_TEST(TestSingleInstance)
#include "tst_instance.moc"

// SPDX-License-Identifier: MIT
#include "TestMain.h"
#include "TestSupport.h"

#include "platform/Paths.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace brandle;

namespace {

constexpr QFile::Permissions OwnerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                         QFile::ReadUser | QFile::WriteUser | QFile::ExeUser;
constexpr QFile::Permissions OpenToAll = OwnerOnly | QFile::ReadGroup | QFile::WriteGroup |
                                         QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther |
                                         QFile::ExeOther;

} // namespace

// The folder of the single-instance socket: only ever one that nobody but the user can enter.
class TestRuntimeFolder : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    int m_row = 0;

private slots:
    void privateRuntimeFolder_data()
    {
        QTest::addColumn<QString>("runtime");  // XDG_RUNTIME_DIR: "private", "open", "relative"
                                               // or "" for unset
        QTest::addColumn<QString>("existing"); // what is at TMPDIR/brandle-<uid> beforehand:
                                               // "", "private folder", "open folder", "link",
                                               // "someone else's"
        QTest::addColumn<QString>("result");   // "runtime", "own" or "" for none
        // clang-format off
        QTest::newRow("private runtime folder") << "private" << "" << "runtime";
        QTest::newRow("runtime folder open to others") << "open" << "" << "own";
        QTest::newRow("relative runtime folder") << "relative" << "" << "own";
        QTest::newRow("no runtime folder: own folder made") << "" << "" << "own";
        QTest::newRow("own folder from an earlier run") << "" << "private folder" << "own";
        QTest::newRow("own folder open to others") << "" << "open folder" << "";
        QTest::newRow("own folder is a link") << "" << "link" << "";
        QTest::newRow("own folder belongs to someone else") << "" << "someone else's" << "";
        // clang-format on
    }
    void privateRuntimeFolder()
    {
        QFETCH(QString, runtime);
        QFETCH(QString, existing);
        QFETCH(QString, result);
        if (existing == u"someone else's"_s && ::geteuid() != 0)
            QSKIP("only root can make a folder that belongs to another user");

        const QString base = m_dir.filePath(QString::number(++m_row));
        const QString tmp = base + u"/tmp"_s;
        const QString runtimeDir = base + u"/run"_s;
        const QString own = tmp + u"/brandle-"_s + QString::number(::geteuid());
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

        const ScopedEnv tmpEnv("TMPDIR", QFile::encodeName(tmp));
        const QString runtimeValue = runtime == u"relative"_s ? u"run"_s : runtimeDir;
        const ScopedEnv runtimeEnv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeValue));
        if (runtime.isEmpty())
            qunsetenv("XDG_RUNTIME_DIR");

        const QString expected = result == u"runtime"_s ? runtimeDir
                                 : result == u"own"_s   ? own
                                                        : QString();
        QCOMPARE(Paths::privateRuntimeFolder(), expected);
        if (result == u"own"_s)
            QCOMPARE(QFile::permissions(own), OwnerOnly);
    }
};

BRANDLE_TEST(TestRuntimeFolder)
#include "tst_runtimefolder.moc"

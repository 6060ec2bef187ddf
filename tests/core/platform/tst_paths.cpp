// SPDX-License-Identifier: MIT
#include "TestMain.h"
#include "TestSupport.h"

#include "platform/Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace brandle;

// Every program keeps its page and log in one folder: never an installed bin/ folder.
class TestPaths : public QObject {
    Q_OBJECT
private slots:
    void programFolder_data()
    {
        QTest::addColumn<QString>("home");     // BRANDLE_HOME
        QTest::addColumn<QString>("dataHome"); // XDG_DATA_HOME
        QTest::addColumn<bool>("marker");      // brandle-portable beside the executable
        QTest::addColumn<QString>("program");  // the application name
        QTest::addColumn<QString>("expected"); // under the sandbox; "bin" is the executable's
        // clang-format off
        QTest::newRow("BRANDLE_HOME wins") << "home" << "data" << true << "brandle" << "home";
        QTest::newRow("installed: the data folder") << "" << "data" << false << "brandle"
                                                    << "data/brandle";
        QTest::newRow("installed, another program") << "" << "data" << false << "brandle-report"
                                                    << "data/brandle";
        QTest::newRow("installed, no XDG_DATA_HOME") << "" << "" << false << "brandle-check"
                                                     << "userhome/.local/share/brandle";
        QTest::newRow("portable copy") << "" << "data" << true << "brandle-check" << "bin";
        // clang-format on
    }
    void programFolder()
    {
        QFETCH(QString, home);
        QFETCH(QString, dataHome);
        QFETCH(bool, marker);
        QFETCH(QString, program);
        QFETCH(QString, expected);
        QTemporaryDir sandbox;
        const QString bin = sandbox.filePath(u"bin"_s);
        QVERIFY(QDir().mkpath(bin));
        if (marker)
            QVERIFY(writeFile(bin + u"/brandle-portable"_s, {}));
        const auto inSandbox = [&](const QString& name) {
            return name.isEmpty() ? QByteArray() : sandbox.filePath(name).toUtf8();
        };
        const ScopedEnv brandleHome("BRANDLE_HOME", inSandbox(home));
        const ScopedEnv xdgDataHome("XDG_DATA_HOME", inSandbox(dataHome));
        const ScopedEnv userHome("HOME", inSandbox(u"userhome"_s));
        const QString name = QCoreApplication::applicationName();
        QCoreApplication::setApplicationName(program);
        const QString folder = Paths::programFolderBeside(bin);
        QCoreApplication::setApplicationName(name);
        QCOMPARE(folder, sandbox.filePath(expected));
        QVERIFY(QFileInfo(folder).isDir());
    }
};

BRANDLE_TEST(TestPaths)
#include "tst_paths.moc"

// SPDX-License-Identifier: MIT
#include "TestMain.h"
#include "TestSupport.h"

#include "platform/LocaleText.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace brandle;

// brandle-host serves; brandle starts with a stored primary site and automatic checks on, counts
// it, writes the page and a log line; a second brandle ends at once.
class TestEndToEnd : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QProcess m_host;
    QProcessEnvironment m_env = QProcessEnvironment::systemEnvironment();

private slots:
    void initTestCase()
    {
        m_host.start(QString::fromUtf8(BRANDLE_HOST_BIN), {u"--demo"_s, u"--port"_s, u"0"_s});
        QTRY_VERIFY_WITH_TIMEOUT(m_host.canReadLine(), 10000);
        const QString line = QString::fromUtf8(m_host.readLine());
        const auto m = QRegularExpression(u"http://([0-9.]+:[0-9]+)"_s).match(line);
        QVERIFY2(m.hasMatch(), qPrintable(line));
        m_env.insert(u"BRANDLE_SERVICE_HOST"_s, m.captured(1));
        m_env.insert(u"XDG_CONFIG_HOME"_s, m_dir.filePath(u"config"_s));
        m_env.insert(u"BRANDLE_HOME"_s, m_dir.filePath(u"home"_s));
        m_env.insert(u"USER"_s, u"e2e-"_s + QString::number(QCoreApplication::applicationPid()));
        // The single-instance socket goes into the test's own folder, and goes with it.
        m_env.insert(u"XDG_RUNTIME_DIR"_s, m_dir.path());

        QSettings store(m_dir.filePath(u"config/Quenta App Loader.conf"_s), QSettings::IniFormat);
        store.setValue(u"ParloApp/URL1"_s, u"http://Example.com"_s);
        store.setValue(u"ParloApp/EnbLog"_s, u"1"_s);
        store.setValue(u"ParloApp/HrCks"_s, u"1"_s);
    }

    void cleanupTestCase()
    {
        m_host.terminate();
        m_host.waitForFinished(3000);
    }

    void startsCountsAndLogs()
    {
        QProcess brandle;
        brandle.setProcessEnvironment(m_env);
        brandle.start(QString::fromUtf8(BRANDLE_BIN), {});
        const QString page = m_dir.filePath(u"home/ParloMsg.html"_s);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(page), 30000);
        const QString log = m_dir.filePath(u"home/LinkLogs/"_s) +
                            LocaleText::mmddyy(QDate::currentDate()) + u".lox"_s;
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(log), 10000);
        QVERIFY2(readText(log).startsWith(u"<Results Site=\"example.com\" Total=\""_s),
                 qPrintable(readText(log)));
        QVERIFY(readText(page).contains(u"Alpha Search"_s));

        QProcess second;
        second.setProcessEnvironment(m_env);
        second.start(QString::fromUtf8(BRANDLE_BIN), {});
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(brandle.state(), QProcess::Running);
        brandle.terminate();
        QVERIFY(brandle.waitForFinished(10000));
        QCOMPARE(brandle.exitCode(), 0);
        QVERIFY(!QFile::exists(m_dir.filePath(m_env.value(u"USER"_s).prepend(u"brandle-"_s))));
    }
};

BRANDLE_TEST(TestEndToEnd)
#include "tst_e2e.moc"

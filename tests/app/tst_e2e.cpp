// SPDX-License-Identifier: MIT
// The real programs together: brandle-host serves, brandle starts with a stored primary site and
// automatic checks on, counts it, writes the page and a log line; a second brandle ends at once.
#include "TestMain.h"

#include "platform/LocaleText.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <signal.h>

using namespace Qt::Literals::StringLiterals;

class TestEndToEnd : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QProcess m_host;
    QString m_hostPort;

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"XDG_CONFIG_HOME"_s, m_dir.filePath(u"config"_s));
        env.insert(u"BRANDLE_HOME"_s, m_dir.filePath(u"home"_s));
        env.insert(u"BRANDLE_SERVICE_HOST"_s, m_hostPort);
        env.insert(u"USER"_s,
                   u"brandle-e2e-"_s + QString::number(QCoreApplication::applicationPid()));
        return env;
    }

private slots:
    void initTestCase()
    {
        m_host.start(QStringLiteral(BRANDLE_HOST_BIN), {u"--port"_s, u"0"_s});
        QVERIFY(m_host.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(m_host.canReadLine(), 10000);
        const QString line = QString::fromUtf8(m_host.readLine());
        const QRegularExpressionMatch m =
            QRegularExpression(u"http://([0-9.]+:[0-9]+)"_s).match(line);
        QVERIFY2(m.hasMatch(), qPrintable(line));
        m_hostPort = m.captured(1);

        // The stored settings of a user who saved example.com with automatic checks on.
        QSettings store(m_dir.filePath(u"config/Quenta App Loader.conf"_s), QSettings::IniFormat);
        store.setValue(u"ParloApp/URL1"_s, u"http://Example.com"_s);
        store.setValue(u"ParloApp/EnbLog"_s, u"1"_s);
        store.setValue(u"ParloApp/HrCks"_s, u"1"_s);
        store.setValue(u"ParloApp/SndClps"_s, u"0"_s);
        store.setValue(u"ParloApp/WinTop"_s, u"1"_s);
        store.sync();
    }

    void cleanupTestCase()
    {
        m_host.terminate();
        m_host.waitForFinished(3000);
    }

    void startsCountsAndLogs()
    {
        QProcess brandle;
        brandle.setProcessEnvironment(environment());
        brandle.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        brandle.start(QStringLiteral(BRANDLE_BIN), {});
        QVERIFY(brandle.waitForStarted());

        const QString page = m_dir.filePath(u"home/ParloMsg.html"_s);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(page), 30000);
        const QString logFile = m_dir.filePath(u"home/LinkLogs/"_s) +
                                LocaleText::mmddyy(QDate::currentDate()) + u".lox"_s;
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(logFile), 10000);
        QFile log(logFile);
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray line = log.readAll();
        QVERIFY2(line.startsWith("<Results Site=\"example.com\" Total=\""), line.constData());
        QVERIFY(line.endsWith("</Results>\r\n"));
        QFile html(page);
        QVERIFY(html.open(QIODevice::ReadOnly));
        QVERIFY(html.readAll().contains("Alpha Search"));

        // A second copy finds the first one and ends at once.
        QProcess second;
        second.setProcessEnvironment(environment());
        second.start(QStringLiteral(BRANDLE_BIN), {});
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(brandle.state(), QProcess::Running);

        brandle.terminate();
        QVERIFY(brandle.waitForFinished(10000));
    }
};

BRANDLE_TEST(TestEndToEnd)
#include "tst_e2e.moc"

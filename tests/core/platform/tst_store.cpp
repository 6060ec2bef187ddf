// SPDX-License-Identifier: MIT
#include "TestMain.h"
#include "TestSupport.h"

#include "platform/Errors.h"
#include "platform/Store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

using namespace brandle;

namespace {

// QSettings caches a file by path until its size or time changes: each look reads a fresh copy.
QString freshCopy(const QString& path)
{
    static int n = 0;
    static QTemporaryDir dir;
    const QString copy = dir.filePath(u"copy%1.conf"_s.arg(++n));
    QFile::copy(path, copy);
    return copy;
}

} // namespace

class TestStore : public QObject {
    Q_OBJECT

private slots:
    void init() { clearStore(); }

    // Keys and values the syntax escapes stay one key and read the same through QSettings.
    void roundTrip_data()
    {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        // clang-format off
        QTest::newRow("engine name with slash") << "LinkEng" << "Eng-A/B" << "7";
        QTest::newRow("engine name with backslash") << "LinkEng" << "Eng-A\\B" << "8";
        QTest::newRow("engine name with percent") << "LinkEng" << "Eng-100%25" << "9";
        QTest::newRow("engine name beyond ASCII") << "LinkEng" << "Eng-Café 検索 😀" << "10";
        QTest::newRow("value with separators") << "ParloApp" << "URLGet3" << "a=b;c,d [é]";
        QTest::newRow("value with blanks at the ends") << "ParloApp" << "URLGet1" << "  x y  ";
        QTest::newRow("value with quotes and backslashes") << "ParloApp" << "URLGet2"
                                                           << "say \"hi\" \\ \\\\n";
        QTest::newRow("value with control characters") << "ParloApp" << "URLGet4"
                                                       << "a\tb\nc\r\x01" "f\x1f" "0\x7f";
        QTest::newRow("value starting with @") << "ParloApp" << "URLGet5" << "@Invalid()";
        QTest::newRow("value beyond Latin-1") << "ParloApp" << "URLGet7" << "Résultats 検索 😀";
        // clang-format on
    }
    void roundTrip()
    {
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QVERIFY(SaveAppSetting(section, u"Eng-A"_s, u"kept"_s));
        QVERIFY(SaveAppSetting(section, key, value));
        QCOMPARE(GetAppSetting(section, key), value);

        // QSettings reads what the store wrote under the same key ...
        const QString path = section + u'/' + key;
        {
            QSettings file(freshCopy(StoreSession::filePath()), QSettings::IniFormat);
            QCOMPARE(file.allKeys().size(), 2);
            QCOMPARE(file.value(path).toString(), value);
        }
        // ... and the store reads what QSettings wrote, and writes it back as the same key.
        const QString written = freshCopy(StoreSession::filePath());
        QFile::remove(written);
        {
            QSettings file(written, QSettings::IniFormat);
            file.setValue(path, value);
            file.setValue(u"LinkEng/Eng-B"_s, u"other"_s);
        }
        QVERIFY(writeFile(StoreSession::filePath(), readBytes(written)));
        QCOMPARE(GetAppSetting(section, key), value);
        QCOMPARE(GetAppSetting(u"LinkEng"_s, u"Eng-B"_s), u"other"_s);
        QVERIFY(SaveAppSetting(section, key, u"new"_s));
        QSettings file(freshCopy(StoreSession::filePath()), QSettings::IniFormat);
        QCOMPARE(file.allKeys().size(), 2);
        QCOMPARE(file.value(path).toString(), u"new"_s);
    }

    // Earlier builds wrote "Eng-A/B" as "Eng-A%252FB" and "Eng-C%" as "Eng-C%2525": they are
    // read, and replaced by the one key.
    void earlierKeys()
    {
        QVERIFY(writeFile(StoreSession::filePath(), "[LinkEng]\nEng-A%252FB=300\nEng-C%2525=4\n"));
        QCOMPARE(GetAppSetting(u"LinkEng"_s, u"Eng-A/B"_s), u"300"_s);
        QCOMPARE(GetAppSetting(u"LinkEng"_s, u"Eng-C%"_s), u"4"_s);
        QVERIFY(SaveAppSetting(u"LinkEng"_s, u"Eng-A/B"_s, u"150"_s));
        QCOMPARE(readBytes(StoreSession::filePath()), "[LinkEng]\nEng-C%2525=4\nEng-A\\B=150\n");
    }

    // Lines a person may have written; a save keeps every line it did not change.
    void readsHandWrittenLines()
    {
        QVERIFY(writeFile(StoreSession::filePath(), "\xEF\xBB\xBF; made by hand\r\n"
                                                    "[ParloApp]\r\n"
                                                    "  URL1 =  example.com   ; the site\r\n"
                                                    "URLGet1=\"  quoted ; kept  \"\r\n"
                                                    "URLGet2=a, b\r\n"
                                                    "URLGet3=one\\\r\n two\r\n"
                                                    "URLGet4=\\x41\\102\\q\r\n"
                                                    "[LinkEng]\r\nEng-A=1\r\nEng-A=2\r\n"
                                                    "Eng-\xC3\x9C%U4e2d=5\r\n"
                                                    "[Other]\r\nunknown=\"x,y\"\r\n"));
        const StoreSession store;
        QCOMPARE(store.value(u"ParloApp"_s, u"URL1"_s), u"example.com"_s);
        QCOMPARE(store.value(u"ParloApp"_s, u"URLGet1"_s), u"  quoted ; kept  "_s);
        QCOMPARE(store.value(u"ParloApp"_s, u"URLGet2"_s), QString()); // a list
        QCOMPARE(store.value(u"ParloApp"_s, u"URLGet3"_s), u"one two"_s);
        QCOMPARE(store.value(u"ParloApp"_s, u"URLGet4"_s), u"AB"_s);
        QCOMPARE(store.value(u"LinkEng"_s, u"Eng-A"_s), u"2"_s);   // the last line of a key
        QCOMPARE(store.value(u"LinkEng"_s, u"Eng-Ü中"_s), u"5"_s); // a name in UTF-8

        QVERIFY(SaveAppSetting(u"LinkEng"_s, u"Eng-A"_s, u"3"_s));
        const QByteArray after = readBytes(StoreSession::filePath());
        QVERIFY2(after.contains("URLGet1=\"  quoted ; kept  \"\n"), after.constData());
        QVERIFY2(after.contains("[Other]\nunknown=\"x,y\"\n"), after.constData());
        QCOMPARE(after.count("Eng-A="), 1);
        QCOMPARE(GetAppSetting(u"LinkEng"_s, u"Eng-A"_s), u"3"_s);
        QCOMPARE(GetAppSetting(u"ParloApp"_s, u"URLGet3"_s), u"one two"_s);
    }

    // A session's save keeps what others saved meanwhile; one without changes writes nothing.
    void sessions()
    {
        QVERIFY(SaveAppSetting(u"LinkEng"_s, u"Eng-A"_s, u"1"_s));
        StoreSession lookup;
        QCOMPARE(lookup.value(u"LinkEng"_s, u"Eng-A"_s), u"1"_s);
        lookup.setValue(u"LinkEng"_s, u"Eng-A"_s, u"2"_s);
        lookup.setValue(u"LinkEng"_s, u"Eng-A"_s, u"3"_s);
        QCOMPARE(lookup.value(u"LinkEng"_s, u"Eng-A"_s), u"3"_s);
        QCOMPARE(GetAppSetting(u"LinkEng"_s, u"Eng-A"_s), u"1"_s); // not saved yet

        QVERIFY(SaveAppSetting(u"ParloApp"_s, u"URL1"_s, u"site.com"_s)); // another session
        QVERIFY(SaveAppSetting(u"LinkEng"_s, u"Eng-B"_s, u"9"_s));
        QCOMPARE(lookup.value(u"LinkEng"_s, u"Eng-B"_s), QString()); // read at its start
        lookup.save();
        QVERIFY(!lookup.hasChanges());
        QCOMPARE(GetAppSetting(u"LinkEng"_s, u"Eng-A"_s), u"3"_s);
        QCOMPARE(GetAppSetting(u"LinkEng"_s, u"Eng-B"_s), u"9"_s);
        QCOMPARE(GetAppSetting(u"ParloApp"_s, u"URL1"_s), u"site.com"_s);

        clearStore();
        StoreSession reader;
        QCOMPARE(reader.value(u"ParloApp"_s, u"URL1"_s), QString());
        reader.save();
        QVERIFY(!QFile::exists(StoreSession::filePath()));
    }

    // Saves of several threads at once take turns: none loses what another saved.
    void concurrentSaves()
    {
        std::vector<std::unique_ptr<QThread>> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back(QThread::create([t] {
                for (int i = 0; i < 25; ++i) {
                    StoreSession store;
                    store.setValue(u"LinkEng"_s, u"Eng-T%1"_s.arg(t), QString::number(i));
                    store.save();
                }
            }));
            threads.back()->start();
        }
        for (const auto& thread : threads)
            QVERIFY(thread->wait(20000));
        const StoreSession store;
        for (int t = 0; t < 4; ++t)
            QCOMPARE(store.value(u"LinkEng"_s, u"Eng-T%1"_s.arg(t)), u"24"_s);
        QVERIFY(!QFile::exists(StoreSession::filePath() + u".lock"_s));
    }

    // A save that fails part way (a full disk) leaves the file as it was and keeps its values for
    // the next save.
    void failedSaveKeepsTheFile()
    {
        const int valueSize = 8000;
        const QString path = StoreSession::filePath();
        QVERIFY(SaveAppSetting(u"ParloApp"_s, u"URL1"_s, u"example.com"_s));
        QVERIFY(SaveAppSetting(u"LinkEng"_s, u"Eng-TotalCount"_s, QString(3000, u'7')));
        const QByteArray before = readBytes(path);

        StoreSession store;
        store.setValue(u"ParloApp"_s, u"URLGet1"_s, QString(valueSize, u'x'));
        QString error;
        bool quick = true;
        {
            const FileSizeLimit full(2048);
            quick = SaveAppSetting(u"ParloApp"_s, u"URLGet2"_s, QString(valueSize, u'y'));
            try {
                store.save();
            } catch (const BrandleError& e) {
                error = e.userText();
            }
        }
        QVERIFY(!quick);
        QVERIFY2(error.startsWith(u"335 - The settings could not be saved: "_s + path),
                 qPrintable(error));
        QCOMPARE(readBytes(path), before);
        QCOMPARE(QDir(QFileInfo(path).path()).entryList(QDir::Files),
                 QStringList{QFileInfo(path).fileName()});
        QVERIFY(store.hasChanges());

        store.save();
        QCOMPARE(GetAppSetting(u"ParloApp"_s, u"URLGet1"_s), QString(valueSize, u'x'));
        QCOMPARE(GetAppSetting(u"ParloApp"_s, u"URL1"_s), u"example.com"_s);
    }
};

BRANDLE_TEST(TestStore)
#include "tst_store.moc"

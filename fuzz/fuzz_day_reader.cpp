// SPDX-License-Identifier: MIT
// The day reader over any day file: the input's first bytes name the site, the rest is the file.
#include "log/LinkLog.h"
#include "platform/Errors.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QDate day(2026, 12, 6);

// The program's folder of this run, in a temporary folder (/dev/shm when there is one).
const QString& logFile()
{
    static std::unique_ptr<QTemporaryDir> home;
    static QString path;
    if (!home) {
        const QString base = QDir(u"/dev/shm"_s).exists()
                                 ? u"/dev/shm/brandle-fuzz-XXXXXX"_s
                                 : QDir::tempPath() + u"/brandle-fuzz-XXXXXX"_s;
        home = std::make_unique<QTemporaryDir>(base);
        qputenv("BRANDLE_HOME", QFile::encodeName(home->path()));
        path = brandle::linkLogFile(day);
        QDir().mkpath(QFileInfo(path).path());
    }
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const QString site = QString::fromStdString(input.ConsumeRandomLengthString(32));
    const std::string content = input.ConsumeRemainingBytesAsString();
    QFile file(logFile());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(content.data(), qint64(content.size())) != qint64(content.size()))
        std::abort();
    file.close();
    try {
        const QString element = ReadLinkLogDay(site, day);
        if (!element.isEmpty() && !element.startsWith("<Element><Date>120626<"_L1))
            std::abort();
    } catch (const brandle::BrandleError&) {
    }
    return 0;
}

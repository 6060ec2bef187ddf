// SPDX-License-Identifier: MIT
// bench_report: the time of one report's data (the day walk, reading and parsing the day files,
// the rows and the scale) over 31 and over 365 days of a log with 48 lookups a day of six sites,
// and over ten years of a heavy log: 500 lookups a day, a third of them for the charted site;
// then the time and the rise of the peak memory of reading one day file of 300 MB of short
// lines.
#include "log/LinkLog.h"
#include "reports/ReportData.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace Qt::StringLiterals;
using namespace brandle;

namespace {

constexpr int dayCount = 365;
constexpr int linesPerDay = 48;
constexpr int runs = 7;
const QDate firstDay(2026, 1, 1);

constexpr int heavyDayCount = 3650;
constexpr int heavyLinesPerDay = 500;
constexpr int heavyRuns = 3;
const QDate heavyFirstDay(2010, 1, 1);

const char* const sites[] = {"example.com",      "example.org",  "shop.example.net",
                             "blog.example.com", "news.example", "another-site.com"};

QString resultLine(const QString& site, int total, const QDate& day, int minute)
{
    QString line =
        u"<Results Site=\"%1\" Total=\"%2\" Fluctuation=\"0\" "
        "Created=\"%3 %4:%5:07 AM\">"_s
            .arg(site, QLocale(QLocale::English).toString(total), day.toString(u"M/d/yyyy"_s))
            .arg(1 + minute / 60)
            .arg(minute % 60, 2, 10, QLatin1Char('0'));
    for (const char* engine : {"Alpha Search", "Beta Find", "Gamma Seek"}) {
        line += u"<Engine><Name><![CDATA[%1]]></Name><URL><![CDATA[http://"
                "engines.example/search?q=link:%2&n=10]]></URL><Count><![CDATA[%3]]>"
                "</Count><Fluctuation>1</Fluctuation></Engine>"_s.arg(
                    QLatin1StringView(engine), site, QString::number(total / 3));
    }
    return line + u"</Results>"_s;
}

// The log of dayCount days from the first day, linesPerDay lookups a day; the lookups go round
// the first siteCount sites.
bool writeLog(const QDate& first, int days, int lines, int siteCount)
{
    for (int d = 0; d < days; ++d) {
        const QDate day = first.addDays(d);
        QByteArray text;
        for (int i = 0; i < lines; ++i) {
            const QString site = QLatin1StringView(sites[i % siteCount]);
            text += resultLine(site, 1000 + 37 * d + 13 * i, day, i * 20 % 1440).toUtf8() + "\r\n";
        }
        QFile file(linkLogFile(day));
        if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
            return false;
    }
    return true;
}

// The process's CPU time so far (user and system), in milliseconds.
double cpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// The median wall and CPU times in milliseconds of building the report over `days` days from the
// first. On a busy machine the wall time grows with the load; the CPU time much less.
struct ReportTimes {
    double wallMs = -1;
    double cpuMs = -1;
};

ReportTimes reportMs(const QDate& first, int days, int runs)
{
    const QString from = first.toString(u"M/d/yyyy"_s);
    const QString to = first.addDays(days - 1).toString(u"M/d/yyyy"_s);
    std::vector<double> times;
    std::vector<double> cpuTimes;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        const double cpuBefore = cpuMs();
        const std::optional<LinkReport> report =
            LinkReportBuilder::build(u"http://Example.com"_s, from, to);
        cpuTimes.push_back(cpuMs() - cpuBefore);
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (!report || report->rows.size() != days) {
            std::fprintf(stderr, "unexpected report over %d days\n", days);
            return {};
        }
    }
    std::sort(times.begin(), times.end());
    std::sort(cpuTimes.begin(), cpuTimes.end());
    return {times[times.size() / 2], cpuTimes[cpuTimes.size() / 2]};
}

// The process's peak resident memory so far, in MB.
double peakMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

// A day file of 300 MB of short lines that name no site, written piece by piece.
bool writeHugeDay(const QDate& day)
{
    QFile file(linkLogFile(day));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray piece;
    while (piece.size() < 1024 * 1024)
        piece += "<x/>\r\n";
    for (qint64 written = 0; written < 300LL * 1024 * 1024; written += piece.size()) {
        if (file.write(piece) != piece.size())
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    QTemporaryDir home;
    if (!home.isValid())
        return 1;
    qputenv("BRANDLE_HOME", QFile::encodeName(home.path()));
    QCoreApplication app(argc, argv);
    QDir().mkpath(QFileInfo(linkLogFile(firstDay)).path());
    // First, while the process is small: the peak it reaches reading the huge day is its own.
    const QDate hugeDay(2000, 1, 1);
    if (!writeHugeDay(hugeDay)) {
        std::fprintf(stderr, "cannot write the log\n");
        return 1;
    }
    const double peakBefore = peakMb();
    QElapsedTimer hugeTimer;
    hugeTimer.start();
    const QString hugeFigure = ReadLinkLogDay(u"example.com"_s, hugeDay);
    const double hugeMs = double(hugeTimer.nsecsElapsed()) / 1e6;
    const double hugePeakRise = peakMb() - peakBefore;
    QFile::remove(linkLogFile(hugeDay));
    if (!hugeFigure.isEmpty()) {
        std::fprintf(stderr, "unexpected figure of the huge day\n");
        return 1;
    }

    // The year of the light log and the ten years of the heavy one do not overlap.
    if (!writeLog(firstDay, dayCount, linesPerDay, 6) ||
        !writeLog(heavyFirstDay, heavyDayCount, heavyLinesPerDay, 3)) {
        std::fprintf(stderr, "cannot write the log\n");
        return 1;
    }
    std::printf("ms_31_days: %.1f\n", reportMs(firstDay, 31, runs).wallMs);
    std::printf("ms_365_days: %.1f\n", reportMs(firstDay, dayCount, runs).wallMs);
    const ReportTimes heavy = reportMs(heavyFirstDay, heavyDayCount, heavyRuns);
    std::printf("ms_3650_days_heavy: %.1f\n", heavy.wallMs);
    std::printf("cpu_ms_3650_days_heavy: %.1f\n", heavy.cpuMs);
    std::printf("ms_300mb_day: %.1f\n", hugeMs);
    std::printf("mb_peak_rise_300mb_day: %.1f\n", hugePeakRise);
    return 0;
}

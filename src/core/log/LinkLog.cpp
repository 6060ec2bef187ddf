// SPDX-License-Identifier: MIT
#include "log/LinkLog.h"

#include "platform/Clock.h"
#include "platform/Errors.h"
#include "platform/LocaleText.h"
#include "platform/Paths.h"
#include "platform/Xml.h"
#include "platform/mConstants.h"

#include <QDir>
#include <QFile>

#include <cmath>
#include <cstring>
#include <optional>
#include <utility>

using namespace Qt::StringLiterals;

using namespace brandle;

namespace {

QString logFolder()
{
    return Paths::inProgramFolder(mConstants::LogFolderName);
}

QString chartElement(const QDate& day, qint64 count)
{
    return "<Element><Date>"_L1 + LocaleText::mmddyy(day) + "</Date><Count>"_L1 +
           QString::number(count) + "</Count></Element>"_L1;
}

// The file is read in pieces of this size; a line that spans two pieces is gathered apart.
constexpr qint64 ReadPieceBytes = 256 * 1024;

// True for a site that a line can only spell as its own bytes: printable ASCII without blanks
// and without the characters XML escapes.
bool isPlainSite(const QByteArray& site)
{
    if (site.isEmpty())
        return false;
    for (const char c : site) {
        if (c <= ' ' || c > '~' || c == '&' || c == '<' || c == '>' || c == '"' || c == '\'')
            return false;
    }
    return true;
}

// A byte that may stand next to the site inside its attribute: the quote, a blank, or part of a
// multi-byte character (a blank beyond ASCII).
bool isSiteBoundary(char c)
{
    return c == '"' || c == '\'' || c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' ||
           c == '\f' || static_cast<unsigned char>(c) >= 0x80;
}

// Whether the line can hold a Site attribute equal to the plain site (blanks around it allowed):
// the site stands between boundaries somewhere, or the line has a character reference or a
// document type that could spell the attribute otherwise.
bool mayMention(QByteArrayView line, const QByteArray& site)
{
    if (line.contains("&#") || line.contains("<!DOCTYPE"))
        return true;
    for (qsizetype at = line.indexOf(site); at >= 0; at = line.indexOf(site, at + 1)) {
        const qsizetype end = at + site.size();
        if (at > 0 && isSiteBoundary(line.at(at - 1)) && end < line.size() &&
            isSiteBoundary(line.at(end)))
            return true;
    }
    return false;
}

// One engine of a logged lookup as the reports read it.
struct LineEngine {
    QString name;
    QString count;
    bool noCount = false;
};

bool isOne(const QString& value)
{
    return value == "1"_L1;
}

// Takes the lines of one day file for the sites asked for.
class DayReader {
public:
    DayReader(const QStringList& sites, bool withEngines)
        : m_withEngines(withEngines)
    {
        for (const QString& site : sites) {
            const QString wanted = site.trimmed();
            bool ascii = true;
            for (const QChar c : wanted)
                ascii = ascii && c.unicode() < 0x80;
            const QByteArray bytes = ascii ? wanted.toLatin1() : QByteArray();
            m_sites.append({wanted, bytes, ascii, isPlainSite(bytes)});
            m_day.sites.append(LogDaySite());
        }
    }

    LogDay take()
    {
        m_day.hasFile = true;
        return std::move(m_day);
    }

    // One line, blanks around it removed. Lines of other sites are left after their first tag;
    // a line of a site asked for is read to its end, so that one cut short costs only itself.
    void line(QByteArrayView text)
    {
        // Every line the program writes starts so. When the site there is plainly another one,
        // the line is left at once: well-formed or not, it cannot count for a site asked for.
        const QByteArrayView written = "<Results Site=\"";
        if (text.startsWith(written)) {
            const qsizetype quote = text.indexOf('"', written.size());
            const QByteArrayView site =
                quote > 0 ? text.sliced(written.size(), quote - written.size()) : QByteArrayView();
            if (quote > 0 && !site.contains('&') && !site.contains('<') && matchSite(site) < 0)
                return;
        }
        XmlScanner& scan = m_scan;
        scan.restart(text);
        XmlScanner::Event event = scan.next();
        if (event == XmlScanner::Event::Unsupported)
            return parseWhole(text);
        if (event != XmlScanner::Event::StartElement)
            return;
        const int site = matchSite(scan.rawAttribute("Site").value_or(QByteArrayView()));
        if (site < 0)
            return;
        // A lookup in which no engine counted has no figure: its Total of 0 is none.
        if (isOne(scan.attribute("NoCount")))
            return;
        const QString total = scan.attribute("Total");
        const std::optional<QByteArrayView> partialRaw = scan.rawAttribute("Partial");
        const bool partial = partialRaw && isOne(XmlScanner::attributeValue(*partialRaw));

        QList<LineEngine> engines;
        LineEngine engine;
        bool inEngine = false;
        int nameDepth = 0;
        int countDepth = 0;
        bool haveName = false;
        bool haveCount = false;
        for (;;) {
            event = scan.next();
            switch (event) {
            case XmlScanner::Event::EndOfDocument:
                return addLookup(site, total, partial, engines);
            case XmlScanner::Event::Malformed:
                return;
            case XmlScanner::Event::Unsupported:
                return parseWhole(text);
            case XmlScanner::Event::StartElement:
                if (!m_withEngines)
                    break;
                if (scan.depth() == 2 && scan.name() == "Engine") {
                    engine = LineEngine();
                    engine.noCount = isOne(scan.attribute("NoCount"));
                    inEngine = true;
                    haveName = haveCount = false;
                } else if (inEngine && scan.name() == "Name" && !haveName && nameDepth == 0) {
                    nameDepth = scan.depth();
                } else if (inEngine && scan.name() == "Count" && !haveCount && countDepth == 0) {
                    countDepth = scan.depth();
                }
                break;
            case XmlScanner::Event::Text:
                if (nameDepth > 0)
                    scan.appendText(engine.name);
                if (countDepth > 0)
                    scan.appendText(engine.count);
                break;
            case XmlScanner::Event::EndElement:
                if (!inEngine)
                    break;
                if (scan.depth() == nameDepth) {
                    nameDepth = 0;
                    haveName = true;
                }
                if (scan.depth() == countDepth) {
                    countDepth = 0;
                    haveCount = true;
                }
                if (scan.depth() == 2) {
                    engines.append(engine);
                    inEngine = false;
                }
                break;
            }
        }
    }

private:
    struct Wanted {
        QString text;
        QByteArray ascii;
        bool isAscii = false;
        bool plain = false;
    };

    int matchSite(const QString& value) const
    {
        const QString trimmed = value.trimmed();
        for (qsizetype i = 0; i < m_sites.size(); ++i) {
            if (m_sites.at(i).text == trimmed)
                return int(i);
        }
        return -1;
    }

    // A plain ASCII value without references or blanks other than spaces is compared as it
    // stands; anything else is decoded first.
    int matchSite(QByteArrayView raw) const
    {
        for (const char c : raw) {
            if ((c & 0x80) != 0 || c == '&' || c == '\t' || c == '\r' || c == '\n')
                return matchSite(XmlScanner::attributeValue(raw));
        }
        const QByteArrayView trimmed = raw.trimmed();
        for (qsizetype i = 0; i < m_sites.size(); ++i) {
            const Wanted& site = m_sites.at(i);
            // An empty view may have no data at all, which memcmp must not be given.
            if (site.isAscii && site.ascii.size() == trimmed.size() &&
                (trimmed.isEmpty() ||
                 std::memcmp(site.ascii.constData(), trimmed.data(), size_t(trimmed.size())) == 0))
                return int(i);
        }
        return -1;
    }

    // A line the scanner leaves to the parser: a document type, say. A line that cannot name
    // any of the sites is not parsed at all.
    void parseWhole(QByteArrayView text)
    {
        bool mayMatch = false;
        for (const Wanted& site : std::as_const(m_sites))
            mayMatch = mayMatch || !site.plain || mayMention(text, site.ascii);
        if (!mayMatch)
            return;
        std::optional<XmlDocument> doc;
        try {
            doc.emplace(XmlDocument::parse(QString::fromUtf8(text)));
        } catch (const BrandleError&) {
            return; // not well-formed: skipped
        }
        const XmlNode results = doc->root();
        const int site = matchSite(results.attribute(u"Site"_s));
        if (site < 0 || isOne(results.attribute(u"NoCount"_s)))
            return;
        QList<LineEngine> engines;
        if (m_withEngines) {
            for (const XmlNode& node : results.childNodes()) {
                if (node.isElement() && node.name() == "Engine"_L1)
                    engines.append({node.firstElement(u"Name"_s).text(),
                                    node.firstElement(u"Count"_s).text(),
                                    isOne(node.attribute(u"NoCount"_s))});
            }
        }
        addLookup(site, results.attribute(u"Total"_s), isOne(results.attribute(u"Partial"_s)),
                  engines);
    }

    void addLookup(int siteIndex, const QString& totalText, bool partial,
                   const QList<LineEngine>& engines)
    {
        // A Total that is no number: the line is skipped.
        const std::optional<qint32> total = LocaleText::parseLoggedCount(totalText);
        if (!total)
            return;
        LogDaySite& site = m_day.sites[siteIndex];
        if (partial) {
            site.partialSum += *total;
            ++site.partialLookups;
        } else {
            site.completeSum += *total;
            ++site.completeLookups;
        }
        for (const LineEngine& engine : engines) {
            LogDayEngine* figures = nullptr;
            for (LogDayEngine& known : site.engines) {
                if (known.name == engine.name) {
                    figures = &known;
                    break;
                }
            }
            if (!figures) {
                site.engines.append({engine.name, 0, 0});
                figures = &site.engines.last();
            }
            const std::optional<qint32> count =
                engine.noCount ? std::nullopt : LocaleText::parseLoggedCount(engine.count);
            if (count) {
                figures->sum += *count;
                ++figures->counts;
            }
        }
    }

    bool m_withEngines;
    XmlScanner m_scan;
    QList<Wanted> m_sites;
    LogDay m_day;
};

} // namespace

QString brandle::linkLogFile(const QDate& day)
{
    return logFolder() + u'/' + LocaleText::mmddyy(day) + mConstants::LogFileSuffix;
}

void WriteLinkLog(const QString& resultText)
{
    if (!QDir().mkpath(logFolder()))
        throw BrandleError(ErrorCode::FileAccess, logFolder());
    const QString path = linkLogFile(Clock::instance().now().date());
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append | QIODevice::Unbuffered))
        throw BrandleError(ErrorCode::FileAccess, path);
    // A line cut short (by a crash, say) is ended first, so it cannot swallow this one.
    QByteArray line;
    if (file.size() > 0 && file.seek(file.size() - 1) && file.read(1) != "\n")
        line = "\r\n";
    line += resultText.toUtf8() + "\r\n";
    if (file.write(line) != line.size())
        throw BrandleError(ErrorCode::FileAccess, path);
}

namespace brandle {

std::optional<qint32> LogDayEngine::average() const
{
    if (counts == 0)
        return std::nullopt;
    // std::nearbyint rounds halves to the even neighbour.
    return qint32(std::nearbyint(double(sum) / double(counts)));
}

std::optional<qint32> LogDaySite::figure() const
{
    const bool complete = completeLookups > 0;
    const qint64 sum = complete ? completeSum : partialSum;
    const qint64 lookups = complete ? completeLookups : partialLookups;
    if (sum < 1)
        return std::nullopt;
    return qint32(std::nearbyint(double(sum) / double(lookups)));
}

LogDay readLinkLogDay(const QStringList& sites, const QDate& day, bool withEngines)
{
    const QString path = linkLogFile(day);
    QFile file(path);
    if (!file.exists()) {
        LogDay none;
        none.sites.resize(sites.size());
        return none;
    }
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        throw BrandleError(ErrorCode::FileAccess, path);

    DayReader reader(sites, withEngines);
    const auto takeLine = [&reader](QByteArrayView line) {
        line = line.trimmed();
        if (!line.isEmpty())
            reader.line(line);
    };
    QByteArray piece(ReadPieceBytes, Qt::Uninitialized);
    QByteArray pending; // the start of a line that the next piece ends
    for (;;) {
        const qint64 read = file.read(piece.data(), ReadPieceBytes);
        if (read < 0)
            throw BrandleError(ErrorCode::FileAccess, path);
        if (read == 0)
            break;
        const QByteArrayView data(piece.constData(), read);
        // The next line end from a position, or -1.
        const auto lineEnd = [&data](qsizetype from) -> qsizetype {
            const void* found = std::memchr(data.data() + from, '\n', size_t(data.size() - from));
            return found ? static_cast<const char*>(found) - data.data() : -1;
        };
        qsizetype from = 0;
        for (qsizetype end = lineEnd(0); end >= 0; end = lineEnd(from)) {
            if (pending.isEmpty()) {
                takeLine(data.sliced(from, end - from));
            } else {
                pending += data.sliced(from, end - from);
                takeLine(pending);
                pending.resize(0);
            }
            from = end + 1;
        }
        pending += data.sliced(from);
    }
    takeLine(pending);
    return reader.take();
}

} // namespace brandle

QString ReadLinkLogDay(const QString& site, const QDate& day)
{
    const LogDay read = readLinkLogDay({site}, day);
    if (!read.hasFile)
        return chartElement(day, 0);
    const std::optional<qint32> figure = read.sites.value(0).figure();
    return figure ? chartElement(day, *figure) : QString();
}

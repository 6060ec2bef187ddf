// SPDX-License-Identifier: MIT
#include "GraphImport.h"

#include <isa-l/igzip_lib.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

using namespace Qt::StringLiterals;

namespace brandle::host {

namespace {

constexpr std::size_t kInputBuffer = 1 << 20;
constexpr std::size_t kOutputBuffer = 4 << 20;    // also the longest line
constexpr std::uint64_t kProgressEvery = 1 << 16; // lines

// A decimal number of up to 18 digits, the whole text.
bool parseNumber(std::string_view text, std::uint64_t& value)
{
    if (text.empty() || text.size() > 18) {
        return false;
    }
    value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + std::uint64_t(c - '0');
    }
    return true;
}

// The first two TAB-separated fields of a line.
bool splitTwo(std::string_view line, std::string_view& first, std::string_view& second)
{
    const std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos) {
        return false;
    }
    first = line.substr(0, tab);
    second = line.substr(tab + 1);
    second = second.substr(0, second.find('\t'));
    return true;
}

// "from TAB to", each a decimal number of up to 18 digits; one pass over the line, as the
// edges are most of what an import reads.
bool parseEdge(std::string_view line, std::uint64_t& from, std::uint64_t& to)
{
    const char* p = line.data();
    const char* const end = p + line.size();
    const auto number = [&p, end](std::uint64_t& value) {
        const char* const start = p;
        value = 0;
        for (; p < end && *p >= '0' && *p <= '9'; ++p) {
            value = value * 10 + std::uint64_t(*p - '0');
        }
        return p > start && p - start <= 18;
    };
    if (!number(from) || p == end || *p++ != '\t' || !number(to)) {
        return false;
    }
    return p == end || *p == '\t';
}

bool isDomainName(std::string_view name)
{
    if (name.empty()) {
        return false;
    }
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u == 0x7f) {
            return false;
        }
    }
    return true;
}

} // namespace

GzipLines::GzipLines(const std::filesystem::path& file)
    : state_(std::make_unique<inflate_state>())
    , in_(kInputBuffer)
    , out_(kOutputBuffer)
{
    isal_inflate_init(state_.get());
    state_->crc_flag = ISAL_GZIP;
    file_ = std::fopen(file.c_str(), "rbe");
    if (file_ == nullptr) {
        error_ = "cannot read " + file.string() + ": " + std::strerror(errno);
    }
}

GzipLines::~GzipLines()
{
    if (file_ != nullptr) {
        std::fclose(file_);
    }
}

bool GzipLines::fail(std::string why)
{
    damaged_ = true;
    error_ = std::move(why);
    return false;
}

bool GzipLines::inflateMore()
{
    inflate_state& s = *state_;
    const std::size_t before = end_;
    while (end_ == before) {
        if (s.avail_in == 0 && !inputDone_) {
            const std::size_t n = std::fread(in_.data(), 1, in_.size(), file_);
            if (n == 0 && std::ferror(file_) != 0) {
                error_ = std::string("cannot read the file: ") + std::strerror(errno);
                return false;
            }
            inputDone_ = n == 0;
            s.next_in = in_.data();
            s.avail_in = std::uint32_t(n);
            bytesRead_ += n;
        }
        if (memberDone_) {
            if (s.avail_in == 0 && inputDone_) {
                return false; // the proper end
            }
            // Another member follows.
            std::uint8_t* next = s.next_in;
            const std::uint32_t avail = s.avail_in;
            isal_inflate_reset(&s);
            s.crc_flag = ISAL_GZIP;
            s.next_in = next;
            s.avail_in = avail;
            memberDone_ = false;
        }
        const std::uint32_t availIn = s.avail_in;
        s.next_out = reinterpret_cast<std::uint8_t*>(out_.data() + end_);
        s.avail_out = std::uint32_t(out_.size() - end_);
        const int result = isal_inflate(&s);
        if (result < 0) {
            return fail("the gzip data is damaged (igzip error " + std::to_string(result) + ")");
        }
        end_ = out_.size() - s.avail_out;
        memberDone_ = s.block_state == ISAL_BLOCK_FINISH;
        if (end_ == before && !memberDone_ && s.avail_in == availIn &&
            (inputDone_ || availIn > 0)) {
            return fail(inputDone_ ? "the gzip data ends inside a member (cut short)"
                                   : "the gzip data is damaged (no progress)");
        }
    }
    return true;
}

bool GzipLines::next(std::string_view& line)
{
    while (error_.empty() && file_ != nullptr) {
        const char* start = out_.data() + begin_;
        if (const void* lf = std::memchr(start, '\n', end_ - begin_)) {
            line = std::string_view(start, std::size_t(static_cast<const char*>(lf) - start));
            begin_ += line.size() + 1;
            return true;
        }
        if (begin_ > 0) { // the start of a line to the front, for the rest to follow
            std::memmove(out_.data(), start, end_ - begin_);
            end_ -= begin_;
            begin_ = 0;
        }
        if (end_ == out_.size()) {
            return fail("a line is longer than 4 MiB");
        }
        if (!inflateMore()) {
            if (!error_.empty() || end_ == 0) {
                return false;
            }
            line = std::string_view(out_.data(), end_); // the last line has no line end
            begin_ = end_;
            return true;
        }
    }
    return false;
}

std::vector<GraphRelease> parseGraphInfo(std::string_view json, std::string& error)
{
    QJsonParseError parseError{};
    const QJsonDocument doc =
        QJsonDocument::fromJson(QByteArray(json.data(), qsizetype(json.size())), &parseError);
    if (parseError.error != QJsonParseError::NoError || !doc.isArray()) {
        error = "not a JSON array of releases";
        return {};
    }
    std::vector<GraphRelease> releases;
    for (const QJsonValue& entry : doc.array()) {
        GraphRelease release;
        release.id = entry["id"_L1].toString().toStdString();
        const QJsonValue domain = entry["stats"_L1]["domain"_L1];
        release.domains = domain["nodes"_L1].isDouble() ? domain["nodes"_L1].toInteger(-1) : -1;
        release.edges = domain["arcs"_L1].isDouble() ? domain["arcs"_L1].toInteger(-1) : -1;
        if (isReleaseName(release.id)) {
            releases.push_back(std::move(release));
        }
    }
    if (releases.empty()) {
        error = "no release in the list";
    }
    return releases;
}

bool isReleaseName(std::string_view name)
{
    const auto allowed = [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '.' || c == '_' || c == '-';
    };
    return !name.empty() && name.size() <= 100 && allowed(name.front()) && name.front() != '.' &&
           name.front() != '_' && name.front() != '-' &&
           std::all_of(name.begin(), name.end(), allowed) &&
           name.find("..") == std::string_view::npos;
}

GraphImportResult importGraph(const GraphImport& job)
{
    GraphImportResult out;
    std::uint64_t readBefore = 0; // gzip bytes of the passes done
    const auto bad = [&out](std::string why) {
        out.badData = true;
        out.error = std::move(why);
        return false;
    };
    // Every line of a file to take(line, number); false when take or the reading failed.
    const auto pass = [&](const std::filesystem::path& file, const auto& take) {
        GzipLines lines(file);
        std::string_view line;
        for (std::uint64_t number = 0; lines.next(line); ++number) {
            if (!take(line, number)) {
                out.error = file.filename().string() + " line " + std::to_string(number + 1) +
                            ": " + out.error;
                return false;
            }
            if (number % kProgressEvery == 0) {
                if (job.cancel != nullptr && job.cancel->load()) {
                    out.error = "cancelled";
                    return false;
                }
                if (job.progress) {
                    job.progress(readBefore + lines.bytesRead());
                }
            }
        }
        if (!lines.error().empty()) {
            out.badData = lines.damaged();
            out.error = file.filename().string() + ": " + lines.error();
            return false;
        }
        readBefore += lines.bytesRead();
        return true;
    };

    std::string previous;
    std::uint64_t domains = 0;
    const bool verticesGood = pass(job.vertices, [&](std::string_view line, std::uint64_t n) {
        std::string_view id;
        std::string_view name;
        std::uint64_t value = 0;
        if (!splitTwo(line, id, name) || !parseNumber(id, value) || value != n) {
            return bad("not \"id TAB name\" with the line's number as id");
        }
        if (!isDomainName(name) || (n > 0 && name <= previous)) {
            return bad("the name is empty, has blanks or does not come after the one before");
        }
        previous.assign(name);
        domains = n + 1;
        return true;
    });
    if (!verticesGood) {
        return out;
    }
    if (domains == 0 || domains >= UINT32_MAX) {
        bad("the vertices file has " + std::to_string(domains) + " lines");
        return out;
    }
    if (job.expectedDomains >= 0 && domains != std::uint64_t(job.expectedDomains)) {
        bad("the vertices file has " + std::to_string(domains) +
            " lines where the release states " + std::to_string(job.expectedDomains));
        return out;
    }

    std::vector<std::uint32_t> inDegree;
    try {
        inDegree.assign(domains, 0);
    } catch (const std::bad_alloc&) {
        out.error = "not enough memory for " + std::to_string(domains) + " counters";
        return out;
    }
    std::uint64_t edges = 0;
    const bool edgesGood = pass(job.edges, [&](std::string_view line, std::uint64_t) {
        std::uint64_t from = 0;
        std::uint64_t to = 0;
        if (!parseEdge(line, from, to)) {
            return bad("not \"from-id TAB to-id\"");
        }
        if (from >= domains || to >= domains) {
            return bad("an id past the last vertex");
        }
        inDegree[to] += from != to ? 1 : 0;
        ++edges;
        return true;
    });
    if (!edgesGood) {
        return out;
    }
    if (job.expectedEdges >= 0 && edges != std::uint64_t(job.expectedEdges)) {
        bad("the edges file has " + std::to_string(edges) + " lines where the release states " +
            std::to_string(job.expectedEdges));
        return out;
    }

    DomainIndexWriter writer;
    if (!writer.open(job.index, job.release, {}, out.error)) {
        return out;
    }
    const bool written = pass(job.vertices, [&](std::string_view line, std::uint64_t n) {
        std::string_view id;
        std::string_view name;
        splitTwo(line, id, name);
        if (n >= domains || !writer.add(name, inDegree[n])) {
            out.error = n >= domains ? "the vertices changed while read" : writer.error();
            return false;
        }
        return true;
    });
    if (!written || !writer.finish()) {
        out.error = written ? writer.error() : out.error;
        return out;
    }
    out.ok = true;
    out.domains = domains;
    out.edges = edges;
    return out;
}

} // namespace brandle::host

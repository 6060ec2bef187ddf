// SPDX-License-Identifier: MIT
#include "MajesticCsv.h"

#include "SiteName.h"
#include "Text.h"

#include <vector>

namespace brandle::host {

namespace {

std::string_view withoutLineEnd(std::string_view line)
{
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    return line;
}

// Splits a line at commas. A field in double quotes may hold commas and doubled quotes.
// False for an unterminated quote or text after a closing quote.
bool splitFields(std::string_view line, std::vector<std::string>& fields)
{
    fields.clear();
    std::size_t i = 0;
    while (true) {
        std::string field;
        if (i < line.size() && line[i] == '"') {
            ++i;
            while (true) {
                if (i >= line.size()) {
                    return false;
                }
                if (line[i] == '"') {
                    if (i + 1 < line.size() && line[i + 1] == '"') {
                        field += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += line[i++];
            }
            if (i < line.size() && line[i] != ',') {
                return false;
            }
        } else {
            const std::size_t comma = line.find(',', i);
            const std::size_t end = comma == std::string_view::npos ? line.size() : comma;
            field.assign(line.substr(i, end - i));
            i = end;
        }
        fields.push_back(std::move(field));
        if (i >= line.size()) {
            return true;
        }
        ++i; // the comma
    }
}

// Up to 18 digits, so that every value fits the database's signed 64-bit integers.
std::optional<std::uint64_t> parseCount(std::string_view text)
{
    if (text.empty() || text.size() > 18) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return value;
}

bool hasControlChars(std::string_view text)
{
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f) {
            return true;
        }
    }
    return false;
}

} // namespace

std::optional<MajesticColumns> parseMajesticHeader(std::string_view line)
{
    constexpr std::string_view bom = "\xEF\xBB\xBF";
    if (line.substr(0, bom.size()) == bom) {
        line.remove_prefix(bom.size());
    }
    std::vector<std::string> names;
    if (!splitFields(withoutLineEnd(line), names)) {
        return std::nullopt;
    }
    MajesticColumns columns;
    columns.fieldCount = names.size();
    struct Wanted {
        std::string_view name;
        std::size_t* index;
        bool found;
    };
    Wanted wanted[] = {{"Domain", &columns.domain, false},
                       {"RefSubNets", &columns.refSubNets, false},
                       {"RefIPs", &columns.refIps, false},
                       {"IDN_Domain", &columns.idnDomain, false}};
    for (std::size_t i = 0; i < names.size(); ++i) {
        for (Wanted& w : wanted) {
            if (trimBlanks(names[i]) == w.name) {
                if (w.found) {
                    return std::nullopt;
                }
                *w.index = i;
                w.found = true;
            }
        }
    }
    for (const Wanted& w : wanted) {
        if (!w.found) {
            return std::nullopt;
        }
    }
    return columns;
}

std::optional<MajesticRow> parseMajesticLine(std::string_view line, const MajesticColumns& columns)
{
    thread_local std::vector<std::string> fields;
    if (!splitFields(withoutLineEnd(line), fields) || fields.size() != columns.fieldCount) {
        return std::nullopt;
    }
    const std::string ascii = toLowerAscii(fields[columns.domain]);
    if (!isAsciiHostName(ascii)) {
        return std::nullopt;
    }
    const std::optional<std::uint64_t> subnets = parseCount(fields[columns.refSubNets]);
    const std::optional<std::uint64_t> ips = parseCount(fields[columns.refIps]);
    if (!subnets || !ips) {
        return std::nullopt;
    }
    const std::string& idn = fields[columns.idnDomain];
    if (hasControlChars(idn)) {
        return std::nullopt;
    }
    MajesticRow row;
    row.domain = *lookupHostName(ascii);
    // The IDN column names the same host as Domain, or the row would answer for another site.
    if (!idn.empty() && lookupHostName(idn) != row.domain) {
        return std::nullopt;
    }
    row.idnDomain = unicodeHostName(row.domain);
    row.refSubNets = *subnets;
    row.refIps = *ips;
    return row;
}

} // namespace brandle::host

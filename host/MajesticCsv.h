// SPDX-License-Identifier: MIT
#pragma once

// Lines of the Majestic Million list:
// GlobalRank,TldRank,Domain,TLD,RefSubNets,RefIPs,IDN_Domain,IDN_TLD,PrevGlobalRank,...

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace brandle::host {

// Where the columns the host reads stand in a line, and how many fields a line has.
struct MajesticColumns {
    std::size_t domain = 0;
    std::size_t refSubNets = 0;
    std::size_t refIps = 0;
    std::size_t idnDomain = 0;
    std::size_t fieldCount = 0;
};

// The columns named by the header line, or nothing when one of Domain, RefSubNets, RefIPs
// and IDN_Domain is missing or named twice. A byte order mark and a CR at the end are ignored.
std::optional<MajesticColumns> parseMajesticHeader(std::string_view line);

struct MajesticRow {
    std::string domain;    // the host name as lookups ask for it: ASCII, lower case, no "www."
    std::string idnDomain; // its Unicode form; the domain itself when it has none
    std::uint64_t refSubNets = 0;
    std::uint64_t refIps = 0;
};

// The largest figure the host serves. A lookup adds the figures of all its engines into a
// 32-bit total; two list figures and a Wikipedia count up to this size still fit, so a larger
// one is answered as no count instead of making the lookup overflow.
inline constexpr std::uint64_t kMaxServedCount = 1'000'000'000;

// The row of a data line, or nothing when the line is malformed: another number of fields,
// a domain that is no host name, an IDN_Domain that is not the same name as Domain, a count
// that is not a plain decimal number of at most 18 digits, control characters. A CR at the end
// is ignored; fields may be quoted. A leading "www." is dropped as lookups drop it.
std::optional<MajesticRow> parseMajesticLine(std::string_view line, const MajesticColumns& columns);

} // namespace brandle::host

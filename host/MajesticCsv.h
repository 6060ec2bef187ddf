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
    std::string domain;    // ASCII host name, lower case
    std::string idnDomain; // Unicode form; the domain itself when the list gives none
    std::uint32_t refSubNets = 0;
    std::uint32_t refIps = 0;
};

// Counts above this do not fit the 32-bit count the lookup reads, so the host never serves them.
inline constexpr std::uint32_t kMaxServedCount = 2147483647u;

// The row of a data line, or nothing when the line is malformed: another number of fields,
// a domain that is no host name, a count that is not a plain decimal number up to
// kMaxServedCount, control characters. A CR at the end is ignored; fields may be quoted.
std::optional<MajesticRow> parseMajesticLine(std::string_view line, const MajesticColumns& columns);

} // namespace brandle::host

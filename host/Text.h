// SPDX-License-Identifier: MIT
#pragma once

// Small text helpers of brandle-host: number formatting, escaping, hashing.

#include <cstdint>
#include <string>
#include <string_view>

namespace brandle::host {

// 64-bit FNV-1a. Unlike std::hash it gives the same value on every platform and run.
std::uint64_t fnv1a64(std::string_view data);

std::string toLowerAscii(std::string_view text);

// 1234567 -> "1,234,567".
std::string formatThousands(std::uint64_t value);

// Escapes &, <, >, " and ' for use in HTML or XML text and attribute values.
std::string htmlEscape(std::string_view text);

// The text as one or more CDATA sections; a "]]>" inside is split across two sections.
std::string xmlCdata(std::string_view text);

// The text with control characters (and DEL) replaced by '?', for log lines.
std::string printable(std::string_view text);

// Text without leading and trailing blanks (space, tab, CR, LF).
std::string_view trimBlanks(std::string_view text);

} // namespace brandle::host

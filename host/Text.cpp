// SPDX-License-Identifier: MIT
#include "Text.h"

namespace brandle::host {

namespace {
constexpr std::uint64_t kFnvOffset = 0xcbf29ce484222325ULL;
constexpr std::uint64_t kFnvPrime = 0x100000001b3ULL;
} // namespace

std::uint64_t fnv1a64(std::string_view data)
{
    std::uint64_t hash = kFnvOffset;
    for (unsigned char c : data) {
        hash ^= c;
        hash *= kFnvPrime;
    }
    return hash;
}

std::string toLowerAscii(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return lower;
}

std::string formatThousands(std::uint64_t value)
{
    const std::string digits = std::to_string(value);
    std::string out;
    out.reserve(digits.size() + digits.size() / 3);
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) {
            out += ',';
        }
        out += digits[i];
    }
    return out;
}

std::string htmlEscape(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string xmlCdata(std::string_view text)
{
    std::string out = "<![CDATA[";
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("]]>", start)) != std::string_view::npos;) {
        // Ends the section after "]]" and opens the next one before ">".
        out.append(text.substr(start, end + 2 - start));
        out += "]]><![CDATA[";
        start = end + 2;
    }
    out.append(text.substr(start));
    out += "]]>";
    return out;
}

std::string printable(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f) {
            c = '?';
        }
    }
    return out;
}

std::string_view trimBlanks(std::string_view text)
{
    constexpr std::string_view blanks = " \t\r\n";
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) {
        return {};
    }
    const std::size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

} // namespace brandle::host

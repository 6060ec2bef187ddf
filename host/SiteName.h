// SPDX-License-Identifier: MIT
#pragma once

// Host names as the real engines look them up.

#include <optional>
#include <string>
#include <string_view>

namespace brandle::host {

// Whether the text is a host name in ASCII: dot-separated labels of 1 to 63 letters, digits
// and hyphens (no hyphen at either end of a label), 253 characters at most. Letters must be
// lower case.
bool isAsciiHostName(std::string_view name);

// The host name a real engine looks up for a site: blanks around it dropped, lower case, an
// internationalised name in its ASCII form ("xn--..."), without a trailing dot and without a
// leading "www." (unless only a top-level name would be left). Nothing when the text has
// characters that cannot be in a host name (a scheme, a path, a port, markup, blanks inside).
std::optional<std::string> lookupHostName(std::string_view site);

// The Unicode form of an ASCII host name ("xn--bcher-kva.de" -> "bücher.de"); the name
// itself when it has no "xn--" label or cannot be decoded.
std::string unicodeHostName(const std::string& asciiName);

} // namespace brandle::host

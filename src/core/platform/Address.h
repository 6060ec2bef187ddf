// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace brandle {

// How a typed address becomes the site a lookup counts and the address a browser opens.

// The site a lookup counts for an address as typed: blanks around it are dropped, then a leading
// "http://" or "https://" in any letter case, the rest is lower-cased, and a bare host name loses
// one trailing "/" (" HTTPS://Example.com/ " -> "example.com"). A path and other schemes are kept.
QString siteForLookup(const QString& address);

// The address that the browser opens for a typed site: without blanks around it, lower case,
// with "http://" in front
// unless it already starts with "http://" or "https://" ("Example.com" -> "http://example.com").
QString browserAddress(const QString& address);

} // namespace brandle

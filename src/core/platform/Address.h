// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace brandle {

// How a typed address becomes the site a lookup counts and the address a browser opens.

// The site a lookup counts for an address as typed: a leading "http://" in any letter case is
// dropped and the rest lower-cased ("HTTP://Example.com" -> "example.com"). Other schemes and
// blanks are kept.
QString siteForLookup(const QString& address);

// The address that the browser opens for a typed site: lower case, with "http://" in front
// unless it already starts with it ("Example.com" -> "http://example.com").
QString browserAddress(const QString& address);

} // namespace brandle

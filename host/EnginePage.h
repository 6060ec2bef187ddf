// SPDX-License-Identifier: MIT
#pragma once

// The documents brandle-host makes for its engines: answer pages with the count between two
// fixed markers, the engine entries and source credits of the served schema.

#include "Source.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brandle::host {

// The markers around the count on the answer pages of the real engines. The right marker
// does not occur inside the left one, and neither can occur in escaped page text.
inline constexpr std::string_view kCountLeft = R"(<output id="count">)";
inline constexpr std::string_view kCountRight = "</output>";
// The markers around the reason on a page without a count.
inline constexpr std::string_view kReasonLeft = R"(<output id="reason">)";
inline constexpr std::string_view kReasonRight = "</output>";

// An answer page: "<output id="count">1,234</output>" for a count, "at least" before the
// markers for a lower bound, and for no count the reason between the reason markers.
std::string countPage(const EngineInfo& engine, std::string_view site, const LinkCount& result,
                      const SourceCredit& credit);

// The home page of a real engine.
std::string engineHomePage(const EngineInfo& engine, const SourceCredit& credit);

// An engine entry of a real engine: site parameter "site", no RightURL, dots kept, the
// count and reason markers above.
EngineInfo realEngine(std::string id, std::string name, std::string unit);

// The <Engine> entries of the schema, one per engine, with the reason markers and the unit
// where the engine has them; "{host}" stands for the host's address.
std::string schemaEngineEntries(const std::vector<EngineInfo>& engines);

// The credit as one line of text: "Majestic Million by Majestic, licence CC BY 3.0".
std::string creditText(const SourceCredit& credit);

// The <Sources> element with one <Source> per credit.
std::string schemaSources(const std::vector<SourceCredit>& credits);

// The answer of GET /sources: a JSON array with one object per source: "id", "name", "state"
// ("ready", "loading", "failed", "off"), "progress" (0 to 1, or null when not known or not
// loading), "release", "updated" (ISO 8601, UTC), "error", "key" (where the key of a source
// asked with one comes from: "keyring", "file", "none"), "terms" and "termsLink" (each null
// when empty).
std::string sourcesJson(const std::vector<SourceStatus>& sources);

// The schema template with the content of its <Engines> element replaced by the entries and
// the sources put right after that element; nothing when the template has no <Engines>
// element.
std::optional<std::string> mergeSchema(std::string_view schemaTemplate, std::string_view entries,
                                       std::string_view sources);

} // namespace brandle::host

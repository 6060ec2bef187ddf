// SPDX-License-Identifier: MIT
#pragma once

#include "engine/LookupUi.h"
#include "settings/clsProps.h"

#include <QString>

#include <optional>

namespace brandle {

// The count text that an engine's answer holds between the two markers: the search for
// rightString starts where leftString begins. No value when a marker is missing, the markers
// overlap, or the text between them is not numeric.
std::optional<QString> extractCount(const QString& answer, const QString& leftString,
                                    const QString& rightString);

// The query address of an engine: leftUrl + the site with every "." replaced + rightUrl.
QString queryAddress(const QString& leftUrl, const QString& site, const QString& replaceDot,
                     const QString& rightUrl);

// What one QueryEngines call did besides its result.
struct QueryReport {
    // The engine whose answer could not be downloaded; the result is then "".
    QString failedEngine;
    // True once the counts were added up: props.URLName, LastCount and LastRun hold new values.
    bool counted = false;
};

} // namespace brandle

// Asks every engine of the schema for the site (all at once), then builds the result document
// in schema order: compares each count and the total with the stored previous run, stores the
// new ones, starts the alert when props.PlaySound() is "1", sets props' URLName, LastCount and
// LastRun, and appends the document to the link log when props.Logging() is "1".
// Returns the document, or "" when an engine's answer could not be downloaded. Throws
// BrandleError for an unusable schema, a missing field, a count or total beyond 32 bits, any
// other request error and a log that cannot be written; what was stored before stays stored.
QString QueryEngines(const QString& schemaText, const QString& site, clsProps& props,
                     brandle::LookupUi& ui, brandle::QueryReport& report);

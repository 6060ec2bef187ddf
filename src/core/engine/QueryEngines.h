// SPDX-License-Identifier: MIT
#pragma once

#include "engine/LookupUi.h"
#include "engine/Schema.h"
#include "platform/Http.h"
#include "settings/clsProps.h"

#include <QString>

#include <optional>

namespace brandle {

class StoreSession;

// The count text that an engine's answer holds between the two markers: the search for
// rightString starts where leftString begins. No value when a marker is missing, the markers
// overlap, or the text between them is not numeric.
std::optional<QString> extractCount(const QString& answer, const QString& leftString,
                                    const QString& rightString);

// Why the answer holds no count: the text the page gives between the entry's reason markers
// (found as the count's are; markup dropped, references resolved, blanks collapsed, at most 200
// characters), else "the count is not a number" when the count's markers were found, else "the
// page holds no count".
QString noCountReason(const QString& answer, const EngineEntry& engine);

// The query address of an engine: leftUrl + the site with every "." replaced + rightUrl.
QString queryAddress(const QString& leftUrl, const QString& site, const QString& replaceDot,
                     const QString& rightUrl);

// The least change of the total that sounds the Increase or Decrease alert and tells the user:
// a number of links, or a percentage of the previous total. 0 lets every change through.
struct AlertThreshold {
    qint32 amount = 0;
    bool percent = false;

    // Whether the total's move from previous to current is a change of at least the threshold
    // (from a previous total of 0 any change is).
    bool passes(qint32 previous, qint32 current) const;
    // The threshold the settings store holds.
    static AlertThreshold stored(const StoreSession& store);
};

// How a lookup keeps its previous run.
struct QueryOptions {
    // A site of "Also check automatically": compared with its own previous run, which is kept
    // apart from the one run that section "LinkEng" remembers for every other lookup. Its first
    // lookup compares with nothing, as a site change does.
    bool ownRun = false;
};

// What one QueryEngines call did besides its result.
struct QueryReport {
    // The engine whose answer could not be downloaded; the result is then "".
    QString failedEngine;
    // True once the counts were added up: props.URLName, LastCount and LastRun hold new values.
    bool counted = false;
    // Some engine gave no count: the result is marked Partial="1".
    bool partial = false;
    // The total and, when it was compared, the remembered total of the same set of engines.
    qint32 total = 0;
    std::optional<qint32> previousTotal;
    // The total changed by at least the stored threshold: the Increase or Decrease alert was
    // chosen, and the user is told.
    bool alert = false;
};

} // namespace brandle

// Asks every engine of the schema for the site (all at once), then, with the store locked
// (store.lock(); the caller saves the session, which lets go of it, also when this ends early),
// builds the result document in schema order. Each count is compared with the engine's stored
// previous count and stored; an engine without one is marked Compared="0". An engine that gives
// no count is marked NoCount="1" with its Reason, and the result Partial="1" (NoCount="1" as
// well when no engine counted). The total is compared only with the total remembered for the
// same set of engines that had a count (at most four sets are remembered; a site change starts
// over), else the result is marked Compared="0". Starts the alert when props.PlaySound() is
// "1" (Increase and Decrease only for a compared change of at least the stored threshold), sets
// props' URLName, LastCount and LastRun, and appends the document to the link log when
// props.Logging() is "1". Returns the document, or "" when an engine's answer could not be
// downloaded. Throws BrandleError for an unusable schema, a missing field, a count or total
// beyond 32 bits, any other request error, a store that cannot be locked and a log that cannot be
// written; what was set in store before stays set.
QString QueryEngines(const QString& schemaText, const QString& site, clsProps& props,
                     brandle::LookupUi& ui, brandle::QueryReport& report,
                     brandle::StoreSession& store, const brandle::QueryOptions& options = {});
// The same, asking the engines through the lookup's session (at most its maxParallel at once).
QString QueryEngines(const QString& schemaText, const QString& site, clsProps& props,
                     brandle::LookupUi& ui, brandle::QueryReport& report,
                     brandle::StoreSession& store, const brandle::QueryOptions& options,
                     brandle::HttpSession& session);

// SPDX-License-Identifier: MIT
#pragma once

#include "engine/LookupUi.h"
#include "engine/QueryEngines.h"
#include "engine/WindowParams.h"
#include "platform/Errors.h"
#include "platform/Http.h"
#include "platform/Xml.h"
#include "settings/clsProps.h"

#include <QString>

#include <optional>

namespace brandle {

// Limits of one lookup, so that it always ends, whatever the service host sends. The defaults
// are the program's; tests shorten them.
struct LookupLimits {
    // Each transfer; the lookup adds its deadline.
    HttpOptions http;
    // The whole lookup, the time the user spends on a service notice aside.
    int lookupMs = 120000;
    // The style sheet's run (its time limit shortened to what is left of the lookup's).
    XslLimits transform;
    // The schema with the result document merged in, in characters.
    qint64 maxMergedChars = 8 * 1024 * 1024;
};

// How a lookup ended.
struct LookupOutcome {
    enum class Kind {
        PageWritten,        // the result page was written to pagePath
        Error,              // error holds the number and description for the error box
        DownloadFailure,    // an engine's answer could not be downloaded (query.failedEngine)
        ServiceRefused,     // the service host does not allow lookups now
        ServiceUnreachable, // the status text could not be fetched
    };
    Kind kind = Kind::ServiceRefused;
    std::optional<BrandleError> error;
    QString pagePath;
    // The message window's parameters, read from the merged document when the page was written;
    // none when the document lacks one of them (the page is then written but not shown).
    std::optional<WindowParams> window;
    // What the engine query did: query.counted when props' URLName, LastCount and LastRun are
    // new (also when a later step failed).
    QueryReport query;
    // The result document the engine query made ("" when it made none).
    QString resultDocument;
};

// The page file, "ParloMsg.html" in the program's folder.
QString resultPagePath();

} // namespace brandle

// The whole lookup of a site (lower case, no leading "http://"): the service status, the
// loading window, the schema, the engines, the result page. props is the lookup's copy of the
// settings record: it reads Logging and PlaySound and receives URLName, LastCount, LastRun
// and, with a page written, XMLSchema. Every request goes through one session, so the service
// host's documents share a connection. The settings store is read and written through one
// store session, saved once: when the counts are in, or when the lookup ends early, so that
// what it stored before a failure stays stored. A save that fails ends the lookup with its
// error. Never throws.
brandle::LookupOutcome RunLookup(const QString& site, clsProps& props, brandle::LookupUi& ui,
                                 const brandle::QueryOptions& options = {},
                                 const brandle::LookupLimits& limits = brandle::LookupLimits());

// The run after the status check passed; fills outcome as it goes and saves store once the
// counts are in, before the page is written. The style sheet is fetched while the engines are
// asked. Throws BrandleError.
void BuildResultPage(const QString& site, clsProps& props, brandle::LookupUi& ui,
                     brandle::LookupOutcome& outcome, const brandle::QueryOptions& options,
                     brandle::HttpSession& session, const brandle::LookupLimits& limits,
                     brandle::StoreSession& store);

// Renders the merged schema-and-results document with the style sheet as the service host
// answered it; markup that the style sheet wrote as escaped text ("&lt;b&gt;") becomes markup.
// encoding, when given, receives the encoding the style sheet's output declares. Throws
// BrandleError.
QString TransformResults(const brandle::XmlDocument& merged, const brandle::HttpResult& styleSheet,
                         const brandle::XslLimits& limits = brandle::XslLimits(),
                         QString* encoding = nullptr);

// SPDX-License-Identifier: MIT
#pragma once

#include "engine/LookupUi.h"
#include "engine/QueryEngines.h"
#include "engine/WindowParams.h"
#include "platform/Errors.h"
#include "settings/clsProps.h"

#include <QString>

#include <optional>

namespace brandle {

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
};

// The page file, "ParloMsg.html" in the program's folder.
QString resultPagePath();

} // namespace brandle

// The whole lookup of a site (lower case, no leading "http://"): the service status, the
// loading window, the schema, the engines, the result page. props is the lookup's copy of the
// settings record: it reads Logging and PlaySound and receives URLName, LastCount, LastRun
// and, with a page written, XMLSchema. Never throws.
brandle::LookupOutcome RunLookup(const QString& site, clsProps& props, brandle::LookupUi& ui,
                                 const brandle::QueryOptions& options = {});

// The run after the status check passed; fills outcome as it goes. Throws BrandleError.
void BuildResultPage(const QString& site, clsProps& props, brandle::LookupUi& ui,
                     brandle::LookupOutcome& outcome, const brandle::QueryOptions& options = {});

// Renders the merged schema-and-results document with the service host's style sheet; markup
// that the style sheet wrote as escaped text ("&lt;b&gt;") becomes markup. Throws BrandleError.
QString TransformResults(const QString& mergedText);
QString TransformResults(const brandle::XmlDocument& merged);

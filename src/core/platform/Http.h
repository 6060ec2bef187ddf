// SPDX-License-Identifier: MIT
#pragma once

#include "platform/Errors.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace brandle {

// Limits of one HTTP transfer.
struct HttpOptions {
    int connectTimeoutMs = 15000;
    int totalTimeoutMs = 60000;
    long maxRedirects = 5;
    qint64 maxBodyBytes = 16 * 1024 * 1024;
};

// The outcome of one GET: the body text whatever the status code, or the error.
struct HttpResult {
    QString body;
    long status = 0;
    std::optional<BrandleError> error;

    bool ok() const { return !error.has_value(); }
    // A transport failure (name not resolved, connection refused or reset, timeout, body over
    // the cap, TLS failure), as opposed to an address the library cannot use.
    bool isDownloadFailure() const { return error && error->code() == ErrorCode::DownloadFailed; }
    // The body; throws the error when the request failed.
    const QString& bodyOrThrow() const;
};

// GET of one address. Follows redirects, decodes the body by the response's charset (UTF-8
// when none is given). Only http and https are used. Never throws.
HttpResult httpGet(const QString& url, const HttpOptions& options = HttpOptions());

// GETs all addresses at once; the results are in the order of the addresses. Never throws.
std::vector<HttpResult> httpGetAll(const QStringList& urls,
                                   const HttpOptions& options = HttpOptions());

// Aborts every running transfer and makes every later one fail at once: used when the program
// exits, so it never waits on the network.
void abortAllTransfers();

} // namespace brandle

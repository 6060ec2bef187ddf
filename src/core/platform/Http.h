// SPDX-License-Identifier: MIT
#pragma once

#include "platform/Errors.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace brandle {

// Limits of the transfers of one session (or of one httpGet/httpGetAll call).
struct HttpOptions {
    int connectTimeoutMs = 15000;
    int totalTimeoutMs = 60000;
    long maxRedirects = 5;
    qint64 maxBodyBytes = 16 * 1024 * 1024;
    // Transfers that run at once; the others wait for their turn.
    int maxParallel = 16;
    // When set, every transfer ends by this time whatever its own timeouts allow.
    std::optional<std::chrono::steady_clock::time_point> deadline = std::nullopt;
};

// How the body of an answer is handed over.
enum class HttpBody {
    Text, // decoded by the response's charset (UTF-8 when none) into HttpResult::body
    Raw,  // the bytes as received in HttpResult::bytes, with the charset named in
          // HttpResult::charset
};

// The outcome of one GET: the body whatever the status code, or the error.
struct HttpResult {
    QString body;
    QByteArray bytes;
    // The charset the response's Content-Type names; "" when none.
    QString charset;
    long status = 0;
    std::optional<BrandleError> error;
    // The error is a body over the size limit.
    bool tooLarge = false;

    bool ok() const { return !error.has_value(); }
    // A transport failure (name not resolved, connection refused or reset, timeout, body over
    // the cap, an answer cut off before the end of its headers, TLS failure), as opposed to an
    // address the library cannot use.
    bool isDownloadFailure() const { return error && error->code() == ErrorCode::DownloadFailed; }
    // The body; throws the error when the request failed.
    const QString& bodyOrThrow() const;
};

// Transfers that share connections: a later request to a host reuses the connection an earlier
// one left open, and a transfer started with start() runs on while later requests are made.
// Used from one thread at a time. Never throws.
class HttpSession {
public:
    explicit HttpSession(const HttpOptions& options = HttpOptions());
    ~HttpSession();
    HttpSession(const HttpSession&) = delete;
    HttpSession& operator=(const HttpSession&) = delete;

    const HttpOptions& options() const;
    // Moves the time by which every later transfer ends.
    void setDeadline(std::chrono::steady_clock::time_point deadline);

    // GET of one address, waiting for its answer.
    HttpResult get(const QString& url, HttpBody body = HttpBody::Text);
    // GETs all addresses, at most options().maxParallel at once; the results are in the order
    // of the addresses. onDone, when given, sees each result as soon as it is complete (in the
    // order they complete) and may take from it what it needs, e.g. to drop a large body; it
    // must not throw.
    std::vector<HttpResult> getAll(const QStringList& urls,
                                   const std::function<void(size_t, HttpResult&)>& onDone = {});
    // POST of a body of the content type to one address, waiting for its answer (its bytes in
    // HttpResult::bytes). Redirects are not followed.
    HttpResult post(const QString& url, const QByteArray& body, const QByteArray& contentType);
    // Starts a GET that proceeds while the session does other requests; take() waits for it.
    int start(const QString& url, HttpBody body = HttpBody::Text);
    HttpResult take(int transfer);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// GET of one address in a session of its own. Follows redirects (http and https only), decodes
// the body by the response's charset (UTF-8 when none is given). Never throws.
HttpResult httpGet(const QString& url, const HttpOptions& options = HttpOptions());

// POST of a body in a session of its own (see HttpSession::post). Never throws.
HttpResult httpPost(const QString& url, const QByteArray& body, const QByteArray& contentType,
                    const HttpOptions& options = HttpOptions());

// GETs all addresses in a session of their own; the results are in the order of the addresses.
// Never throws.
std::vector<HttpResult> httpGetAll(const QStringList& urls,
                                   const HttpOptions& options = HttpOptions());

// Aborts every running transfer and makes every later one fail at once: used when the program
// exits, so it never waits on the network.
void abortAllTransfers();

} // namespace brandle

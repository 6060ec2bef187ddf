// SPDX-License-Identifier: MIT
#include "platform/Http.h"

#include <QByteArray>
#include <QStringDecoder>

#include <curl/curl.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

using namespace Qt::StringLiterals;

namespace brandle {

namespace {

std::atomic<bool> abortRequested{false};

struct Transfer {
    QString url;
    HttpBody kind = HttpBody::Text;
    std::optional<QByteArray> postBody; // set: a POST of these bytes, redirects not followed
    std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> headers{nullptr,
                                                                        curl_slist_free_all};
    CURL* easy = nullptr;
    QByteArray body;
    qint64 maxBody = 0;
    bool overCap = false;
    // The last header block seen so far ended with its blank line.
    bool headersEnded = false;
    bool done = false;
    HttpResult result;
    // Set while a getAll() call waits for this transfer.
    const std::function<void(size_t, HttpResult&)>* onDone = nullptr;
    size_t index = 0;
    char errorBuffer[CURL_ERROR_SIZE] = {};
};

size_t writeBody(char* data, size_t size, size_t count, void* userData)
{
    auto* transfer = static_cast<Transfer*>(userData);
    const size_t bytes = size * count;
    if (transfer->body.size() + qint64(bytes) > transfer->maxBody) {
        transfer->overCap = true;
        return 0; // makes the transfer fail with CURLE_WRITE_ERROR
    }
    transfer->body.append(data, qsizetype(bytes));
    return bytes;
}

// Sees every header line: a status line opens a header block (there is one per redirect or
// interim answer), a blank line ends it.
size_t readHeader(char* data, size_t size, size_t count, void* userData)
{
    auto* transfer = static_cast<Transfer*>(userData);
    const size_t bytes = size * count;
    if (bytes >= 5 && std::memcmp(data, "HTTP/", 5) == 0)
        transfer->headersEnded = false;
    else if ((bytes == 2 && data[0] == '\r' && data[1] == '\n') || (bytes == 1 && data[0] == '\n'))
        transfer->headersEnded = true;
    return bytes;
}

int progress(void*, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return abortRequested.load() ? 1 : 0;
}

void initCurl()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

QString charsetOf(const char* contentType)
{
    if (!contentType)
        return {};
    const QString type = QString::fromLatin1(contentType);
    for (const QString& part : type.split(u';')) {
        const QString p = part.trimmed();
        if (p.startsWith("charset="_L1, Qt::CaseInsensitive)) {
            QString name = p.mid(8).trimmed();
            if (name.size() >= 2 && name.startsWith(u'"') && name.endsWith(u'"'))
                name = name.mid(1, name.size() - 2);
            return name;
        }
    }
    return {};
}

QString decodeBody(const QByteArray& body, const QString& charset)
{
    if (!charset.isEmpty()) {
        QStringDecoder decoder(charset.toLatin1().constData());
        if (decoder.isValid())
            return decoder.decode(body);
    }
    return QString::fromUtf8(body);
}

bool isHttpAddress(const QString& url)
{
    return url.startsWith("http://"_L1, Qt::CaseInsensitive) ||
           url.startsWith("https://"_L1, Qt::CaseInsensitive);
}

HttpResult failed(ErrorCode code, const QString& detail)
{
    HttpResult result;
    result.error = BrandleError(code, detail);
    return result;
}

HttpResult finish(Transfer& transfer, CURLcode code)
{
    HttpResult result;
    if (transfer.overCap) {
        result.error = BrandleError(ErrorCode::DownloadFailed,
                                    u"the answer is larger than %1 bytes"_s.arg(transfer.maxBody));
        result.tooLarge = true;
        return result;
    }
    curl_easy_getinfo(transfer.easy, CURLINFO_RESPONSE_CODE, &result.status);
    if (code != CURLE_OK) {
        const QString detail = QString::fromUtf8(
            transfer.errorBuffer[0] ? transfer.errorBuffer : curl_easy_strerror(code));
        if (code != CURLE_URL_MALFORMAT && code != CURLE_UNSUPPORTED_PROTOCOL)
            return failed(ErrorCode::DownloadFailed, detail);
        long redirects = 0;
        curl_easy_getinfo(transfer.easy, CURLINFO_REDIRECT_COUNT, &redirects);
        if (redirects > 0 || (result.status >= 300 && result.status < 400)) {
            char* target = nullptr;
            curl_easy_getinfo(transfer.easy, CURLINFO_EFFECTIVE_URL, &target);
            return failed(ErrorCode::UnsupportedRedirect,
                          target ? QString::fromUtf8(target) : detail);
        }
        // An http address whose server answered something that is not HTTP.
        if (code == CURLE_UNSUPPORTED_PROTOCOL && isHttpAddress(transfer.url))
            return failed(ErrorCode::DownloadFailed, detail);
        return failed(ErrorCode::InvalidUrl, detail);
    }
    if (!transfer.headersEnded)
        return failed(ErrorCode::DownloadFailed, u"the answer ended inside its headers"_s);
    char* contentType = nullptr;
    curl_easy_getinfo(transfer.easy, CURLINFO_CONTENT_TYPE, &contentType);
    result.charset = charsetOf(contentType);
    if (transfer.kind == HttpBody::Raw)
        result.bytes = std::move(transfer.body);
    else
        result.body = decodeBody(transfer.body, result.charset);
    transfer.body = QByteArray();
    return result;
}

bool setUp(Transfer& transfer, const HttpOptions& options, long connectMs, long totalMs)
{
    transfer.easy = curl_easy_init();
    if (!transfer.easy)
        return false;
    transfer.maxBody = options.maxBodyBytes;
    CURL* e = transfer.easy;
    const QByteArray address = transfer.url.toUtf8();
    curl_easy_setopt(e, CURLOPT_URL, address.constData()); // libcurl copies the text
    curl_easy_setopt(e, CURLOPT_PRIVATE, &transfer);
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, transfer.postBody ? 0L : 1L);
    if (transfer.postBody) {
        curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(transfer.postBody->size()));
        curl_easy_setopt(e, CURLOPT_POSTFIELDS, transfer.postBody->constData());
        curl_easy_setopt(e, CURLOPT_HTTPHEADER, transfer.headers.get());
    }
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, options.maxRedirects);
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, connectMs);
    curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, totalMs);
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(e, CURLOPT_USERAGENT, "Brandle/" BRANDLE_VERSION);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &writeBody);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &readHeader);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(e, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(e, CURLOPT_XFERINFOFUNCTION, &progress);
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, transfer.errorBuffer);
    return true;
}

} // namespace

struct HttpSession::Private {
    HttpOptions options;
    CURLM* multi = nullptr;
    std::map<int, std::unique_ptr<Transfer>> transfers; // started and not yet taken
    std::deque<Transfer*> waiting;                      // started, not yet given to libcurl
    int running = 0;
    int nextId = 1;

    void complete(Transfer& t, HttpResult result)
    {
        t.result = std::move(result);
        t.done = true;
        if (t.onDone)
            (*t.onDone)(t.index, t.result);
        t.onDone = nullptr;
    }

    // Hands waiting transfers to libcurl while fewer than maxParallel run.
    void activate()
    {
        const int cap = std::max(1, options.maxParallel);
        while (!waiting.empty() && running < cap) {
            Transfer& t = *waiting.front();
            waiting.pop_front();
            long connectMs = options.connectTimeoutMs;
            long totalMs = options.totalTimeoutMs;
            if (options.deadline) {
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                      *options.deadline - std::chrono::steady_clock::now())
                                      .count();
                if (left <= 0) {
                    complete(t, failed(ErrorCode::DownloadFailed, u"out of time"_s));
                    continue;
                }
                connectMs = std::min(connectMs, long(left));
                totalMs = std::min(totalMs, long(left));
            }
            if (abortRequested.load()) {
                complete(t, failed(ErrorCode::DownloadFailed, u"aborted"_s));
                continue;
            }
            if (!multi || !setUp(t, options, connectMs, totalMs) ||
                curl_multi_add_handle(multi, t.easy) != CURLM_OK) {
                if (t.easy)
                    curl_easy_cleanup(t.easy);
                t.easy = nullptr;
                complete(t, failed(ErrorCode::RequestFailed, QString()));
                continue;
            }
            ++running;
        }
    }

    void collect()
    {
        int pending = 0;
        while (CURLMsg* msg = curl_multi_info_read(multi, &pending)) {
            if (msg->msg != CURLMSG_DONE)
                continue;
            CURL* easy = msg->easy_handle;
            const CURLcode code = msg->data.result;
            Transfer* t = nullptr;
            curl_easy_getinfo(easy, CURLINFO_PRIVATE, reinterpret_cast<char**>(&t));
            curl_multi_remove_handle(multi, easy);
            --running;
            HttpResult result = finish(*t, code);
            curl_easy_cleanup(easy);
            t->easy = nullptr;
            complete(*t, std::move(result));
        }
        activate();
    }

    // Runs the transfers until isDone() holds or none runs any more (a transfer that then is not
    // done ends as an error in take()).
    template <typename Done> void drive(Done isDone)
    {
        activate();
        while (!isDone() && running > 0) {
            int still = 0;
            if (curl_multi_perform(multi, &still) != CURLM_OK)
                break;
            collect();
            if (isDone() || running == 0)
                break;
            curl_multi_poll(multi, nullptr, 0, 100, nullptr);
        }
    }
};

HttpSession::HttpSession(const HttpOptions& options)
    : d(std::make_unique<Private>())
{
    initCurl();
    d->options = options;
    d->multi = curl_multi_init();
}

HttpSession::~HttpSession()
{
    for (auto& [id, t] : d->transfers) {
        if (t->easy) {
            curl_multi_remove_handle(d->multi, t->easy);
            curl_easy_cleanup(t->easy);
        }
    }
    if (d->multi)
        curl_multi_cleanup(d->multi);
}

const HttpOptions& HttpSession::options() const
{
    return d->options;
}

void HttpSession::setDeadline(std::chrono::steady_clock::time_point deadline)
{
    d->options.deadline = deadline;
}

int HttpSession::start(const QString& url, HttpBody body)
{
    const int id = d->nextId++;
    auto transfer = std::make_unique<Transfer>();
    transfer->url = url;
    transfer->kind = body;
    d->waiting.push_back(transfer.get());
    d->transfers.emplace(id, std::move(transfer));
    d->activate();
    return id;
}

HttpResult HttpSession::take(int id)
{
    const auto it = d->transfers.find(id);
    if (it == d->transfers.end())
        return failed(ErrorCode::RequestFailed, QString());
    Transfer& t = *it->second;
    d->drive([&t] { return t.done; });
    HttpResult result = t.done ? std::move(t.result) : failed(ErrorCode::RequestFailed, QString());
    if (t.easy) {
        curl_multi_remove_handle(d->multi, t.easy);
        curl_easy_cleanup(t.easy);
        --d->running;
    }
    d->waiting.erase(std::remove(d->waiting.begin(), d->waiting.end(), &t), d->waiting.end());
    d->transfers.erase(it);
    return result;
}

HttpResult HttpSession::get(const QString& url, HttpBody body)
{
    return take(start(url, body));
}

HttpResult HttpSession::post(const QString& url, const QByteArray& body,
                             const QByteArray& contentType)
{
    const int id = d->nextId++;
    auto transfer = std::make_unique<Transfer>();
    transfer->url = url;
    transfer->kind = HttpBody::Raw;
    transfer->postBody = body;
    transfer->headers.reset(
        curl_slist_append(nullptr, QByteArray("Content-Type: " + contentType).constData()));
    d->waiting.push_back(transfer.get());
    d->transfers.emplace(id, std::move(transfer));
    return take(id);
}

std::vector<HttpResult> HttpSession::getAll(const QStringList& urls,
                                            const std::function<void(size_t, HttpResult&)>& onDone)
{
    std::vector<int> ids;
    ids.reserve(size_t(urls.size()));
    for (const QString& url : urls) {
        const int id = d->nextId++;
        auto transfer = std::make_unique<Transfer>();
        transfer->url = url;
        transfer->index = ids.size();
        transfer->onDone = onDone ? &onDone : nullptr;
        d->waiting.push_back(transfer.get());
        d->transfers.emplace(id, std::move(transfer));
        ids.push_back(id);
    }
    std::vector<HttpResult> results;
    results.reserve(ids.size());
    for (const int id : ids)
        results.push_back(take(id));
    return results;
}

HttpResult httpGet(const QString& url, const HttpOptions& options)
{
    return HttpSession(options).get(url);
}

HttpResult httpPost(const QString& url, const QByteArray& body, const QByteArray& contentType,
                    const HttpOptions& options)
{
    return HttpSession(options).post(url, body, contentType);
}

std::vector<HttpResult> httpGetAll(const QStringList& urls, const HttpOptions& options)
{
    return HttpSession(options).getAll(urls);
}

const QString& HttpResult::bodyOrThrow() const
{
    if (error)
        throw *error;
    return body;
}

void abortAllTransfers()
{
    abortRequested.store(true);
}

} // namespace brandle

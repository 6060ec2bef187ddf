// SPDX-License-Identifier: MIT
#include "platform/Http.h"

#include <QByteArray>
#include <QStringDecoder>

#include <curl/curl.h>

#include <atomic>
#include <memory>
#include <mutex>

using namespace Qt::StringLiterals;

namespace brandle {

namespace {

std::atomic<bool> abortRequested{false};

struct Transfer {
    CURL* easy = nullptr;
    QByteArray body;
    qint64 maxBody = 0;
    bool overCap = false;
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

HttpResult finish(Transfer& transfer, CURLcode code)
{
    HttpResult result;
    if (transfer.overCap) {
        result.error = BrandleError(ErrorCode::DownloadFailed,
                                    u"the answer is larger than %1 bytes"_s.arg(transfer.maxBody));
        return result;
    }
    if (code != CURLE_OK) {
        const QString detail = QString::fromUtf8(
            transfer.errorBuffer[0] ? transfer.errorBuffer : curl_easy_strerror(code));
        const bool unusable = code == CURLE_URL_MALFORMAT || code == CURLE_UNSUPPORTED_PROTOCOL;
        result.error =
            BrandleError(unusable ? ErrorCode::InvalidUrl : ErrorCode::DownloadFailed, detail);
        return result;
    }
    curl_easy_getinfo(transfer.easy, CURLINFO_RESPONSE_CODE, &result.status);
    char* contentType = nullptr;
    curl_easy_getinfo(transfer.easy, CURLINFO_CONTENT_TYPE, &contentType);
    result.body = decodeBody(transfer.body, charsetOf(contentType));
    return result;
}

bool setUp(Transfer& transfer, const QString& url, const HttpOptions& options)
{
    transfer.easy = curl_easy_init();
    if (!transfer.easy)
        return false;
    transfer.maxBody = options.maxBodyBytes;
    CURL* e = transfer.easy;
    const QByteArray address = url.toUtf8();
    curl_easy_setopt(e, CURLOPT_URL, address.constData()); // libcurl copies the text
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, options.maxRedirects);
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, long(options.connectTimeoutMs));
    curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, long(options.totalTimeoutMs));
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(e, CURLOPT_USERAGENT, "Brandle/" BRANDLE_VERSION);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &writeBody);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(e, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(e, CURLOPT_XFERINFOFUNCTION, &progress);
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, transfer.errorBuffer);
    return true;
}

} // namespace

const QString& HttpResult::bodyOrThrow() const
{
    if (error)
        throw *error;
    return body;
}

HttpResult httpGet(const QString& url, const HttpOptions& options)
{
    return std::move(httpGetAll(QStringList{url}, options).front());
}

std::vector<HttpResult> httpGetAll(const QStringList& urls, const HttpOptions& options)
{
    initCurl();
    std::vector<HttpResult> results(size_t(urls.size()));
    if (urls.isEmpty())
        return results;
    if (abortRequested.load()) {
        for (HttpResult& r : results)
            r.error = BrandleError(ErrorCode::DownloadFailed, u"aborted"_s);
        return results;
    }

    std::vector<std::unique_ptr<Transfer>> transfers;
    CURLM* multi = curl_multi_init();
    for (const QString& url : urls) {
        auto transfer = std::make_unique<Transfer>();
        if (!multi || !setUp(*transfer, url, options)) {
            if (transfer->easy)
                curl_easy_cleanup(transfer->easy);
            transfer->easy = nullptr;
        } else {
            curl_multi_add_handle(multi, transfer->easy);
        }
        transfers.push_back(std::move(transfer));
    }

    int running = 0;
    do {
        if (curl_multi_perform(multi, &running) != CURLM_OK)
            break;
        if (running > 0)
            curl_multi_poll(multi, nullptr, 0, 100, nullptr);
    } while (running > 0);

    std::vector<CURLcode> codes(transfers.size(), CURLE_FAILED_INIT);
    int pending = 0;
    while (CURLMsg* msg = curl_multi_info_read(multi, &pending)) {
        if (msg->msg != CURLMSG_DONE)
            continue;
        for (size_t i = 0; i < transfers.size(); ++i) {
            if (transfers[i]->easy == msg->easy_handle)
                codes[i] = msg->data.result;
        }
    }

    for (size_t i = 0; i < transfers.size(); ++i) {
        Transfer& t = *transfers[i];
        if (!t.easy) {
            results[i].error = BrandleError(ErrorCode::RequestFailed);
            continue;
        }
        results[i] = finish(t, codes[i]);
        curl_multi_remove_handle(multi, t.easy);
        curl_easy_cleanup(t.easy);
    }
    curl_multi_cleanup(multi);
    return results;
}

void abortAllTransfers()
{
    abortRequested.store(true);
}

} // namespace brandle

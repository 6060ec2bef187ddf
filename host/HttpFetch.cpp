// SPDX-License-Identifier: MIT
#include "HttpFetch.h"

#include "Text.h"

#include <curl/curl.h>

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <mutex>

namespace brandle::host {

namespace {

constexpr long kMaxRedirects = 5;

struct Transfer {
    std::uint64_t maxBytes = 0;
    std::uint64_t received = 0;
    bool tooLarge = false;
    std::string* body = nullptr; // one of body and file
    std::FILE* file = nullptr;
    std::uint64_t offset = 0; // bytes the file held before; kept only by an answer 206
    bool started = false;     // the first byte of the body has arrived
    CURL* handle = nullptr;
    bool writeFailed = false;
    const std::atomic<bool>* cancel = nullptr;
    const FileFetch* how = nullptr;
    std::map<std::string, std::string> headers;
};

// Starts the file again when a range request was answered with the whole body.
bool startBody(Transfer* t)
{
    t->started = true;
    long status = 0;
    curl_easy_getinfo(t->handle, CURLINFO_RESPONSE_CODE, &status);
    if (t->offset == 0 || status == 206) {
        return true;
    }
    t->offset = 0;
    return std::fflush(t->file) == 0 && ::ftruncate(::fileno(t->file), 0) == 0 &&
           std::fseek(t->file, 0, SEEK_SET) == 0;
}

size_t onBody(char* data, size_t size, size_t count, void* user)
{
    auto* t = static_cast<Transfer*>(user);
    const size_t n = size * count;
    if (t->file != nullptr && !t->started && !startBody(t)) {
        t->writeFailed = true;
        return 0;
    }
    if (t->offset + t->received + n > t->maxBytes) {
        t->tooLarge = true;
        return 0; // ends the transfer with CURLE_WRITE_ERROR
    }
    t->received += n;
    if (t->body != nullptr) {
        t->body->append(data, n);
        return n;
    }
    if (std::fwrite(data, 1, n, t->file) != n) {
        t->writeFailed = true;
        return 0;
    }
    return n;
}

size_t onHeader(char* data, size_t size, size_t count, void* user)
{
    auto* t = static_cast<Transfer*>(user);
    const size_t n = size * count;
    const std::string_view line(data, n);
    if (line.rfind("HTTP/", 0) == 0) {
        t->headers.clear(); // a new answer after a redirect or a 100 Continue
        return n;
    }
    const size_t colon = line.find(':');
    if (colon != std::string_view::npos) {
        t->headers[toLowerAscii(trimBlanks(line.substr(0, colon)))] =
            std::string(trimBlanks(line.substr(colon + 1)));
    }
    return n;
}

int onProgress(void* user, curl_off_t total, curl_off_t now, curl_off_t, curl_off_t)
{
    const auto* t = static_cast<Transfer*>(user);
    if (t->how != nullptr && t->how->progress && t->started) {
        t->how->progress(t->offset + std::uint64_t(now),
                         total > 0 ? t->offset + std::uint64_t(total) : 0);
    }
    return t->cancel != nullptr && t->cancel->load() ? 1 : 0;
}

void initCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

FetchResult run(const FetchRequest& request, const FetchLimits& limits, Transfer& transfer)
{
    initCurlOnce();
    FetchResult result;
    const std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(),
                                                                   curl_easy_cleanup);
    if (!curl) {
        result.error = "the HTTP client could not be set up";
        return result;
    }
    struct curl_slist* headerList = nullptr;
    for (const std::string& header : request.headers) {
        headerList = curl_slist_append(headerList, header.c_str());
    }
    // Set by hand rather than with CURLOPT_RESUME_FROM, which fails on an answer 200.
    if (transfer.offset > 0) {
        const std::string range = "Range: bytes=" + std::to_string(transfer.offset) + "-";
        headerList = curl_slist_append(headerList, range.c_str());
    }
    const std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> headers(headerList,
                                                                              curl_slist_free_all);
    CURL* h = curl.get();
    char errorBuffer[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(h, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, request.followRedirects ? 1L : 0L);
    if (request.postBody) {
        curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(request.postBody->size()));
        curl_easy_setopt(h, CURLOPT_POSTFIELDS, request.postBody->data());
    }
    if (!request.user.empty()) {
        curl_easy_setopt(h, CURLOPT_HTTPAUTH, long(CURLAUTH_BASIC));
        curl_easy_setopt(h, CURLOPT_USERNAME, request.user.c_str());
        curl_easy_setopt(h, CURLOPT_PASSWORD, request.password.c_str());
    }
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_NOBODY, request.headOnly ? 1L : 0L);
    if (transfer.how == nullptr || !transfer.how->resume) {
        curl_easy_setopt(h, CURLOPT_ACCEPT_ENCODING, ""); // a range is of the file as stored
    }
    transfer.handle = h;
    curl_easy_setopt(h, CURLOPT_USERAGENT, request.userAgent.c_str());
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(limits.connectTimeout.count()));
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, static_cast<long>(limits.totalTimeout.count()));
    if (limits.stalledTimeout.count() > 0) {
        curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME,
                         static_cast<long>(limits.stalledTimeout.count()));
    }
    curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.maxBytes));
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &transfer);

    const CURLcode code = curl_easy_perform(h);
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &result.status);
    result.headers = std::move(transfer.headers);
    if (code == CURLE_OK) {
        result.outcome = FetchResult::Outcome::Done;
        return result;
    }
    if (transfer.tooLarge || code == CURLE_FILESIZE_EXCEEDED) {
        result.outcome = FetchResult::Outcome::TooLarge;
        result.error = "the answer is larger than " + formatThousands(limits.maxBytes) + " bytes";
    } else if (code == CURLE_OPERATION_TIMEDOUT) {
        result.outcome = FetchResult::Outcome::TimedOut;
        result.error = "no answer in time";
    } else if (code == CURLE_ABORTED_BY_CALLBACK) {
        result.outcome = FetchResult::Outcome::Cancelled;
        result.error = "cancelled";
    } else if (transfer.writeFailed) {
        result.error = "the download could not be written to disk";
    } else {
        result.error = errorBuffer[0] != '\0' ? std::string(errorBuffer) : curl_easy_strerror(code);
    }
    return result;
}

} // namespace

std::string FetchResult::header(const std::string& lowerName) const
{
    const auto it = headers.find(lowerName);
    return it == headers.end() ? std::string() : it->second;
}

FetchResult fetchText(const FetchRequest& request, const FetchLimits& limits,
                      const std::atomic<bool>* cancel)
{
    std::string body;
    Transfer transfer;
    transfer.maxBytes = limits.maxBytes;
    transfer.body = &body;
    transfer.cancel = cancel;
    FetchResult result = run(request, limits, transfer);
    if (result.done()) {
        result.body = std::move(body);
    }
    return result;
}

FetchResult fetchToFile(const FetchRequest& request, const FetchLimits& limits,
                        const std::filesystem::path& file, const std::atomic<bool>* cancel,
                        const FileFetch& how)
{
    const std::unique_ptr<std::FILE, decltype(&std::fclose)> out(
        std::fopen(file.c_str(), how.resume ? "ab" : "wb"), std::fclose);
    if (!out) {
        FetchResult result;
        result.error = "cannot write " + file.string();
        return result;
    }
    Transfer transfer;
    transfer.maxBytes = limits.maxBytes;
    transfer.file = out.get();
    transfer.cancel = cancel;
    transfer.how = &how;
    if (how.resume && std::fseek(out.get(), 0, SEEK_END) == 0) {
        const long size = std::ftell(out.get());
        transfer.offset = size > 0 ? std::uint64_t(size) : 0;
    }
    FetchResult result = run(request, limits, transfer);
    if (result.done() && (std::fflush(out.get()) != 0 || std::ferror(out.get()) != 0)) {
        result.outcome = FetchResult::Outcome::Failed;
        result.error = "the download could not be written to disk";
    }
    return result;
}

} // namespace brandle::host

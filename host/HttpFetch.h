// SPDX-License-Identifier: MIT
#pragma once

// The host's HTTP client for its upstreams (libcurl): a GET or POST into memory, a GET into a
// file, with time limits, a size cap and a way to cancel.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace brandle::host {

struct FetchLimits {
    std::chrono::milliseconds connectTimeout{15000};
    // Whole transfer; zero for none (then stalledTimeout should be set).
    std::chrono::milliseconds totalTimeout{60000};
    // Ends a transfer that received nothing for this long; zero for no such check.
    std::chrono::seconds stalledTimeout{0};
    std::uint64_t maxBytes = 8u << 20;
};

struct FetchRequest {
    std::string url;
    std::string userAgent;
    std::vector<std::string> headers;      // "Name: value"
    bool headOnly = false;                 // HEAD: the answer's headers only
    std::optional<std::string> postBody{}; // set: a POST of this body
    // HTTP Basic authentication, when user is set.
    std::string user{};
    std::string password{};
    // A request that carries a key does not follow a redirect: the key would go along to
    // wherever it points.
    bool followRedirects = true;
};

struct FetchResult {
    enum class Outcome { Done, Failed, TooLarge, TimedOut, Cancelled };
    Outcome outcome = Outcome::Failed;
    long status = 0;                            // HTTP status of the final answer
    std::string error;                          // what went wrong, for logs and pages
    std::string body;                           // fetchText only
    std::map<std::string, std::string> headers; // final answer; names in lower case

    bool done() const { return outcome == Outcome::Done; }
    std::string header(const std::string& lowerName) const;
};

// GET (or POST) into memory. Follows up to 5 redirects, http and https only, unless told not to.
FetchResult fetchText(const FetchRequest& request, const FetchLimits& limits,
                      const std::atomic<bool>* cancel = nullptr);

// How a download into a file starts and what it reports.
struct FileFetch {
    // Continues the file as it is with a range request ("Range: bytes=<size>-"); an answer
    // other than 206 replaces what the file held. Without it the file starts empty.
    bool resume = false;
    // Called as the body arrives: bytes in the file so far and its whole size (0: unknown).
    std::function<void(std::uint64_t have, std::uint64_t total)> progress;
};

// GET into a file (created, truncated or continued). On any outcome but Done the file may
// hold a part of the body; the caller removes it or resumes it later.
FetchResult fetchToFile(const FetchRequest& request, const FetchLimits& limits,
                        const std::filesystem::path& file,
                        const std::atomic<bool>* cancel = nullptr, const FileFetch& how = {});

} // namespace brandle::host

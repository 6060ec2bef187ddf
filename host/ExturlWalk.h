// SPDX-License-Identifier: MIT
#pragma once

// Counting the articles of a wiki that link to a site through the MediaWiki API
// (action=query&list=exturlusage), following "continue" answers up to a request cap.

#include "Source.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace brandle::host {

using ApiParams = std::vector<std::pair<std::string, std::string>>;

// Percent-encodes everything but letters, digits and "-._~".
std::string urlEncode(std::string_view text);

// The request address for one page of exturlusage for the search text (e.g. "example.com"
// or "*.example.com"), articles only, as many links per page as allowed, maxlag=5, with the
// parameters of the previous page's "continue" member.
std::string exturlRequestUrl(const std::string& api, const std::string& query,
                             const ApiParams& continueParams);

// One answer of the API, read.
struct ExturlAnswer {
    enum class Kind { Page, ApiError, Unreadable };
    Kind kind = Kind::Unreadable;
    std::vector<std::int64_t> pageIds;
    ApiParams continueParams; // empty on the last page
    std::string errorCode;    // ApiError
    std::string errorInfo;
};

ExturlAnswer parseExturlAnswer(std::string_view json);

// What fetching one request address gave: the body and status of an answer, or the reason
// why there is none.
struct ExturlFetch {
    bool answered = false;
    long status = 0;
    std::string body;
    std::string failure;    // when not answered: why, as the page shows it
    bool outOfTime = false; // not answered because the lookup's time is up
};

struct ExturlWalk {
    LinkCount result;
    std::string apiErrorCode; // the "error" code of the API, when that ended the walk
    int requests = 0;
    bool outOfTime = false; // the lookup's time ran out: the result holds what came in time
};

// Counts the distinct articles linking to the host name or to any name under it, asking for
// "SITE" and then "*.SITE". With maxRequests used up while the API still offers more, or the
// lookup's time up, the result is "at least" the pages seen, or no count when none was seen.
// Any other failure or an API error gives no count. A page id that is not a positive integer
// makes the answer unreadable.
ExturlWalk walkExturlUsage(const std::string& api, const std::string& site, int maxRequests,
                           const std::function<ExturlFetch(const std::string& url)>& fetch);

} // namespace brandle::host

// SPDX-License-Identifier: MIT
// The host's reader of MediaWiki exturlusage answers, and a walk over a run of them: the input
// holds the answers one after another, separated by NUL bytes; after the last one the lookup's
// time is up.
#include "ExturlWalk.h"

#include <cstdlib>
#include <string_view>

using namespace brandle::host;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    for (const std::int64_t id : parseExturlAnswer(input.substr(0, input.find('\0'))).pageIds) {
        if (id < 1)
            std::abort();
    }
    constexpr int maxRequests = 8;
    std::size_t at = 0;
    const auto fetch = [&](const std::string&) {
        ExturlFetch fetched;
        if (at > input.size()) {
            fetched.failure = "no answer in time";
            fetched.outOfTime = true;
            return fetched;
        }
        const std::size_t nul = input.find('\0', at);
        fetched.answered = true;
        fetched.status = 200;
        fetched.body = input.substr(at, nul == std::string_view::npos ? nul : nul - at);
        at = nul == std::string_view::npos ? input.size() + 1 : nul + 1;
        return fetched;
    };
    const ExturlWalk walk =
        walkExturlUsage("http://wiki/api.php", "example.com", maxRequests, fetch);
    // "At least 0" would read as a count of 0; no count always says why.
    const LinkCount& result = walk.result;
    if ((result.kind == LinkCount::Kind::AtLeast && result.value == 0) ||
        (result.kind == LinkCount::Kind::NoCount && result.reason.empty()) ||
        walk.requests > maxRequests)
        std::abort();
    return 0;
}

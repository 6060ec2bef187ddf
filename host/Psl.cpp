// SPDX-License-Identifier: MIT
#include "Psl.h"

#include <libpsl.h>

#include <vector>

namespace brandle::host {

namespace {

const psl_ctx_t* suffixList()
{
    // The newer of the built-in list and the system's; the built-in one when that fails.
    static const psl_ctx_t* const list = [] {
        const psl_ctx_t* latest = psl_latest(nullptr);
        return latest != nullptr ? latest : psl_builtin();
    }();
    return list;
}

} // namespace

GraphDomain graphDomain(std::string_view asciiHost)
{
    const std::string host(asciiHost);
    std::vector<std::string::size_type> labels{0}; // where each label starts
    for (std::string::size_type dot = host.find('.'); dot != std::string::npos;
         dot = host.find('.', dot + 1)) {
        labels.push_back(dot + 1);
    }
    const auto suffix = [&](std::size_t label, int type) {
        return psl_is_public_suffix2(suffixList(), host.c_str() + labels[label], type) != 0;
    };
    // The longest ICANN suffix (rules with wildcards and exceptions need not nest).
    std::size_t icann = labels.size() - 1;
    for (std::size_t i = labels.size(); i-- > 0;) {
        if (suffix(i, PSL_TYPE_ICANN)) {
            icann = i;
        }
    }
    const std::size_t domain = icann > 0 ? icann - 1 : 0;
    GraphDomain out;
    out.domain = host.substr(labels[domain]);
    // Below the registered domain, a private suffix longer than the ICANN one makes the
    // name a site of a platform.
    for (std::size_t i = 0; domain > 0 && i < icann && !out.shared; ++i) {
        out.shared = suffix(i, PSL_TYPE_PRIVATE);
    }
    return out;
}

std::string reversedName(std::string_view name)
{
    std::string out;
    out.reserve(name.size());
    std::size_t end = name.size();
    while (true) {
        const std::size_t dot = end == 0 ? std::string_view::npos : name.rfind('.', end - 1);
        if (dot == std::string_view::npos) {
            return out.append(name.substr(0, end));
        }
        out.append(name.substr(dot + 1, end - dot - 1)).append(1, '.');
        end = dot;
    }
}

} // namespace brandle::host

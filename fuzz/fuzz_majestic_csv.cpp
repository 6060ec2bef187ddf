// SPDX-License-Identifier: MIT
// The host's reader of the Majestic Million list: the input's first line is the header, every
// further line a row.
#include "MajesticCsv.h"
#include "SiteName.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

using namespace brandle::host;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::size_t end = text.find('\n');
    const std::optional<MajesticColumns> header = parseMajesticHeader(text.substr(0, end));
    if (header && std::max({header->domain, header->refSubNets, header->refIps,
                            header->idnDomain}) >= header->fieldCount)
        std::abort();
    const MajesticColumns columns = header.value_or(MajesticColumns{0, 1, 2, 3, 4});
    while (end != std::string_view::npos) {
        const std::size_t start = end + 1;
        end = text.find('\n', start);
        const std::optional<MajesticRow> row = parseMajesticLine(
            text.substr(start, end == std::string_view::npos ? end : end - start), columns);
        if (row && (!isAsciiHostName(row->domain) || row->idnDomain.empty() ||
                    std::max(row->refSubNets, row->refIps) >= 1'000'000'000'000'000'000u))
            std::abort();
    }
    return 0;
}

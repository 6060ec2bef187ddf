// SPDX-License-Identifier: MIT
// The service host's status text and the style of its notice.
#include "engine/ServiceStatus.h"

#include <cstdlib>

using namespace Qt::StringLiterals;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const brandle::ServiceStatus status = brandle::parseServiceStatus(text);
    // Only "Active" or a well-formed notice lets a lookup run.
    if (status.verdict == brandle::ServiceVerdict::Go && text != "Active"_L1 && !status.notice)
        std::abort();
    if (status.notice)
        brandle::noticeStyle(status.notice->style);
    return 0;
}

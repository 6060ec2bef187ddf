// SPDX-License-Identifier: MIT
// The count between an engine answer's two markers: any answer and any markers.
#include "engine/QueryEngines.h"
#include "platform/Errors.h"
#include "platform/LocaleText.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const QString left = QString::fromStdString(input.ConsumeRandomLengthString(64));
    const QString right = QString::fromStdString(input.ConsumeRandomLengthString(64));
    const QString answer = QString::fromStdString(input.ConsumeRemainingBytesAsString());
    const std::optional<QString> count = brandle::extractCount(answer, left, right);
    if (!count)
        return 0;
    // What is found stands in the answer right after the left marker, and is numeric.
    if (!answer.contains(left + *count) || !brandle::LocaleText::isNumericText(*count))
        std::abort();
    try {
        brandle::LocaleText::toInt32(*count);
    } catch (const brandle::BrandleError& e) {
        if (e.code() != brandle::ErrorCode::Overflow)
            std::abort();
    }
    return 0;
}

// SPDX-License-Identifier: MIT
// The schema loader: a service document's bytes (with or without an HTTP charset), its engine
// list and every entry's fields, as a lookup reads them.
#include "engine/Schema.h"
#include "platform/Errors.h"
#include "platform/Xml.h"

#include <fuzzer/FuzzedDataProvider.h>

using namespace Qt::StringLiterals;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    static const char* const charsets[] = {"", "UTF-8", "ISO-8859-1", "UTF-16", "windows-1252"};
    const char* charset = input.PickValueInArray(charsets);
    const std::string bytes = input.ConsumeRemainingBytesAsString();
    try {
        const QString text =
            brandle::XmlDocument::parseServiceDocument(
                QByteArray(bytes.data(), qsizetype(bytes.size())), QString::fromLatin1(charset))
                .serialize();
        const brandle::EngineSchema schema(text);
        for (int i = 0; i < schema.engineCount(); ++i)
            schema.engine(i);
        GetNodeText(text, u"WinSleep"_s);
    } catch (const brandle::BrandleError&) {
    }
    return 0;
}

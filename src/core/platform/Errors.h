// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <exception>
#include <string>

namespace brandle {

// The numbers and descriptions of every error that can reach the user. The numbers are stable:
// the user sees them as "number - description".
enum class ErrorCode : qint32 {
    Overflow = 6,
    OutOfMemory = 7,
    TypeMismatch = 13,
    Internal = 51,
    FileAccess = 75,
    StoreWrite = 335, // the settings store could not be saved; the old file is kept
    ElementMissing = 91,
    InvalidUrl = qint32(0x800C0002u),
    DownloadFailed = qint32(0x800C0008u), // transport failure: the resource could not be fetched
    RequestFailed = qint32(0x800C0007u),
    UnsupportedRedirect = qint32(0x800C0014u), // a redirect to an address that is not http(s)
    XmlParse = qint32(0xC00CE500u),
    XslTransform = qint32(0xC00CE600u),
    // Limits against a hostile service host.
    DocumentTooLarge = qint32(0xC00CE5F0u),
    EntitiesRefused = qint32(0xC00CE5F1u),
    DocumentTooDeep = qint32(0xC00CE5F2u),
    TooManyEngines = qint32(0xC00CE5F3u),
    SchemaUnusable = qint32(0xC00CE5F4u), // answered with an error status, or not XML
    TransformTooLong = qint32(0xC00CE6F0u),
    TransformTooDeep = qint32(0xC00CE6F1u),
    TransformTooLarge = qint32(0xC00CE6F2u), // its page or its working memory beyond the limit
};

// The plain description of an error number.
QString errorDescription(ErrorCode code);

// An error passed on to the caller; carries its number, its description and optional detail.
class BrandleError : public std::exception {
public:
    explicit BrandleError(ErrorCode code, const QString& detail = QString());

    ErrorCode code() const { return m_code; }
    qint32 number() const { return static_cast<qint32>(m_code); }
    QString detail() const { return m_detail; }
    // The description with its detail, e.g. "Required XML element not found: EngineName".
    QString description() const;
    // "number - description", the text of the error box.
    QString userText() const;
    // The same error about one thing: its detail starts with what it is about, e.g. "the engine
    // schema: 5000000 bytes, at most 4194304".
    BrandleError about(const QString& subject) const;
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    ErrorCode m_code;
    QString m_detail;
    std::string m_what;
};

// Any exception as the error the user is shown: a BrandleError as it is, a failed allocation as
// OutOfMemory, anything else as Internal with its text.
BrandleError errorOf(const std::exception& exception);

} // namespace brandle

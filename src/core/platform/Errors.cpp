// SPDX-License-Identifier: MIT
#include "platform/Errors.h"

#include <QCoreApplication>

#include <new>

using namespace Qt::StringLiterals;

namespace brandle {

namespace {
struct ErrorText {
    Q_DECLARE_TR_FUNCTIONS(Errors)
};
} // namespace

QString errorDescription(ErrorCode code)
{
    switch (code) {
    case ErrorCode::Overflow:
        return ErrorText::tr("Overflow");
    case ErrorCode::OutOfMemory:
        return ErrorText::tr("Out of memory");
    case ErrorCode::TypeMismatch:
        return ErrorText::tr("Type mismatch");
    case ErrorCode::Internal:
        return ErrorText::tr("Internal error");
    case ErrorCode::FileAccess:
        return ErrorText::tr("Path/File access error");
    case ErrorCode::StoreWrite:
        return ErrorText::tr("The settings could not be saved");
    case ErrorCode::ElementMissing:
        return ErrorText::tr("Required XML element not found");
    case ErrorCode::InvalidUrl:
        return ErrorText::tr("The address is not valid");
    case ErrorCode::DownloadFailed:
        return ErrorText::tr("The download of the specified resource has failed");
    case ErrorCode::RequestFailed:
        return ErrorText::tr("The request could not be made");
    case ErrorCode::XmlParse:
        return ErrorText::tr("The XML document is not well-formed");
    case ErrorCode::XslTransform:
        return ErrorText::tr("The style sheet could not be applied");
    case ErrorCode::UnsupportedRedirect:
        return ErrorText::tr("The answer redirects to an address that is not http or https");
    case ErrorCode::DocumentTooLarge:
        return ErrorText::tr("The document is too large");
    case ErrorCode::EntitiesRefused:
        return ErrorText::tr("The document declares entities, which are refused");
    case ErrorCode::DocumentTooDeep:
        return ErrorText::tr("The document is nested too deeply");
    case ErrorCode::TooManyEngines:
        return ErrorText::tr("The engine schema lists too many engines");
    case ErrorCode::SchemaUnusable:
        return ErrorText::tr("The engine schema cannot be used");
    case ErrorCode::TransformTooLong:
        return ErrorText::tr("The style sheet took too long and was stopped");
    case ErrorCode::TransformTooDeep:
        return ErrorText::tr("The style sheet nests its templates too deeply");
    case ErrorCode::TransformTooLarge:
        return ErrorText::tr("The style sheet's output is too large");
    }
    return ErrorText::tr("Unknown error");
}

BrandleError::BrandleError(ErrorCode code, const QString& detail)
    : m_code(code)
    , m_detail(detail)
    , m_what(userText().toStdString())
{
}

QString BrandleError::description() const
{
    const QString base = errorDescription(m_code);
    return m_detail.isEmpty() ? base : base + ": "_L1 + m_detail;
}

QString BrandleError::userText() const
{
    return QString::number(number()) + " - "_L1 + description();
}

BrandleError BrandleError::about(const QString& subject) const
{
    return BrandleError(m_code, m_detail.isEmpty() ? subject : subject + ": "_L1 + m_detail);
}

BrandleError errorOf(const std::exception& exception)
{
    if (const auto* known = dynamic_cast<const BrandleError*>(&exception))
        return *known;
    if (dynamic_cast<const std::bad_alloc*>(&exception))
        return BrandleError(ErrorCode::OutOfMemory);
    return BrandleError(ErrorCode::Internal, QString::fromLocal8Bit(exception.what()));
}

} // namespace brandle

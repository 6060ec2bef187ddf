// SPDX-License-Identifier: MIT
#include "engine/Schema.h"

#include "platform/Errors.h"
#include "platform/Http.h"
#include "platform/Paths.h"
#include "platform/mConstants.h"

#include <QCoreApplication>

using namespace Qt::StringLiterals;

using namespace brandle;

namespace {

QString fieldText(const XmlNode& entry, const char* name)
{
    const XmlNode field = entry.firstElement(QLatin1StringView(name));
    if (field.isNull())
        throw BrandleError(ErrorCode::ElementMissing, QLatin1StringView(name));
    return field.text();
}

} // namespace

QString GetEngineSchema(HttpSession& session)
{
    const QString name = QCoreApplication::translate("Schema", "the engine schema");
    const HttpResult answer = session.get(Paths::serviceUrl(mConstants::SchemaPath), HttpBody::Raw);
    if (answer.tooLarge)
        throw BrandleError(ErrorCode::DocumentTooLarge, answer.error->detail()).about(name);
    if (answer.error)
        throw answer.error->about(name);
    if (answer.status < 200 || answer.status > 299)
        throw BrandleError(ErrorCode::SchemaUnusable,
                           QCoreApplication::translate(
                               "Schema", "the service host answered %1 for the engine schema")
                               .arg(answer.status));
    try {
        return XmlDocument::parseServiceDocument(answer.bytes, answer.charset).serialize();
    } catch (const BrandleError& e) {
        if (e.code() != ErrorCode::XmlParse)
            throw e.about(name);
        throw BrandleError(ErrorCode::SchemaUnusable, e.detail())
            .about(QCoreApplication::translate("Schema", "the engine schema is not XML"));
    }
}

QString GetEngineSchema()
{
    HttpSession session;
    return GetEngineSchema(session);
}

QString GetNodeText(const QString& xmlText, const QString& tagName)
{
    const XmlDocument document = XmlDocument::parse(xmlText);
    const XmlNode node = document.firstElement(tagName);
    if (node.isNull())
        throw BrandleError(ErrorCode::ElementMissing, tagName);
    return node.text();
}

namespace brandle {

EngineSchema::EngineSchema(const QString& schemaText)
    : m_document(XmlDocument::parse(schemaText))
{
    const QList<XmlNode> children = m_document.root().childNodes();
    if (children.size() < 2)
        throw BrandleError(ErrorCode::ElementMissing,
                           QCoreApplication::translate("Schema", "engine list"));
    m_entries = children.at(1).childNodes();
    if (m_entries.size() > maxEngines)
        throw BrandleError(ErrorCode::TooManyEngines,
                           u"%1 entries, at most %2"_s.arg(m_entries.size()).arg(maxEngines));
}

EngineEntry EngineSchema::engine(int i) const
{
    const XmlNode& entry = m_entries.at(i);
    EngineEntry e;
    e.EngineName = fieldText(entry, "EngineName");
    e.EngineHome = fieldText(entry, "EngineHome");
    e.LeftURL = fieldText(entry, "LeftURL");
    e.RightURL = fieldText(entry, "RightURL");
    e.LeftString = fieldText(entry, "LeftString");
    e.RightString = fieldText(entry, "RightString");
    e.ReplaceDot = fieldText(entry, "ReplaceDot");
    e.ReasonLeftString = entry.firstElement(u"ReasonLeftString"_s).text();
    e.ReasonRightString = entry.firstElement(u"ReasonRightString"_s).text();
    e.Unit = entry.firstElement(u"Unit"_s).text();
    return e;
}

} // namespace brandle

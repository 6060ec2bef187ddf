// SPDX-License-Identifier: MIT
#pragma once

#include "platform/Http.h"
#include "platform/Xml.h"

#include <QString>

namespace brandle {

// One engine of the schema: how to ask it and where its answer holds the count.
struct EngineEntry {
    QString EngineName;
    QString EngineHome;
    QString LeftURL;
    QString RightURL;
    QString LeftString;
    QString RightString;
    QString ReplaceDot;
    // Optional, "" when the entry has none: the markers around the reason on a page without a
    // count, and what the engine counts ("referring subnets").
    QString ReasonLeftString;
    QString ReasonRightString;
    QString Unit;
};

// The engine list of a schema: the root's second child, every child node of which is one entry.
class EngineSchema {
public:
    // Throws BrandleError XmlParse for an empty or unparsable schema, ElementMissing when the
    // root has fewer than two children, TooManyEngines when it lists more than maxEngines.
    explicit EngineSchema(const QString& schemaText);

    static constexpr int maxEngines = 300;

    int engineCount() const { return int(m_entries.size()); }
    // The seven fields of entry i, read in order, and the optional ones; throws BrandleError
    // ElementMissing naming the first of the seven that the entry lacks.
    EngineEntry engine(int i) const;

private:
    XmlDocument m_document;
    QList<XmlNode> m_entries;
};

} // namespace brandle

// The engine schema of the service host as text (the loaded document serialized). Throws a
// BrandleError that names the engine schema when it cannot be fetched (the transfer's error),
// is refused (too large, declaring entities, nested too deeply), is answered with a status other
// than 2xx or is not a well-formed document (SchemaUnusable).
QString GetEngineSchema(brandle::HttpSession& session);
QString GetEngineSchema();

// The text of the first element named tagName in the document. Throws BrandleError XmlParse for
// text that is not a document and ElementMissing when there is no such element.
QString GetNodeText(const QString& xmlText, const QString& tagName);

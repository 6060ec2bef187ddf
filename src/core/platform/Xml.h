// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QString>

struct _xmlDoc;
struct _xmlNode;

namespace brandle {

// A node of a parsed document; a plain view that is valid while its document lives.
class XmlNode {
public:
    XmlNode() = default;
    explicit XmlNode(_xmlNode* node)
        : m_node(node)
    {
    }

    bool isNull() const { return m_node == nullptr; }
    bool isElement() const;
    QString name() const;

    // The child nodes, leaving out text nodes that hold only whitespace. Elements, comments,
    // CDATA sections and other text count.
    QList<XmlNode> childNodes() const;
    // The first element of the name below this node, in document order at any depth.
    XmlNode firstElement(const QString& name) const;
    // The text content: entities and CDATA resolved, surrounding blanks kept.
    QString text() const;
    // The attribute's value with entities resolved; "" when it is missing.
    QString attribute(const QString& name) const;

    _xmlNode* handle() const { return m_node; }

private:
    _xmlNode* m_node = nullptr;
};

// A parsed XML document. Parsing never touches the network or loads external entities.
class XmlDocument {
public:
    XmlDocument(XmlDocument&& other) noexcept;
    XmlDocument& operator=(XmlDocument&& other) noexcept;
    XmlDocument(const XmlDocument&) = delete;
    XmlDocument& operator=(const XmlDocument&) = delete;
    ~XmlDocument();

    // Throws BrandleError XmlParse when the text is not a well-formed document.
    static XmlDocument parse(const QString& text);

    // Nodes point into the document, so they cannot be taken from a temporary one.
    XmlNode root() const&;
    XmlNode root() const&& = delete;
    // The first element of the name in the whole document (the root included).
    XmlNode firstElement(const QString& name) const&;
    XmlNode firstElement(const QString& name) const&& = delete;
    // The document as text, without declaration; an empty element is written as a start tag
    // and an end tag ("<LPResults></LPResults>").
    QString serialize() const;

    _xmlDoc* handle() const { return m_doc; }

private:
    explicit XmlDocument(_xmlDoc* doc)
        : m_doc(doc)
    {
    }
    _xmlDoc* m_doc = nullptr;
};

// Transforms the document by the style sheet and returns the output as text. The style sheet
// may not write files, create folders, read files or reach the network. Throws BrandleError
// XslTransform when the style sheet is not usable or the transformation fails.
QString xslTransform(const XmlDocument& document, const XmlDocument& styleSheet);

} // namespace brandle

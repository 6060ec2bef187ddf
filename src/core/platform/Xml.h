// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QVarLengthArray>

#include <optional>

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

    // A document as a service host sends it: the parser sees the raw bytes and honours their
    // declaration; charset, the one the HTTP answer names, wins when given. Throws BrandleError
    // DocumentTooLarge beyond maxServiceDocumentBytes, EntitiesRefused for a DOCTYPE that
    // declares entities (no service document needs one), DocumentTooDeep beyond
    // maxServiceDocumentDepth nested elements, and XmlParse when it is not well-formed.
    static XmlDocument parseServiceDocument(const QByteArray& bytes,
                                            const QString& charset = QString());
    static constexpr qint64 maxServiceDocumentBytes = 4 * 1024 * 1024;
    static constexpr int maxServiceDocumentDepth = 100;

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

// The text of a piece of HTML as a reader sees it: tags and comments dropped, character and
// entity references resolved (HTML's named ones as well). Loads nothing; "" for no text.
QString htmlText(const QString& html);

// A strict reader of one small XML document in memory (a line of the link log, say) that builds
// no tree: it walks the start tags, end tags and text in document order and checks on the way
// that the document is well-formed. It reads the plain XML that Brandle writes: elements and
// attributes with ASCII names, character data, CDATA sections, the five predefined entities and
// character references. Anything beyond that (a document type, comments, processing
// instructions, namespaces, names beyond ASCII, a document over 8 MB) ends the walk with
// Unsupported (a document over 8 MB only once it has been read to its end); the caller then parses
// the document with XmlDocument, which decides. So a document this reader accepts is one
// XmlDocument::parse accepts, with the same values.
class XmlScanner {
public:
    enum class Event {
        StartElement,  // name(), depth() and the attributes of a start tag
        EndElement,    // name() and depth() of the element that ends (also after "<a/>")
        Text,          // a run of character data or a CDATA section: appendText()
        EndOfDocument, // the root element has ended and nothing but blanks follows
        Malformed,     // certainly not well-formed: cut short, or an end tag that does not match
        Unsupported,   // beyond this reader; parse the document with XmlDocument
    };

    // The document's UTF-8 bytes, which must outlive the scanner.
    explicit XmlScanner(QByteArrayView document = {});
    // Starts again on another document (cheaper than a new scanner for many small ones).
    void restart(QByteArrayView document);

    Event next();

    // The element's depth, the root being 1; for Text, the enclosing element's depth.
    int depth() const { return m_depth; }
    QByteArrayView name() const { return m_name; }
    // The raw value of an attribute of the current start tag, references not yet resolved.
    std::optional<QByteArrayView> rawAttribute(QByteArrayView name) const;
    // The attribute's value as XmlNode::attribute() gives it ("" when it is missing).
    QString attribute(QByteArrayView name) const;
    // A raw attribute value with references resolved and blanks normalised, as a parser does.
    static QString attributeValue(QByteArrayView raw);
    // Appends the current text, references resolved and line ends normalised.
    void appendText(QString& out) const;

private:
    struct RawAttribute {
        QByteArrayView name;
        QByteArrayView value;
    };
    Event fail(Event event);
    Event startTag();
    Event endTag();
    Event charData();
    Event cdata();
    bool scanName(QByteArrayView* name);
    bool scanReference();
    void skipBlanks();

    QByteArrayView m_doc;
    qsizetype m_pos = 0;
    int m_depth = 0;
    QByteArrayView m_name;
    QByteArrayView m_text;
    bool m_textIsCdata = false;
    bool m_pendingEnd = false; // "<a/>": its EndElement comes next
    bool m_rootSeen = false;
    bool m_done = false;
    static constexpr int MaxAttributes = 16; // more in one tag are left to the parser
    QVarLengthArray<QByteArrayView, 8> m_open;
    RawAttribute m_attributes[MaxAttributes];
    int m_attributeCount = 0;
};

// Limits of one transformation: its running time and how deeply instruction bodies may nest (a
// template that calls itself from inside an xsl:if takes two levels a call).
struct XslLimits {
    int timeMs = 10000;
    int maxDepth = 1000;
    // The page it writes, and the memory its result tree, strings and other working data take
    // while it runs.
    qint64 maxOutputBytes = 16 * 1024 * 1024;
    qint64 maxMemoryBytes = 128 * 1024 * 1024;
};

// Transforms the document by the style sheet and returns the output as text; encoding, when
// given, receives the encoding the style sheet's output declares ("UTF-8" when it declares
// none). The style sheet may not write files, create folders, read files or reach the network.
// Throws BrandleError TransformTooLong, TransformTooDeep or TransformTooLarge when it goes beyond
// the limits (it is stopped there), XslTransform when the style sheet is not usable or the
// transformation fails.
QString xslTransform(const XmlDocument& document, const XmlDocument& styleSheet,
                     const XslLimits& limits = XslLimits(), QString* encoding = nullptr);

} // namespace brandle

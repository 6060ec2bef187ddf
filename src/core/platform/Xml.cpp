// SPDX-License-Identifier: MIT
#include "platform/Xml.h"

#include "platform/Errors.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlsave.h>
#include <libxslt/security.h>
#include <libxslt/transform.h>
#include <libxslt/xsltInternals.h>
#include <libxslt/xsltutils.h>

#include <QStringDecoder>

#include <cstdarg>
#include <cstdio>
#include <memory>
#include <mutex>

using namespace Qt::StringLiterals;

namespace brandle {

namespace {

thread_local QString xsltMessages;

void collectXsltMessage(void*, const char* format, ...)
{
    char buffer[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    xsltMessages += QString::fromUtf8(buffer);
}

// No external entity, DTD or included document is ever loaded.
xmlParserInputPtr refuseExternalEntity(const char*, const char*, xmlParserCtxtPtr)
{
    return nullptr;
}

xsltSecurityPrefsPtr forbiddingPrefs()
{
    xsltSecurityPrefsPtr prefs = xsltNewSecurityPrefs();
    for (xsltSecurityOption option :
         {XSLT_SECPREF_READ_FILE, XSLT_SECPREF_WRITE_FILE, XSLT_SECPREF_CREATE_DIRECTORY,
          XSLT_SECPREF_READ_NETWORK, XSLT_SECPREF_WRITE_NETWORK})
        xsltSetSecurityPrefs(prefs, option, xsltSecurityForbid);
    return prefs;
}

void initLibraries()
{
    static std::once_flag once;
    std::call_once(once, [] {
        xmlInitParser();
        xmlSetExternalEntityLoader(&refuseExternalEntity);
        xsltSetGenericErrorFunc(nullptr, &collectXsltMessage);
        xsltSetDefaultSecurityPrefs(forbiddingPrefs());
    });
}

QString fromXmlChars(const xmlChar* text)
{
    return text ? QString::fromUtf8(reinterpret_cast<const char*>(text)) : QString();
}

// Takes ownership of a string returned by libxml2.
QString takeXmlChars(xmlChar* text)
{
    const QString result = fromXmlChars(text);
    xmlFree(text);
    return result;
}

bool isWhitespaceText(xmlNodePtr node)
{
    return node->type == XML_TEXT_NODE && xmlIsBlankNode(node);
}

xmlNodePtr findElement(xmlNodePtr first, const QByteArray& name)
{
    for (xmlNodePtr node = first; node; node = node->next) {
        if (node->type != XML_ELEMENT_NODE)
            continue;
        if (xmlStrEqual(node->name, reinterpret_cast<const xmlChar*>(name.constData())))
            return node;
        if (xmlNodePtr found = findElement(node->children, name))
            return found;
    }
    return nullptr;
}

struct StyleSheetDeleter {
    void operator()(xsltStylesheetPtr p) const { xsltFreeStylesheet(p); }
};
struct TransformContextDeleter {
    void operator()(xsltTransformContextPtr p) const { xsltFreeTransformContext(p); }
};
struct SecurityPrefsDeleter {
    void operator()(xsltSecurityPrefsPtr p) const { xsltFreeSecurityPrefs(p); }
};
struct DocDeleter {
    void operator()(xmlDocPtr p) const { xmlFreeDoc(p); }
};

} // namespace

bool XmlNode::isElement() const
{
    return m_node && m_node->type == XML_ELEMENT_NODE;
}

QString XmlNode::name() const
{
    return m_node ? fromXmlChars(m_node->name) : QString();
}

QList<XmlNode> XmlNode::childNodes() const
{
    QList<XmlNode> children;
    if (!m_node)
        return children;
    for (xmlNodePtr child = m_node->children; child; child = child->next) {
        if (!isWhitespaceText(child))
            children.append(XmlNode(child));
    }
    return children;
}

XmlNode XmlNode::firstElement(const QString& name) const
{
    return XmlNode(m_node ? findElement(m_node->children, name.toUtf8()) : nullptr);
}

QString XmlNode::text() const
{
    return m_node ? takeXmlChars(xmlNodeGetContent(m_node)) : QString();
}

QString XmlNode::attribute(const QString& name) const
{
    if (!isElement())
        return {};
    const QByteArray key = name.toUtf8();
    return takeXmlChars(xmlGetProp(m_node, reinterpret_cast<const xmlChar*>(key.constData())));
}

XmlDocument::XmlDocument(XmlDocument&& other) noexcept
    : m_doc(other.m_doc)
{
    other.m_doc = nullptr;
}

XmlDocument& XmlDocument::operator=(XmlDocument&& other) noexcept
{
    std::swap(m_doc, other.m_doc);
    return *this;
}

XmlDocument::~XmlDocument()
{
    if (m_doc)
        xmlFreeDoc(m_doc);
}

XmlDocument XmlDocument::parse(const QString& text)
{
    initLibraries();
    const QByteArray utf8 = text.toUtf8();
    xmlParserCtxtPtr context = xmlNewParserCtxt();
    if (!context)
        throw BrandleError(ErrorCode::XmlParse);
    // The text is already decoded: its bytes are UTF-8 whatever its declaration says.
    xmlDocPtr doc = xmlCtxtReadMemory(context, utf8.constData(), int(utf8.size()), nullptr, "UTF-8",
                                      XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    QString detail;
    if (!doc || !context->wellFormed) {
        const xmlError* error = xmlCtxtGetLastError(context);
        if (error && error->message)
            detail = QString::fromUtf8(error->message).trimmed() + u" (line %1)"_s.arg(error->line);
        if (doc)
            xmlFreeDoc(doc);
        doc = nullptr;
    }
    xmlFreeParserCtxt(context);
    if (!doc || !xmlDocGetRootElement(doc)) {
        if (doc)
            xmlFreeDoc(doc);
        throw BrandleError(ErrorCode::XmlParse, detail);
    }
    return XmlDocument(doc);
}

XmlNode XmlDocument::root() const&
{
    return XmlNode(m_doc ? xmlDocGetRootElement(m_doc) : nullptr);
}

XmlNode XmlDocument::firstElement(const QString& name) const&
{
    return XmlNode(m_doc ? findElement(m_doc->children, name.toUtf8()) : nullptr);
}

QString XmlDocument::serialize() const
{
    if (!m_doc)
        return {};
    xmlBufferPtr buffer = xmlBufferCreate();
    xmlSaveCtxtPtr save = xmlSaveToBuffer(buffer, "UTF-8", XML_SAVE_NO_EMPTY | XML_SAVE_NO_DECL);
    xmlSaveDoc(save, m_doc);
    xmlSaveClose(save);
    QString text = QString::fromUtf8(reinterpret_cast<const char*>(xmlBufferContent(buffer)),
                                     xmlBufferLength(buffer));
    xmlBufferFree(buffer);
    if (text.endsWith(u'\n'))
        text.chop(1);
    return text;
}

QString xslTransform(const XmlDocument& document, const XmlDocument& styleSheet)
{
    initLibraries();
    xsltMessages.clear();
    // The compiled style sheet owns its document, so it gets a copy.
    xmlDocPtr sheetCopy = xmlCopyDoc(styleSheet.handle(), 1);
    std::unique_ptr<xsltStylesheet, StyleSheetDeleter> style(
        sheetCopy ? xsltParseStylesheetDoc(sheetCopy) : nullptr);
    if (!style) {
        if (sheetCopy)
            xmlFreeDoc(sheetCopy);
        throw BrandleError(ErrorCode::XslTransform, xsltMessages.trimmed());
    }

    std::unique_ptr<xsltTransformContext, TransformContextDeleter> context(
        xsltNewTransformContext(style.get(), document.handle()));
    std::unique_ptr<xsltSecurityPrefs, SecurityPrefsDeleter> prefs(forbiddingPrefs());
    if (!context || !prefs || xsltSetCtxtSecurityPrefs(prefs.get(), context.get()) != 0)
        throw BrandleError(ErrorCode::XslTransform);
    xsltSetTransformErrorFunc(context.get(), nullptr, &collectXsltMessage);

    std::unique_ptr<xmlDoc, DocDeleter> result(xsltApplyStylesheetUser(
        style.get(), document.handle(), nullptr, nullptr, nullptr, context.get()));
    if (!result || context->state != XSLT_STATE_OK)
        throw BrandleError(ErrorCode::XslTransform, xsltMessages.trimmed());

    xmlChar* output = nullptr;
    int length = 0;
    if (xsltSaveResultToString(&output, &length, result.get(), style.get()) != 0)
        throw BrandleError(ErrorCode::XslTransform);
    const QByteArray bytes(reinterpret_cast<const char*>(output), length);
    xmlFree(output);
    // The output is in the encoding the style sheet names, UTF-8 when it names none.
    if (style->encoding && !xmlStrEqual(style->encoding, BAD_CAST "UTF-8")) {
        QStringDecoder decoder(reinterpret_cast<const char*>(style->encoding));
        if (decoder.isValid())
            return decoder.decode(bytes);
    }
    return QString::fromUtf8(bytes);
}

} // namespace brandle

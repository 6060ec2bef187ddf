// SPDX-License-Identifier: MIT
#include "platform/Xml.h"

#include "platform/Errors.h"

#include <libxml/HTMLparser.h>
#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlsave.h>
#include <libxslt/security.h>
#include <libxslt/transform.h>
#include <libxslt/xsltInternals.h>
#include <libxslt/xsltutils.h>

#include <QCoreApplication>
#include <QStringDecoder>

#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <utility>

using namespace Qt::StringLiterals;

namespace brandle {

namespace {

thread_local QString xsltMessages;

void collectXmlError(void*, xmlErrorPtr error)
{
    if (error && error->message)
        xsltMessages += QString::fromUtf8(error->message);
}

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

// Work one transformation may do in all, far beyond what a result page needs: instructions
// run, and XPath steps (one expression runs between two instructions). Together with the time
// limit they also bound the memory of a style sheet that doubles its output at every level.
constexpr unsigned long maxInstructions = 1'000'000;
constexpr unsigned long maxXPathOperations = 200'000'000;

// The running transformation's limits, seen at every instruction.
struct TransformWatch {
    xsltTransformContextPtr context = nullptr;
    std::chrono::steady_clock::time_point deadline;
    int maxDepth = 0;
    unsigned instructions = 0;
    bool tooLong = false;
    bool tooDeep = false;
};
thread_local TransformWatch* currentWatch = nullptr;

void watchInstruction(xmlNodePtr, xmlNodePtr, xsltTemplatePtr, xsltTransformContextPtr context)
{
    TransformWatch* watch = currentWatch;
    if (!watch || watch->context != context || context->state != XSLT_STATE_OK)
        return;
    if (context->depth >= watch->maxDepth) {
        watch->tooDeep = true;
        context->state = XSLT_STATE_STOPPED;
    } else if ((++watch->instructions & 0xFF) == 0 &&
               std::chrono::steady_clock::now() >= watch->deadline) {
        watch->tooLong = true;
        context->state = XSLT_STATE_STOPPED;
    }
}

int watchAddCall(xsltTemplatePtr, xmlNodePtr)
{
    return 0; // no call frame to drop later
}

void watchDropCall() {}

// The memory a transformation takes, counted through libxml2's allocator on the thread that
// runs it. Past the limit the transformation is stopped at its next instruction or XPath step;
// an allocation that would take it past twice the limit fails at once, for the one step that
// could take a great deal (a copy of every node of a large tree, say).
struct TransformMemory {
    size_t used = 0;
    size_t limit = 0;
    size_t hardLimit = 0;
    bool exceeded = false;
    xsltTransformContextPtr context = nullptr; // stopped when the limit is passed
};
thread_local TransformMemory* transformMemory = nullptr;

void stopTransform(TransformMemory* memory)
{
    if (memory->exceeded)
        return;
    memory->exceeded = true;
    if (xsltTransformContextPtr context = memory->context) {
        context->state = XSLT_STATE_STOPPED;
        // Every later XPath step fails, so a long expression ends too.
        if (context->xpathCtxt)
            context->xpathCtxt->opCount = context->xpathCtxt->opLimit;
    }
}

void noteAllocated(TransformMemory* memory, size_t bytes)
{
    memory->used += bytes;
    if (memory->used > memory->limit)
        stopTransform(memory);
}

bool mayAllocate(TransformMemory* memory, size_t bytes)
{
    if (memory->used + bytes <= memory->hardLimit)
        return true;
    stopTransform(memory);
    return false;
}

void* countedMalloc(size_t size)
{
    TransformMemory* memory = transformMemory;
    if (memory && !mayAllocate(memory, size))
        return nullptr;
    void* block = std::malloc(size);
    if (memory && block)
        noteAllocated(memory, malloc_usable_size(block));
    return block;
}

void* countedRealloc(void* block, size_t size)
{
    TransformMemory* memory = transformMemory;
    const size_t before = memory && block ? malloc_usable_size(block) : 0;
    if (memory && size > before && !mayAllocate(memory, size - before))
        return nullptr;
    void* grown = std::realloc(block, size);
    if (memory && grown) {
        memory->used -= std::min(memory->used, before);
        noteAllocated(memory, malloc_usable_size(grown));
    }
    return grown;
}

void countedFree(void* block)
{
    if (TransformMemory* memory = transformMemory; memory && block)
        memory->used -= std::min(memory->used, malloc_usable_size(block));
    std::free(block);
}

char* countedStrdup(const char* text)
{
    const size_t size = std::strlen(text) + 1;
    auto* copy = static_cast<char*>(countedMalloc(size));
    if (copy)
        std::memcpy(copy, text, size);
    return copy;
}

// Counts this thread's allocations through libxml2 while it lives.
class MemoryCount {
public:
    MemoryCount(TransformMemory& memory, qint64 limit)
        : m_outer(transformMemory)
    {
        memory.used = 0;
        memory.limit = size_t(std::max<qint64>(limit, 0));
        memory.hardLimit = 2 * memory.limit;
        transformMemory = &memory;
    }
    ~MemoryCount() { transformMemory = m_outer; }
    MemoryCount(const MemoryCount&) = delete;
    MemoryCount& operator=(const MemoryCount&) = delete;

private:
    TransformMemory* m_outer;
};

void initLibraries()
{
    static std::once_flag once;
    std::call_once(once, [] {
        xmlMemSetup(&countedFree, &countedMalloc, &countedRealloc, &countedStrdup);
        xmlInitParser();
        xmlSetExternalEntityLoader(&refuseExternalEntity);
        xsltSetGenericErrorFunc(nullptr, &collectXsltMessage);
        xsltSetDefaultSecurityPrefs(forbiddingPrefs());
        // Called only for transformation contexts whose debugStatus is set: ours.
        struct {
            xsltHandleDebuggerCallback handler;
            xsltAddCallCallback add;
            xsltDropCallCallback drop;
        } callbacks{&watchInstruction, &watchAddCall, &watchDropCall};
        xsltSetDebuggerCallbacks(3, &callbacks);
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

// Watches a parse for what a service document may not hold. The parser calls the hooks on the
// thread that parses; the guard of the running parse is found through a thread-local pointer.
struct ParseGuard {
    bool entities = false;
    bool tooDeep = false;
    int depth = 0;
};
thread_local ParseGuard* currentGuard = nullptr;

void refuseEntityDeclaration(void* context, const xmlChar*, int, const xmlChar*, const xmlChar*,
                             xmlChar*)
{
    if (currentGuard)
        currentGuard->entities = true;
    xmlStopParser(static_cast<xmlParserCtxtPtr>(context));
}

void countStartElement(void* context, const xmlChar* localName, const xmlChar* prefix,
                       const xmlChar* uri, int namespaceCount, const xmlChar** namespaces,
                       int attributeCount, int defaultedCount, const xmlChar** attributes)
{
    if (currentGuard && ++currentGuard->depth > XmlDocument::maxServiceDocumentDepth) {
        currentGuard->tooDeep = true;
        xmlStopParser(static_cast<xmlParserCtxtPtr>(context));
        return;
    }
    xmlSAX2StartElementNs(context, localName, prefix, uri, namespaceCount, namespaces,
                          attributeCount, defaultedCount, attributes);
}

void countEndElement(void* context, const xmlChar* localName, const xmlChar* prefix,
                     const xmlChar* uri)
{
    if (currentGuard)
        --currentGuard->depth;
    xmlSAX2EndElementNs(context, localName, prefix, uri);
}

// Parses the bytes (encoding: nullptr lets the declaration decide). With a guard, a DOCTYPE
// that declares entities and elements nested too deeply stop the parse. Throws BrandleError.
xmlDocPtr parseMemory(const QByteArray& bytes, const char* encoding, ParseGuard* guard)
{
    initLibraries();
    xmlParserCtxtPtr context = xmlNewParserCtxt();
    if (!context)
        throw BrandleError(ErrorCode::XmlParse);
    if (guard) {
        context->sax->entityDecl = &refuseEntityDeclaration;
        context->sax->startElementNs = &countStartElement;
        context->sax->endElementNs = &countEndElement;
    }
    ParseGuard* const outerGuard = currentGuard;
    currentGuard = guard;
    xmlDocPtr doc =
        xmlCtxtReadMemory(context, bytes.constData(), int(bytes.size()), nullptr, encoding,
                          XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    currentGuard = outerGuard;
    QString detail;
    if (!doc || !context->wellFormed) {
        const xmlError* error = xmlCtxtGetLastError(context);
        if (error && error->message)
            detail = QString::fromUtf8(error->message).trimmed() +
                     QCoreApplication::translate("Xml", " (line %1)").arg(error->line);
        if (doc)
            xmlFreeDoc(doc);
        doc = nullptr;
    }
    xmlFreeParserCtxt(context);
    // A stopped parse may hand back the part it built.
    if (guard && (guard->entities || guard->tooDeep) && doc) {
        xmlFreeDoc(doc);
        doc = nullptr;
    }
    if (guard && guard->entities)
        throw BrandleError(ErrorCode::EntitiesRefused);
    if (guard && guard->tooDeep)
        throw BrandleError(ErrorCode::DocumentTooDeep,
                           u"more than %1 levels"_s.arg(XmlDocument::maxServiceDocumentDepth));
    if (!doc || !xmlDocGetRootElement(doc)) {
        if (doc)
            xmlFreeDoc(doc);
        throw BrandleError(ErrorCode::XmlParse, detail);
    }
    return doc;
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
struct XmlCharsDeleter {
    void operator()(xmlChar* p) const { xmlFree(p); }
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
    // The text is already decoded: its bytes are UTF-8 whatever its declaration says.
    const QByteArray utf8 = text.toUtf8();
    return XmlDocument(parseMemory(utf8, "UTF-8", nullptr));
}

XmlDocument XmlDocument::parseServiceDocument(const QByteArray& bytes, const QString& charset)
{
    if (bytes.size() > maxServiceDocumentBytes)
        throw BrandleError(
            ErrorCode::DocumentTooLarge,
            u"%1 bytes, at most %2"_s.arg(bytes.size()).arg(maxServiceDocumentBytes));
    const QByteArray encoding = charset.trimmed().toLatin1();
    ParseGuard guard;
    return XmlDocument(
        parseMemory(bytes, encoding.isEmpty() ? nullptr : encoding.constData(), &guard));
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

QString htmlText(const QString& html)
{
    initLibraries();
    const QByteArray utf8 = html.toUtf8();
    const std::unique_ptr<xmlDoc, DocDeleter> doc(
        htmlReadMemory(utf8.constData(), int(utf8.size()), nullptr, "UTF-8",
                       HTML_PARSE_NONET | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING));
    // A document node's content is the text of everything below it.
    return doc ? takeXmlChars(xmlNodeGetContent(reinterpret_cast<xmlNodePtr>(doc.get())))
               : QString();
}

QString xslTransform(const XmlDocument& document, const XmlDocument& styleSheet,
                     const XslLimits& limits, QString* encoding)
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

    // The watch sees every instruction (the library calls it as it would a debugger) and stops
    // the transformation when it runs too long or its templates nest too deeply; libxslt's own
    // depth limit stays one above as a backstop.
    context->maxTemplateDepth = limits.maxDepth + 1;
    context->opLimit = maxInstructions;
    context->xpathCtxt->opLimit = maxXPathOperations;
    context->xpathCtxt->error = &collectXmlError;
    context->debugStatus = XSLT_DEBUG_RUN;
    TransformWatch watch;
    watch.context = context.get();
    watch.deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(0, limits.timeMs));
    watch.maxDepth = limits.maxDepth;
    TransformWatch* const outerWatch = currentWatch;
    currentWatch = &watch;
    TransformMemory memory;
    memory.context = context.get();
    std::unique_ptr<xmlDoc, DocDeleter> result;
    {
        const MemoryCount counting(memory, limits.maxMemoryBytes);
        result.reset(xsltApplyStylesheetUser(style.get(), document.handle(), nullptr, nullptr,
                                             nullptr, context.get()));
    }
    currentWatch = outerWatch;
    const auto tooLarge = [&limits] {
        return BrandleError(
            ErrorCode::TransformTooLarge,
            QCoreApplication::translate("Xml", "more than %1 MiB of page or %2 MiB of memory")
                .arg(limits.maxOutputBytes >> 20)
                .arg(limits.maxMemoryBytes >> 20));
    };
    if (memory.exceeded)
        throw tooLarge();
    if (watch.tooLong)
        throw BrandleError(ErrorCode::TransformTooLong,
                           QCoreApplication::translate("Xml", "after %1 ms").arg(limits.timeMs));
    if (watch.tooDeep)
        throw BrandleError(ErrorCode::TransformTooDeep,
                           u"more than %1 nested levels"_s.arg(limits.maxDepth));
    if (context->opCount >= maxInstructions)
        throw BrandleError(ErrorCode::TransformTooLong,
                           u"more than %1 instructions"_s.arg(maxInstructions));
    if (context->xpathCtxt->opCount >= maxXPathOperations)
        throw BrandleError(ErrorCode::TransformTooLong,
                           u"more than %1 XPath steps"_s.arg(maxXPathOperations));
    if (!result || context->state != XSLT_STATE_OK)
        throw BrandleError(ErrorCode::XslTransform, xsltMessages.trimmed());

    xmlChar* output = nullptr;
    int length = 0;
    TransformMemory pageMemory;
    int saved = 0;
    {
        // The page, the buffers that grow to hold it and its copy.
        const MemoryCount counting(pageMemory, 4 * limits.maxOutputBytes);
        saved = xsltSaveResultToString(&output, &length, result.get(), style.get());
    }
    const std::unique_ptr<xmlChar, XmlCharsDeleter> page(output);
    if (pageMemory.exceeded || length > limits.maxOutputBytes)
        throw tooLarge();
    if (saved != 0)
        throw BrandleError(ErrorCode::XslTransform);
    const QByteArray bytes(reinterpret_cast<const char*>(output), length);
    // The output is in the encoding the style sheet names, UTF-8 when it names none.
    const QString declared = style->encoding ? fromXmlChars(style->encoding) : u"UTF-8"_s;
    if (encoding)
        *encoding = declared;
    if (declared.compare("UTF-8"_L1, Qt::CaseInsensitive) != 0) {
        QStringDecoder decoder(style->encoding ? reinterpret_cast<const char*>(style->encoding)
                                               : "UTF-8");
        if (decoder.isValid())
            return decoder.decode(bytes);
    }
    return QString::fromUtf8(bytes);
}

} // namespace brandle

namespace brandle {

namespace {

// Larger documents meet the parser's own limits on text and names: the parser decides on them.
constexpr qsizetype MaxScanBytes = 8 * 1024 * 1024;
constexpr int MaxScanDepth = 200;
constexpr qsizetype MaxNameBytes = 1000;

// Byte classes of the scan, one table lookup per byte.
enum ByteClass : unsigned char {
    NameStart = 1,    // a letter or "_"
    NameOther = 2,    // a digit, "-" or "."
    Blank = 4,        // space, tab, line feed, carriage return
    Forbidden = 8,    // a control character XML does not allow
    FirstOfFffx = 16, // 0xEF, which may begin U+FFFE or U+FFFF
    Markup = 32,      // a byte that ends or interrupts plain text: < & > ] " '
};

struct ByteClasses {
    unsigned char of[256] = {};
    constexpr ByteClasses()
    {
        for (int c = 0; c < 0x20; ++c)
            of[c] = Forbidden;
        for (int c = 'a'; c <= 'z'; ++c)
            of[c] = NameStart;
        for (int c = 'A'; c <= 'Z'; ++c)
            of[c] = NameStart;
        of[int('_')] = NameStart;
        for (int c = '0'; c <= '9'; ++c)
            of[c] = NameOther;
        of[int('-')] = NameOther;
        of[int('.')] = NameOther;
        for (const int c : {' ', '\t', '\n', '\r'})
            of[c] = Blank;
        of[0xEF] = FirstOfFffx;
        for (const int c : {'<', '&', '>', ']', '"', '\''})
            of[c] = Markup;
    }
};
constexpr ByteClasses byteClasses;

Q_ALWAYS_INLINE unsigned char classOf(char c)
{
    return byteClasses.of[static_cast<unsigned char>(c)];
}

bool isXmlBlank(char c)
{
    return (classOf(c) & Blank) != 0;
}

bool isNameStart(char c)
{
    return (classOf(c) & NameStart) != 0;
}

bool isNameChar(char c)
{
    return (classOf(c) & (NameStart | NameOther)) != 0;
}

// Whether the bytes from at on hold a character XML does not allow: a control character other
// than tab, line feed and carriage return, or U+FFFE and U+FFFF. Other bytes beyond ASCII are
// read as the UTF-8 decoder reads them (a broken sequence becomes U+FFFD, which XML allows).
// The bytes that a scan of plain text stops at.
constexpr unsigned char StopInText = Forbidden | FirstOfFffx | Markup;

// Names and sites are short: compared here rather than through a call.
Q_ALWAYS_INLINE bool sameBytes(QByteArrayView a, QByteArrayView b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a[i] != b[i])
            return false;
    }
    return true;
}

bool isForbiddenAt(QByteArrayView doc, qsizetype at)
{
    const unsigned char cls = classOf(doc[at]);
    if ((cls & (Forbidden | FirstOfFffx)) == 0)
        return false;
    if (cls & Forbidden)
        return true;
    return at + 2 < doc.size() && static_cast<unsigned char>(doc[at + 1]) == 0xBF &&
           (static_cast<unsigned char>(doc[at + 2]) & 0xFE) == 0xBE;
}

bool isXmlChar(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// The character of a reference "&...;" that starts at the text's beginning; its length goes to
// length. 0 for a reference this reader does not resolve.
char32_t referencedChar(QByteArrayView text, qsizetype* length)
{
    const qsizetype end = text.indexOf(';');
    if (end < 2 || end > 12)
        return 0;
    *length = end + 1;
    const QByteArrayView body = text.sliced(1, end - 1);
    if (body == "amp")
        return '&';
    if (body == "lt")
        return '<';
    if (body == "gt")
        return '>';
    if (body == "quot")
        return '"';
    if (body == "apos")
        return '\'';
    if (body[0] != '#' || body.size() < 2)
        return 0;
    const bool hex = body[1] == 'x';
    const QByteArrayView digits = body.sliced(hex ? 2 : 1);
    if (digits.isEmpty() || digits.size() > 8)
        return 0;
    char32_t value = 0;
    for (const char d : digits) {
        int v = -1;
        if (d >= '0' && d <= '9')
            v = d - '0';
        else if (hex && d >= 'a' && d <= 'f')
            v = d - 'a' + 10;
        else if (hex && d >= 'A' && d <= 'F')
            v = d - 'A' + 10;
        if (v < 0)
            return 0;
        value = value * (hex ? 16 : 10) + char32_t(v);
    }
    return isXmlChar(value) ? value : 0;
}

// Appends raw text, resolving references (the scan has checked them) and normalising line ends;
// in an attribute value every blank becomes a space.
void appendDecoded(QString& out, QByteArrayView raw, bool attribute, bool references)
{
    qsizetype plainFrom = 0;
    const auto flushPlain = [&](qsizetype to) {
        if (to > plainFrom)
            out += QString::fromUtf8(raw.sliced(plainFrom, to - plainFrom));
    };
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '&' && references) {
            flushPlain(i);
            qsizetype length = 0;
            const char32_t ch = referencedChar(raw.sliced(i), &length);
            out += QString::fromUcs4(&ch, 1);
            i += length - 1;
            plainFrom = i + 1;
        } else if (c == '\r' || (attribute && (c == '\n' || c == '\t'))) {
            flushPlain(i);
            if (c == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n')
                ++i;
            out += attribute ? u' ' : u'\n';
            plainFrom = i + 1;
        }
    }
    flushPlain(raw.size());
}

} // namespace

XmlScanner::XmlScanner(QByteArrayView document)
    : m_doc(document)
{
}

void XmlScanner::restart(QByteArrayView document)
{
    m_doc = document;
    m_pos = 0;
    m_depth = 0;
    m_name = {};
    m_text = {};
    m_textIsCdata = false;
    m_pendingEnd = false;
    m_rootSeen = false;
    m_done = false;
    m_open.clear();
    m_attributeCount = 0;
}

XmlScanner::Event XmlScanner::fail(Event event)
{
    m_done = true;
    return event;
}

Q_ALWAYS_INLINE void XmlScanner::skipBlanks()
{
    while (m_pos < m_doc.size() && isXmlBlank(m_doc[m_pos]))
        ++m_pos;
}

Q_ALWAYS_INLINE bool XmlScanner::scanName(QByteArrayView* name)
{
    const qsizetype start = m_pos;
    if (m_pos >= m_doc.size() || !isNameStart(m_doc[m_pos]))
        return false;
    ++m_pos;
    while (m_pos < m_doc.size() && isNameChar(m_doc[m_pos]))
        ++m_pos;
    *name = m_doc.sliced(start, m_pos - start);
    return name->size() <= MaxNameBytes;
}

bool XmlScanner::scanReference()
{
    qsizetype length = 0;
    if (referencedChar(m_doc.sliced(m_pos), &length) == 0)
        return false;
    m_pos += length;
    return true;
}

XmlScanner::Event XmlScanner::next()
{
    if (m_done)
        return Event::Unsupported;
    if (m_pendingEnd) {
        m_pendingEnd = false;
        m_depth = int(m_open.size());
        m_name = m_open.back();
        m_open.pop_back();
        return Event::EndElement;
    }
    const qsizetype size = m_doc.size();
    if (m_open.isEmpty()) {
        // Before the root and after it only blanks may stand here.
        skipBlanks();
        if (m_pos >= size) {
            m_done = true;
            if (!m_rootSeen)
                return Event::Malformed;
            return size > MaxScanBytes ? Event::Unsupported : Event::EndOfDocument;
        }
        if (m_rootSeen)
            return fail(Event::Unsupported);
        // A document starts with "<", or with a byte order mark that the parser skips.
        if (m_doc[m_pos] != '<')
            return fail(m_doc.sliced(m_pos).startsWith("\xEF\xBB\xBF") ? Event::Unsupported
                                                                       : Event::Malformed);
        if (m_pos + 1 >= size)
            return fail(Event::Malformed);
        if (m_doc[m_pos + 1] == '!' || m_doc[m_pos + 1] == '?' || m_doc[m_pos + 1] == '/')
            return fail(Event::Unsupported);
        m_rootSeen = true;
        return startTag();
    }
    if (m_pos >= size)
        return fail(Event::Malformed);
    if (m_doc[m_pos] != '<')
        return charData();
    if (m_pos + 1 >= size)
        return fail(Event::Malformed);
    switch (m_doc[m_pos + 1]) {
    case '/':
        return endTag();
    case '!':
        if (size - m_pos >= 9 && sameBytes(m_doc.sliced(m_pos, 9), "<![CDATA["))
            return cdata();
        // A comment, or "<![CDATA" cut short.
        return fail(QByteArrayView("<![CDATA[").startsWith(m_doc.sliced(m_pos))
                        ? Event::Malformed
                        : Event::Unsupported);
    case '?':
        return fail(Event::Unsupported);
    default:
        return startTag();
    }
}

XmlScanner::Event XmlScanner::startTag()
{
    const qsizetype size = m_doc.size();
    ++m_pos; // '<'
    QByteArrayView name;
    if (!scanName(&name)) {
        // An element name starts with a letter or "_" (or a character beyond ASCII).
        const bool ascii = m_pos < size && (static_cast<unsigned char>(m_doc[m_pos]) < 0x80);
        return fail(m_pos >= size || (ascii && m_doc[m_pos] != ':') ? Event::Malformed
                                                                    : Event::Unsupported);
    }
    m_attributeCount = 0;
    for (;;) {
        const qsizetype beforeBlanks = m_pos;
        skipBlanks();
        if (m_pos >= size)
            return fail(Event::Malformed);
        const char c = m_doc[m_pos];
        if (c == '>' || c == '/') {
            if (c == '/') {
                if (m_pos + 1 >= size)
                    return fail(Event::Malformed);
                if (m_doc[m_pos + 1] != '>')
                    return fail(Event::Unsupported);
                ++m_pos;
                m_pendingEnd = true;
            }
            ++m_pos;
            break;
        }
        // An attribute, after at least one blank.
        QByteArrayView attrName;
        if (m_pos == beforeBlanks || !scanName(&attrName) || sameBytes(attrName, "xmlns"))
            return fail(m_pos >= size ? Event::Malformed : Event::Unsupported);
        for (int i = 0; i < m_attributeCount; ++i) {
            if (sameBytes(m_attributes[i].name, attrName))
                return fail(Event::Unsupported);
        }
        skipBlanks();
        if (m_pos >= size)
            return fail(Event::Malformed);
        if (m_doc[m_pos] != '=')
            return fail(Event::Unsupported);
        ++m_pos;
        skipBlanks();
        if (m_pos >= size)
            return fail(Event::Malformed);
        const char quote = m_doc[m_pos];
        if (quote != '"' && quote != '\'')
            return fail(Event::Unsupported);
        const qsizetype valueStart = ++m_pos;
        for (;;) {
            while (m_pos < size && (classOf(m_doc[m_pos]) & StopInText) == 0)
                ++m_pos;
            if (m_pos >= size)
                return fail(Event::Malformed);
            const char v = m_doc[m_pos];
            if (v == quote)
                break;
            if (v == '<' || isForbiddenAt(m_doc, m_pos))
                return fail(Event::Unsupported);
            if (v == '&') {
                if (!scanReference())
                    return fail(Event::Unsupported);
            } else {
                ++m_pos;
            }
        }
        if (m_attributeCount == MaxAttributes)
            return fail(Event::Unsupported);
        m_attributes[m_attributeCount++] = {attrName, m_doc.sliced(valueStart, m_pos - valueStart)};
        ++m_pos; // the closing quote
    }
    if (m_open.size() >= MaxScanDepth)
        return fail(Event::Unsupported);
    m_open.push_back(name);
    m_name = name;
    m_depth = int(m_open.size());
    return Event::StartElement;
}

XmlScanner::Event XmlScanner::endTag()
{
    const qsizetype size = m_doc.size();
    m_pos += 2; // "</"
    const QByteArrayView name = m_open.back();
    if (size - m_pos <= name.size() || !sameBytes(m_doc.sliced(m_pos, name.size()), name) ||
        isNameChar(m_doc[m_pos + name.size()])) {
        // Another name than the open element's: well-formed never, unless it is cut short or
        // spelled beyond ASCII.
        QByteArrayView other;
        if (scanName(&other) && m_pos < size && (m_doc[m_pos] == '>' || isXmlBlank(m_doc[m_pos])))
            return fail(Event::Malformed);
        return fail(m_pos >= size ? Event::Malformed : Event::Unsupported);
    }
    m_pos += name.size();
    skipBlanks();
    if (m_pos >= size)
        return fail(Event::Malformed);
    if (m_doc[m_pos] != '>')
        return fail(Event::Unsupported);
    ++m_pos;
    m_name = name;
    m_depth = int(m_open.size());
    m_open.pop_back();
    return Event::EndElement;
}

XmlScanner::Event XmlScanner::charData()
{
    const qsizetype size = m_doc.size();
    const qsizetype start = m_pos;
    while (m_pos < size) {
        while (m_pos < size && (classOf(m_doc[m_pos]) & StopInText) == 0)
            ++m_pos;
        if (m_pos >= size)
            break;
        const char c = m_doc[m_pos];
        if (c == '<')
            break;
        if (isForbiddenAt(m_doc, m_pos))
            return fail(Event::Unsupported);
        if (c == '&') {
            if (!scanReference())
                return fail(Event::Unsupported);
            continue;
        }
        // "]]>" may not stand in character data.
        if (c == '>' && m_pos - start >= 2 && m_doc[m_pos - 1] == ']' && m_doc[m_pos - 2] == ']')
            return fail(Event::Unsupported);
        ++m_pos;
    }
    m_text = m_doc.sliced(start, m_pos - start);
    m_textIsCdata = false;
    m_depth = int(m_open.size());
    return Event::Text;
}

XmlScanner::Event XmlScanner::cdata()
{
    const qsizetype size = m_doc.size();
    m_pos += 9; // "<![CDATA["
    const qsizetype start = m_pos;
    for (;; ++m_pos) {
        while (m_pos < size && (classOf(m_doc[m_pos]) & StopInText) == 0)
            ++m_pos;
        if (m_pos + 2 >= size)
            return fail(Event::Malformed);
        const char c = m_doc[m_pos];
        if (c == ']' && m_doc[m_pos + 1] == ']' && m_doc[m_pos + 2] == '>')
            break;
        if (isForbiddenAt(m_doc, m_pos))
            return fail(Event::Unsupported);
    }
    m_text = m_doc.sliced(start, m_pos - start);
    m_textIsCdata = true;
    m_pos += 3;
    m_depth = int(m_open.size());
    return Event::Text;
}

std::optional<QByteArrayView> XmlScanner::rawAttribute(QByteArrayView name) const
{
    for (int i = 0; i < m_attributeCount; ++i) {
        if (sameBytes(m_attributes[i].name, name))
            return m_attributes[i].value;
    }
    return std::nullopt;
}

QString XmlScanner::attribute(QByteArrayView name) const
{
    const std::optional<QByteArrayView> raw = rawAttribute(name);
    return raw ? attributeValue(*raw) : QString();
}

QString XmlScanner::attributeValue(QByteArrayView raw)
{
    QString out;
    appendDecoded(out, raw, true, true);
    return out;
}

void XmlScanner::appendText(QString& out) const
{
    appendDecoded(out, m_text, false, !m_textIsCdata);
}

} // namespace brandle

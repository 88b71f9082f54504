#include "platform/xml/xml_document.h"

#include "platform/app_folder.h"
#include "platform/xml/xml_encoding.h"
#include "platform/xml/xml_parse_rules.h"
#include "platform/xml/xpath_query.h"

#include <QBuffer>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <libxml/encoding.h>
#include <libxml/parser.h>
#include <libxml/xmlsave.h>

namespace kvx {

namespace {

const xmlChar* utf8(const QByteArray& bytes) {
    return reinterpret_cast<const xmlChar*>(bytes.constData());
}

void ignoreLibraryMessages(void*, const char*, ...) {}
void ignoreStructuredError(void*, xmlErrorPtr) {}

int readFromDevice(void* context, char* buffer, int length) {
    auto* device = static_cast<QIODevice*>(context);
    return static_cast<int>(device->read(buffer, length));
}

int closeNothing(void*) {
    return 0;
}

// What libxml2's serializer writes, passed on to a device; with `stopAtReference` the first
// character reference ("&#") ends the writing.
struct Output {
    QIODevice& device;
    bool stopAtReference = false;
    bool referenced = false;
    bool failed = false;
    char last = 0;
};

int writeToOutput(void* context, const char* buffer, int length) {
    auto& out = *static_cast<Output*>(context);
    if (out.stopAtReference && length > 0) {
        const QByteArrayView chunk(buffer, length);
        if ((out.last == '&' && chunk.front() == '#') || chunk.contains("&#")) {
            out.referenced = true;
            return -1;
        }
        out.last = chunk.back();
    }
    if (out.device.write(buffer, length) != length) {
        out.failed = true;
        return -1;
    }
    return length;
}

// Writes the document to the device; false when the device failed, or when `referenced` is
// given and a character reference ended the writing (then *referenced is true).
bool writeDocument(xmlDoc* doc, QIODevice& device, const char* encoding, int options,
                   bool* referenced = nullptr) {
    Output out{device, referenced != nullptr};
    xmlSaveCtxtPtr ctxt = xmlSaveToIO(writeToOutput, closeNothing, &out, encoding, options);
    if (!ctxt)
        return false;
    xmlSaveDoc(ctxt, doc);
    const int flushed = xmlSaveClose(ctxt);
    if (referenced)
        *referenced = out.referenced;
    return flushed >= 0 && !out.failed && !out.referenced;
}

QString declaredEncoding(const QString& text) {
    static const QRegularExpression declaration(
        QStringLiteral(R"(^\s*<\?xml[^>]*?encoding\s*=\s*["']([^"']+)["'])"));
    const auto match = declaration.match(text.left(512));
    return match.hasMatch() ? match.captured(1) : QString();
}

} // namespace

XmlDocument::~XmlDocument() {
    if (m_doc)
        xmlFreeDoc(m_doc);
}

XmlDocument::XmlDocument(XmlDocument&& other) noexcept
    : m_doc(other.m_doc) {
    other.m_doc = nullptr;
}

XmlDocument& XmlDocument::operator=(XmlDocument&& other) noexcept {
    if (this != &other) {
        if (m_doc)
            xmlFreeDoc(m_doc);
        m_doc = other.m_doc;
        other.m_doc = nullptr;
    }
    return *this;
}

void XmlDocument::initializeLibrary() {
    xmlInitParser();
    xmlAddEncodingAlias("GBK", "GB2312");
    xmlSetGenericErrorFunc(nullptr, ignoreLibraryMessages);
    xmlSetStructuredErrorFunc(nullptr, ignoreStructuredError);
    // Threads that read or write large documents in the background stay as quiet.
    xmlThrDefSetGenericErrorFunc(nullptr, ignoreLibraryMessages);
    xmlThrDefSetStructuredErrorFunc(nullptr, ignoreStructuredError);
}

XmlDocument XmlDocument::create(const QString& rootName, const QString& encoding) {
    xmlDoc* doc = xmlNewDoc(BAD_CAST "1.0");
    XmlDocument document(doc);
    document.setEncoding(encoding);
    if (document.setRoot(rootName).isNull())
        return {};
    return document;
}

xmlDoc* XmlDocument::read(xmlParserCtxtPtr ctxt, const std::function<xmlDoc*()>& parse,
                          QString* error, bool* refused) {
    detail::DoctypeGuard guard(ctxt);
    xmlDoc* doc = parse();
    if (doc && (guard.refused() || !xmlDocGetRootElement(doc))) {
        xmlFreeDoc(doc);
        doc = nullptr;
    }
    if (!doc && error)
        *error = guard.refused() ? guard.refusal() : detail::describeParseError(ctxt);
    if (refused)
        *refused = guard.refused();
    return doc;
}

XmlDocument XmlDocument::parseMemory(xmlParserCtxtPtr ctxt, QByteArrayView bytes,
                                     const char* encoding, QString* error, bool* refused) {
    if (refused)
        *refused = false;
    if (bytes.size() > std::numeric_limits<int>::max()) {
        if (error)
            *error = QStringLiteral("文档过大");
        return {};
    }
    return XmlDocument(read(
        ctxt,
        [&] {
            return xmlCtxtReadMemory(ctxt, bytes.data(), static_cast<int>(bytes.size()), nullptr,
                                     encoding, detail::xmlParseOptions());
        },
        error, refused));
}

XmlDocument XmlDocument::fromFile(const QString& path, QString* error) {
    return readFile(path, detail::xmlParseOptions(), error);
}

XmlDocument XmlDocument::fromFileWithoutIndentation(const QString& path, QString* error) {
    return readFile(path, detail::xmlParseOptions() | XML_PARSE_NOBLANKS, error);
}

XmlDocument XmlDocument::readFile(const QString& path, int options, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return {};
    }
    // Read in pieces, of which libxml2 keeps only the one at hand. A file mapped into memory
    // measured slower, UTF-8 and GB2312 alike: every page of the mapping is faulted in, and
    // a file in another encoding is converted whole into a second copy.
    xmlParserCtxtPtr ctxt = xmlNewParserCtxt();
    const QByteArray url = path.toUtf8();
    XmlDocument document(read(
        ctxt,
        [&] {
            return xmlCtxtReadIO(ctxt, readFromDevice, closeNothing, &file, url.constData(),
                                 nullptr, options);
        },
        error, nullptr));
    xmlFreeParserCtxt(ctxt);
    return document;
}

XmlDocument XmlDocument::fromBytes(const QByteArray& bytes, QString* error, bool* refused) {
    xmlParserCtxtPtr ctxt = xmlNewParserCtxt();
    XmlDocument document = parseMemory(ctxt, bytes, nullptr, error, refused);
    xmlFreeParserCtxt(ctxt);
    return document;
}

XmlDocument XmlDocument::fromString(const QString& text, QString* error) {
    xmlParserCtxtPtr ctxt = xmlNewParserCtxt();
    XmlDocument document = parseMemory(ctxt, text.toUtf8(), "UTF-8", error, nullptr);
    xmlFreeParserCtxt(ctxt);
    if (!document.isNull())
        document.setEncoding(declaredEncoding(text));
    return document;
}

XmlDocument XmlDocument::clone() const {
    return XmlDocument(m_doc ? xmlCopyDoc(m_doc, 1) : nullptr);
}

XmlElement XmlDocument::root() const {
    return XmlElement(m_doc ? xmlDocGetRootElement(m_doc) : nullptr);
}

XmlElement XmlDocument::setRoot(const QString& name) {
    const QByteArray n = name.toUtf8();
    if (!m_doc || !detail::isXmlName(n))
        return {};
    xmlNode* root = xmlNewDocNode(m_doc, nullptr, utf8(n), nullptr);
    if (xmlNode* old = xmlDocSetRootElement(m_doc, root))
        xmlFreeNode(old);
    return XmlElement(root);
}

QString XmlDocument::encoding() const {
    if (!m_doc || !m_doc->encoding)
        return {};
    return QString::fromUtf8(reinterpret_cast<const char*>(m_doc->encoding));
}

void XmlDocument::setEncoding(const QString& encoding) {
    if (!m_doc)
        return;
    if (m_doc->encoding)
        xmlFree(const_cast<xmlChar*>(m_doc->encoding));
    m_doc->encoding = encoding.isEmpty() ? nullptr : xmlStrdup(utf8(encoding.toUtf8()));
}

QString XmlDocument::writableEncoding() const {
    QSet<QByteArray> names;
    detail::collectNonAsciiNames(xmlDocGetRootElement(m_doc), names);
    return detail::writableEncoding(encoding(), names);
}

QByteArray XmlDocument::serialize(const char* encoding) const {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    writeDocument(m_doc, buffer, encoding, XML_SAVE_FORMAT);
    return bytes;
}

QByteArray XmlDocument::toBytes() const {
    if (!m_doc)
        return {};
    const QString declared = encoding();
    if (detail::writableEncoding(declared, {}) == declared) {
        QByteArray bytes = serialize(declared.toUtf8().constData());
        // What the encoding cannot hold is written as a character reference, which would
        // break a name. Where no reference was written at all, every name was written as
        // it is, and the document's names need not be looked at.
        if (!bytes.contains("&#") || writableEncoding() == declared)
            return bytes;
    }
    const QString target = writableEncoding();
    // The declaration must name the encoding actually written.
    XmlDocument copy = clone();
    copy.setEncoding(target);
    return copy.serialize(target.toUtf8().constData());
}

QString XmlDocument::toString() const {
    if (!m_doc)
        return {};
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    writeDocument(m_doc, buffer, "UTF-8", XML_SAVE_FORMAT | XML_SAVE_NO_DECL);
    const QString declared = encoding();
    const QString declaration =
        declared.isEmpty()
            ? QStringLiteral("<?xml version=\"1.0\"?>\n")
            : QStringLiteral("<?xml version=\"1.0\" encoding=\"%1\"?>\n").arg(declared);
    return declaration + QString::fromUtf8(bytes);
}

bool XmlDocument::save(const QString& path, QString* error) const {
    if (!m_doc) {
        if (error)
            *error = QStringLiteral("没有可保存的文档");
        return false;
    }
    const QString declared = encoding();
    if (detail::writableEncoding(declared, {}) == declared) {
        // Written straight into the file, so that a document of many megabytes is not held
        // in memory once more. A character reference ends that: it would break a name, and
        // toBytes() looks at the names.
        const QByteArray name = declared.toUtf8();
        bool referenced = false;
        if (AppFolder::writeAtomically(
                path,
                [&](QIODevice& file) {
                    return writeDocument(m_doc, file, name.constData(), XML_SAVE_FORMAT,
                                         &referenced);
                },
                error))
            return true;
        if (!referenced)
            return false;
    }
    return AppFolder::writeAtomically(path, toBytes(), error);
}

void XmlDocument::removeProcessingInstructions(const QString& target) {
    if (!m_doc)
        return;
    const QByteArray name = target.toUtf8();
    xmlNode* node = m_doc->children;
    while (node) {
        xmlNode* next = node->next;
        if (node->type == XML_PI_NODE && xmlStrcmp(node->name, utf8(name)) == 0) {
            xmlUnlinkNode(node);
            xmlFreeNode(node);
        }
        node = next;
    }
}

void XmlDocument::insertProcessingInstructionBeforeRoot(const QString& target,
                                                        const QString& content) {
    xmlNode* root = m_doc ? xmlDocGetRootElement(m_doc) : nullptr;
    if (!root)
        return;
    const QByteArray n = target.toUtf8();
    const QByteArray c = content.toUtf8();
    xmlAddPrevSibling(root, xmlNewDocPI(m_doc, utf8(n), utf8(c)));
}

QList<XmlElement> XmlDocument::select(const QString& xpath, const XPathVariables& variables) const {
    return detail::evaluateXPath(m_doc, reinterpret_cast<xmlNode*>(m_doc), xpath, variables, false);
}

XmlElement XmlDocument::selectFirst(const QString& xpath, const XPathVariables& variables) const {
    const auto found =
        detail::evaluateXPath(m_doc, reinterpret_cast<xmlNode*>(m_doc), xpath, variables, true);
    return found.isEmpty() ? XmlElement() : found.first();
}

} // namespace kvx

#include "platform/xml_document.h"

#include "platform/app_folder.h"
#include "platform/xpath_query.h"

#include <QBuffer>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <cstring>
#include <libxml/encoding.h>
#include <libxml/parser.h>
#include <libxml/xmlsave.h>

namespace kvx {

namespace {

// Network, entity expansion, DTD loading and XInclude stay off: a document never reads
// anything but its own bytes.
constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

const xmlChar* utf8(const QByteArray& bytes) {
    return reinterpret_cast<const xmlChar*>(bytes.constData());
}

void ignoreLibraryMessages(void*, const char*, ...) {}
void ignoreStructuredError(void*, xmlErrorPtr) {}

QString describe(xmlParserCtxtPtr ctxt) {
    const xmlError* error = xmlCtxtGetLastError(ctxt);
    if (!error || !error->message)
        return QStringLiteral("XML 解析失败");
    return QStringLiteral("第 %1 行：%2")
        .arg(error->line)
        .arg(QString::fromUtf8(error->message).trimmed());
}

int readFromDevice(void* context, char* buffer, int length) {
    auto* device = static_cast<QIODevice*>(context);
    return static_cast<int>(device->read(buffer, length));
}

int writeToDevice(void* context, const char* buffer, int length) {
    auto* device = static_cast<QIODevice*>(context);
    return device->write(buffer, length) == length ? length : -1;
}

int closeNothing(void*) {
    return 0;
}

// True when libxml2 can write the name in the encoding without a character reference
// (which is legal in text but breaks a name).
bool nameEncodable(xmlCharEncodingHandlerPtr handler, const QByteArray& name) {
    xmlBufferPtr in = xmlBufferCreate();
    xmlBufferPtr out = xmlBufferCreate();
    xmlBufferAdd(in, utf8(name), name.size());
    const int rc = xmlCharEncOutFunc(handler, out, in);
    const bool ok = rc >= 0 && xmlBufferLength(in) == 0 &&
                    !std::strstr(reinterpret_cast<const char*>(xmlBufferContent(out)), "&#");
    xmlBufferFree(in);
    xmlBufferFree(out);
    return ok;
}

void collectNonAsciiNames(xmlNode* node, QSet<QByteArray>& names) {
    for (; node; node = node->next) {
        if (node->type != XML_ELEMENT_NODE)
            continue;
        auto consider = [&names](const xmlChar* name) {
            for (const xmlChar* c = name; *c; ++c) {
                if (*c >= 0x80) {
                    names.insert(QByteArray(reinterpret_cast<const char*>(name)));
                    return;
                }
            }
        };
        consider(node->name);
        for (xmlAttrPtr attr = node->properties; attr; attr = attr->next)
            consider(attr->name);
        collectNonAsciiNames(node->children, names);
    }
}

bool isUnicodeEncoding(const QString& encoding) {
    static const QStringList unicode = {QStringLiteral("utf-8"), QStringLiteral("utf8"),
                                        QStringLiteral("utf-16"), QStringLiteral("gb18030")};
    return encoding.isEmpty() || unicode.contains(encoding.toLower());
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

XmlDocument XmlDocument::parseMemory(const char* data, int size, const char* encoding,
                                     QString* error) {
    xmlParserCtxtPtr ctxt = xmlNewParserCtxt();
    xmlDoc* doc = xmlCtxtReadMemory(ctxt, data, size, nullptr, encoding, kParseOptions);
    if ((!doc || !xmlDocGetRootElement(doc)) && error)
        *error = describe(ctxt);
    xmlFreeParserCtxt(ctxt);
    if (doc && !xmlDocGetRootElement(doc)) {
        xmlFreeDoc(doc);
        doc = nullptr;
    }
    return XmlDocument(doc);
}

XmlDocument XmlDocument::fromFile(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return {};
    }
    xmlParserCtxtPtr ctxt = xmlNewParserCtxt();
    const QByteArray url = path.toUtf8();
    xmlDoc* doc = xmlCtxtReadIO(ctxt, readFromDevice, closeNothing, &file, url.constData(), nullptr,
                                kParseOptions);
    if ((!doc || !xmlDocGetRootElement(doc)) && error)
        *error = describe(ctxt);
    xmlFreeParserCtxt(ctxt);
    if (doc && !xmlDocGetRootElement(doc)) {
        xmlFreeDoc(doc);
        doc = nullptr;
    }
    return XmlDocument(doc);
}

XmlDocument XmlDocument::fromBytes(const QByteArray& bytes, QString* error) {
    if (bytes.size() > std::numeric_limits<int>::max()) {
        if (error)
            *error = QStringLiteral("文档过大");
        return {};
    }
    return parseMemory(bytes.constData(), static_cast<int>(bytes.size()), nullptr, error);
}

XmlDocument XmlDocument::fromString(const QString& text, QString* error) {
    const QByteArray bytes = text.toUtf8();
    if (bytes.size() > std::numeric_limits<int>::max()) {
        if (error)
            *error = QStringLiteral("文档过大");
        return {};
    }
    XmlDocument document =
        parseMemory(bytes.constData(), static_cast<int>(bytes.size()), "UTF-8", error);
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
    if (!m_doc || n.isEmpty() || xmlValidateName(utf8(n), 0) != 0)
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
    const QString declared = encoding();
    if (isUnicodeEncoding(declared))
        return declared.isEmpty() ? QStringLiteral("UTF-8") : declared;
    const QByteArray name = declared.toUtf8();
    xmlCharEncodingHandlerPtr handler = xmlFindCharEncodingHandler(name.constData());
    if (!handler)
        return QStringLiteral("UTF-8");
    QSet<QByteArray> names;
    collectNonAsciiNames(xmlDocGetRootElement(m_doc), names);
    bool encodable = true;
    for (const QByteArray& n : std::as_const(names)) {
        if (!nameEncodable(handler, n)) {
            encodable = false;
            break;
        }
    }
    xmlCharEncCloseFunc(handler);
    return encodable ? declared : QStringLiteral("GB18030");
}

QByteArray XmlDocument::serialize(const char* encoding) const {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    xmlSaveCtxtPtr ctxt =
        xmlSaveToIO(writeToDevice, closeNothing, &buffer, encoding, XML_SAVE_FORMAT);
    if (ctxt) {
        xmlSaveDoc(ctxt, m_doc);
        xmlSaveClose(ctxt);
    }
    return bytes;
}

QByteArray XmlDocument::toBytes() const {
    if (!m_doc)
        return {};
    const QString target = writableEncoding();
    if (target == encoding())
        return serialize(target.toUtf8().constData());
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
    xmlSaveCtxtPtr ctxt = xmlSaveToIO(writeToDevice, closeNothing, &buffer, "UTF-8",
                                      XML_SAVE_FORMAT | XML_SAVE_NO_DECL);
    if (ctxt) {
        xmlSaveDoc(ctxt, m_doc);
        xmlSaveClose(ctxt);
    }
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

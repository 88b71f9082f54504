#include "platform/xml/xml_parse_rules.h"

#include "platform/xml/xml_text.h"

#include <algorithm>
#include <libxml/tree.h>

namespace kvx::detail {

namespace {

// The guard of the parse under way on this thread; the handlers are installed only while it
// lives.
thread_local DoctypeGuard* t_guard = nullptr;

// Names in a message are cut: a hostile one may be megabytes long.
QString shown(const xmlChar* text) {
    const QString full = xmlText(reinterpret_cast<const char*>(text));
    return full.size() > 60 ? full.left(60) + QStringLiteral("…") : full;
}

} // namespace

int xmlParseOptions() {
    // Short texts (the indentation between elements, most values) are kept inside their node
    // instead of in an allocation of their own, as xmllint reads; libxml2 changes and frees
    // such nodes like any other.
    return XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_COMPACT;
}

bool stoppedAtUnreadableBytes() {
    const xmlError* error = xmlGetLastError();
    return error && ((error->domain == XML_FROM_IO && error->code == XML_IO_ENCODER) ||
                     error->domain == XML_FROM_I18N);
}

QString describeParseError(xmlParserCtxtPtr context) {
    const xmlError* error = xmlCtxtGetLastError(context);
    if (!error || !error->message)
        return QStringLiteral("XML 解析失败");
    // The lines after the reason echo bytes of the broken document, any bytes at all.
    return QStringLiteral("第 %1 行：%2")
        .arg(error->line)
        .arg(QString::fromUtf8(error->message).section(QLatin1Char('\n'), 0, 0).trimmed());
}

bool isXmlName(const QByteArray& name) {
    if (name.isEmpty())
        return false;
    const auto* text = reinterpret_cast<const xmlChar*>(name.constData());
    // The two rules agree on ASCII names, the common case, which is checked quickly.
    if (std::all_of(name.begin(), name.end(), [](char c) { return uchar(c) < 0x80; }))
        return xmlValidateName(text, 0) == 0;
    const QByteArray element = "<" + name + "/>";
    xmlDoc* doc = xmlReadMemory(element.constData(), int(element.size()), nullptr, "UTF-8",
                                xmlParseOptions());
    const xmlNode* root = doc ? xmlDocGetRootElement(doc) : nullptr;
    const bool read = root && !root->children && xmlStrEqual(root->name, text);
    xmlFreeDoc(doc);
    return read;
}

DoctypeGuard::DoctypeGuard(xmlParserCtxtPtr context)
    : m_context(context)
    , m_outer(t_guard)
    , m_internalSubset(context->sax->internalSubset)
    , m_entityDecl(context->sax->entityDecl)
    , m_unparsedEntityDecl(context->sax->unparsedEntityDecl) {
    context->sax->internalSubset = onInternalSubset;
    context->sax->entityDecl = onEntityDecl;
    context->sax->unparsedEntityDecl = onUnparsedEntityDecl;
    t_guard = this;
}

DoctypeGuard::~DoctypeGuard() {
    m_context->sax->internalSubset = m_internalSubset;
    m_context->sax->entityDecl = m_entityDecl;
    m_context->sax->unparsedEntityDecl = m_unparsedEntityDecl;
    t_guard = m_outer;
}

void DoctypeGuard::refuse(const QString& reason) {
    if (m_refusal.isEmpty())
        m_refusal = reason;
    xmlStopParser(m_context);
}

void DoctypeGuard::onInternalSubset(void* context, const xmlChar* name, const xmlChar* publicId,
                                    const xmlChar* systemId) {
    if (publicId || systemId) {
        t_guard->refuse(QStringLiteral("文档类型声明引用了外部文件“%1”，接口文档不允许引用外部文件")
                            .arg(shown(systemId ? systemId : publicId)));
        return;
    }
    if (t_guard->m_internalSubset)
        t_guard->m_internalSubset(context, name, publicId, systemId);
}

void DoctypeGuard::onEntityDecl(void*, const xmlChar* name, int, const xmlChar*, const xmlChar*,
                                xmlChar*) {
    t_guard->refuse(
        QStringLiteral("文档类型声明中声明了实体“%1”，接口文档不允许声明实体").arg(shown(name)));
}

void DoctypeGuard::onUnparsedEntityDecl(void*, const xmlChar* name, const xmlChar*, const xmlChar*,
                                        const xmlChar*) {
    onEntityDecl(nullptr, name, 0, nullptr, nullptr, nullptr);
}

} // namespace kvx::detail

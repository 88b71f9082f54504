#include "platform/xml/xml_element.h"

#include "platform/xml/xml_parse_rules.h"
#include "platform/xml/xml_text.h"
#include "platform/xml/xpath_query.h"

#include <QVarLengthArray>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>

namespace kvx {

namespace {

const xmlChar* utf8(const QByteArray& bytes) {
    return reinterpret_cast<const xmlChar*>(bytes.constData());
}

QString fromXml(const xmlChar* text) {
    return text ? xmlText(reinterpret_cast<const char*>(text)) : QString();
}

QString takeXml(xmlChar* text) {
    const QString result = fromXml(text);
    xmlFree(text);
    return result;
}

// The UTF-8 of a name or value for libxml2, NUL-terminated. Attributes are read and written by
// the ten thousand when a condition file is saved; the usual plain ASCII ones are converted on
// the stack instead of into a string of their own each time.
class Utf8Text {
public:
    explicit Utf8Text(const QString& text) {
        m_stack.resize(text.size() + 1);
        char* out = m_stack.data();
        for (const QChar c : text) {
            if (c.unicode() >= 0x80) {
                m_heap = text.toUtf8();
                m_data = m_heap.constData();
                return;
            }
            *out++ = char(c.unicode());
        }
        *out = 0;
        m_data = m_stack.constData();
    }
    Utf8Text(const Utf8Text&) = delete;
    Utf8Text& operator=(const Utf8Text&) = delete;

    const xmlChar* get() const { return reinterpret_cast<const xmlChar*>(m_data); }

private:
    QVarLengthArray<char, 128> m_stack;
    QByteArray m_heap;
    const char* m_data = nullptr;
};

// A name is written only when the parser would read it back as it stands.
bool isValidName(const xmlChar* name) {
    const auto* text = reinterpret_cast<const char*>(name);
    return detail::isXmlName(QByteArray::fromRawData(text, int(qstrlen(text))));
}

// libxml2's serializer goes through its output buffer a few bytes at a time, which shows when
// thousands of records are written one by one. Plain elements (no namespaces, comments,
// processing instructions or entity references) are written here, to the same text as
// xmlNodeDump writes; anything else is left to libxml2 (false, `out` unusable).
void appendEscaped(QByteArray& out, const xmlChar* text, bool attribute) {
    const char* start = reinterpret_cast<const char*>(text);
    const char* at = start;
    for (; *at; ++at) {
        const char* replacement = nullptr;
        switch (*at) {
        case '<':
            replacement = "&lt;";
            break;
        case '>':
            replacement = "&gt;";
            break;
        case '&':
            replacement = "&amp;";
            break;
        case '\r':
            replacement = "&#13;";
            break;
        case '"':
            replacement = attribute ? "&quot;" : nullptr;
            break;
        case '\n':
            replacement = attribute ? "&#10;" : nullptr;
            break;
        case '\t':
            replacement = attribute ? "&#9;" : nullptr;
            break;
        default:
            break;
        }
        if (!replacement)
            continue;
        out.append(start, at - start).append(replacement);
        start = at + 1;
    }
    out.append(start, at - start);
}

bool isAscii(const xmlChar* text) {
    for (; *text; ++text) {
        if (*text >= 0x80)
            return false;
    }
    return true;
}

bool appendPlain(QByteArray& out, const xmlNode* node) {
    switch (node->type) {
    case XML_TEXT_NODE:
        if (node->name == xmlStringTextNoenc || !node->content)
            return false;
        appendEscaped(out, node->content, false);
        return true;
    case XML_CDATA_SECTION_NODE:
        if (!node->content || xmlStrstr(node->content, BAD_CAST "]]>"))
            return false;
        out.append("<![CDATA[").append(reinterpret_cast<const char*>(node->content)).append("]]>");
        return true;
    case XML_ELEMENT_NODE:
        break;
    default:
        return false;
    }
    if (node->ns || node->nsDef)
        return false;
    const char* name = reinterpret_cast<const char*>(node->name);
    out.append('<').append(name);
    for (const xmlAttr* attr = node->properties; attr; attr = attr->next) {
        const xmlNode* value = attr->children;
        // In a document without a declared encoding libxml2 writes other characters of an
        // attribute as references.
        if (attr->ns || (value && (value->type != XML_TEXT_NODE || value->next || !value->content ||
                                   (!node->doc->encoding && !isAscii(value->content)))))
            return false;
        out.append(' ').append(reinterpret_cast<const char*>(attr->name)).append("=\"");
        if (value)
            appendEscaped(out, value->content, true);
        out.append('"');
    }
    if (!node->children) {
        out.append("/>");
        return true;
    }
    out.append('>');
    for (const xmlNode* child = node->children; child; child = child->next) {
        if (!appendPlain(out, child))
            return false;
    }
    out.append("</").append(name).append('>');
    return true;
}

xmlNode* nextElement(xmlNode* node) {
    while (node && node->type != XML_ELEMENT_NODE)
        node = node->next;
    return node;
}

} // namespace

XmlElement::XmlElement(xmlNode* node)
    : m_node(node) {}

QString XmlElement::name() const {
    return m_node ? fromXml(m_node->name) : QString();
}

QByteArrayView XmlElement::nameUtf8() const {
    return m_node ? QByteArrayView(reinterpret_cast<const char*>(m_node->name)) : QByteArrayView();
}

bool XmlElement::hasAttribute(const QString& name) const {
    return m_node && xmlHasProp(m_node, Utf8Text(name).get()) != nullptr;
}

QString XmlElement::attribute(const QString& name) const {
    if (!m_node)
        return {};
    return takeXml(xmlGetProp(m_node, Utf8Text(name).get()));
}

bool XmlElement::setAttribute(const QString& name, const QString& value) {
    if (!m_node)
        return false;
    const Utf8Text n(name);
    const Utf8Text v(value);
    xmlAttr* existing = m_node->properties;
    while (existing && (existing->ns || !xmlStrEqual(existing->name, n.get())))
        existing = existing->next;
    if (existing) {
        // An attribute that holds the value already is left as it is, and one value is
        // written over another: storing a form again changes only what was edited.
        xmlNode* text = existing->children;
        if (!text && *v.get() == 0)
            return true;
        if (text && text->type == XML_TEXT_NODE && !text->next) {
            if (xmlStrEqual(text->content, v.get()))
                return true;
            // An ID is registered with the document by its value: libxml2 moves it along.
            if (existing->atype != XML_ATTRIBUTE_ID) {
                xmlNodeSetContent(text, v.get());
                return true;
            }
        }
    } else if (!isValidName(n.get())) {
        return false;
    }
    xmlSetProp(m_node, n.get(), v.get());
    return true;
}

void XmlElement::removeAttribute(const QString& name) {
    if (!m_node)
        return;
    if (xmlAttrPtr attr = xmlHasProp(m_node, Utf8Text(name).get()))
        xmlRemoveProp(attr);
}

QList<QPair<QString, QString>> XmlElement::attributes() const {
    QList<QPair<QString, QString>> result;
    if (!m_node)
        return result;
    for (xmlAttrPtr attr = m_node->properties; attr; attr = attr->next)
        result.append(
            {fromXml(attr->name), takeXml(xmlNodeGetContent(reinterpret_cast<xmlNode*>(attr)))});
    return result;
}

QString XmlElement::text() const {
    return m_node ? takeXml(xmlNodeGetContent(m_node)) : QString();
}

QString XmlElement::toXml() const {
    return QString::fromUtf8(toXmlUtf8());
}

QByteArray XmlElement::toXmlUtf8() const {
    if (!m_node)
        return {};
    QByteArray plain;
    plain.reserve(512);
    if (appendPlain(plain, m_node))
        return plain;
    xmlBufferPtr buffer = xmlBufferCreate();
    xmlNodeDump(buffer, m_node->doc, m_node, 0, 0);
    const QByteArray xml(reinterpret_cast<const char*>(xmlBufferContent(buffer)),
                         xmlBufferLength(buffer));
    xmlBufferFree(buffer);
    return xml;
}

QString XmlElement::openingTagXml() const {
    if (!m_node)
        return {};
    xmlNode* shallow = xmlDocCopyNode(m_node, m_node->doc, 2); // attributes, no children
    xmlBufferPtr buffer = xmlBufferCreate();
    xmlNodeDump(buffer, m_node->doc, shallow, 0, 0);
    QString tag = fromXml(xmlBufferContent(buffer));
    xmlBufferFree(buffer);
    xmlFreeNode(shallow);
    if (tag.endsWith(QLatin1String("/>")))
        tag = tag.chopped(2) + QLatin1Char('>');
    return tag;
}

QStringList XmlElement::childNodesXml() const {
    QStringList result;
    if (!m_node)
        return result;
    xmlBufferPtr buffer = xmlBufferCreate();
    for (xmlNode* child = m_node->children; child; child = child->next) {
        xmlBufferEmpty(buffer);
        xmlNodeDump(buffer, m_node->doc, child, 0, 0);
        result.append(fromXml(xmlBufferContent(buffer)));
    }
    xmlBufferFree(buffer);
    return result;
}

void XmlElement::setText(const QString& text) {
    if (!m_node)
        return;
    removeAllChildren();
    const QByteArray bytes = text.toUtf8();
    xmlAddChild(m_node, xmlNewDocTextLen(m_node->doc, utf8(bytes), bytes.size()));
}

bool XmlElement::hasChildElements() const {
    return !firstChildElement().isNull();
}

bool XmlElement::hasChildNodes() const {
    if (!m_node)
        return false;
    for (xmlNode* child = m_node->children; child; child = child->next) {
        if (child->type != XML_TEXT_NODE || !xmlIsBlankNode(child))
            return true;
    }
    return false;
}

QList<XmlElement> XmlElement::childElements() const {
    QList<XmlElement> result;
    for (XmlElement child = firstChildElement(); child; child = child.nextSiblingElement())
        result.append(child);
    return result;
}

XmlElement XmlElement::firstChildElement() const {
    return XmlElement(m_node ? nextElement(m_node->children) : nullptr);
}

XmlElement XmlElement::firstChildElement(const QString& name) const {
    for (XmlElement child = firstChildElement(); child; child = child.nextSiblingElement()) {
        if (child.name() == name)
            return child;
    }
    return {};
}

XmlElement XmlElement::nextSiblingElement() const {
    return XmlElement(m_node ? nextElement(m_node->next) : nullptr);
}

XmlElement XmlElement::parentElement() const {
    if (!m_node || !m_node->parent || m_node->parent->type != XML_ELEMENT_NODE)
        return {};
    return XmlElement(m_node->parent);
}

XmlElement XmlElement::appendChild(const QString& name) {
    const Utf8Text n(name);
    if (!m_node || !isValidName(n.get()))
        return {};
    return XmlElement(xmlNewChild(m_node, nullptr, n.get(), nullptr));
}

XmlElement XmlElement::appendCopy(const XmlElement& source) {
    if (!m_node || !source.m_node)
        return {};
    xmlNode* copy = xmlDocCopyNode(source.m_node, m_node->doc, 1);
    if (!copy)
        return {};
    return XmlElement(xmlAddChild(m_node, copy));
}

void XmlElement::removeAllChildren() {
    if (!m_node)
        return;
    xmlNode* child = m_node->children;
    while (child) {
        xmlNode* next = child->next;
        xmlUnlinkNode(child);
        xmlFreeNode(child);
        child = next;
    }
}

bool XmlElement::isAsAppended(const QByteArray& name, const QList<QByteArray>& attributes) const {
    if (!m_node || m_node->children || m_node->nsDef || !m_node->parent ||
        m_node->ns != m_node->parent->ns || !xmlStrEqual(m_node->name, utf8(name)))
        return false;
    const xmlAttr* attr = m_node->properties;
    for (const QByteArray& expected : attributes) {
        if (!attr || attr->ns || !xmlStrEqual(attr->name, utf8(expected)))
            return false;
        attr = attr->next;
    }
    return !attr;
}

void XmlElement::keepOnlyChildren(const QList<XmlElement>& kept) {
    if (!m_node)
        return;
    QVarLengthArray<xmlNode*, 16> unlinked;
    for (const XmlElement& child : kept) {
        if (child.m_node && child.m_node->parent == m_node) {
            xmlUnlinkNode(child.m_node);
            unlinked.append(child.m_node);
        }
    }
    removeAllChildren();
    for (xmlNode* child : unlinked)
        xmlAddChild(m_node, child);
}

void XmlElement::removeIndentation() {
    if (!m_node || !nextElement(m_node->children))
        return; // whitespace alone is the element's text
    xmlNode* child = m_node->children;
    while (child) {
        xmlNode* next = child->next;
        if (child->type == XML_TEXT_NODE && xmlIsBlankNode(child)) {
            xmlUnlinkNode(child);
            xmlFreeNode(child);
        }
        child = next;
    }
}

void XmlElement::remove() {
    if (!m_node)
        return;
    xmlUnlinkNode(m_node);
    xmlFreeNode(m_node);
    m_node = nullptr;
}

QList<XmlElement> XmlElement::select(const QString& xpath, const XPathVariables& variables) const {
    if (!m_node)
        return {};
    return detail::evaluateXPath(m_node->doc, m_node, xpath, variables, false);
}

XmlElement XmlElement::selectFirst(const QString& xpath, const XPathVariables& variables) const {
    if (!m_node)
        return {};
    const auto found = detail::evaluateXPath(m_node->doc, m_node, xpath, variables, true);
    return found.isEmpty() ? XmlElement() : found.first();
}

} // namespace kvx

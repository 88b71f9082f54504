#include "platform/xml/xml_attribute_scan.h"

#include <libxml/tree.h>

namespace kvx {

namespace {

QByteArrayView viewOf(const xmlChar* text) {
    return QByteArrayView(reinterpret_cast<const char*>(text));
}

// The element after `node` in document order; null after the last.
xmlNode* nextElement(xmlNode* node) {
    if (node->children) {
        for (xmlNode* child = node->children; child; child = child->next) {
            if (child->type == XML_ELEMENT_NODE)
                return child;
        }
    }
    for (xmlNode* at = node; at && at->type == XML_ELEMENT_NODE; at = at->parent) {
        for (xmlNode* sibling = at->next; sibling; sibling = sibling->next) {
            if (sibling->type == XML_ELEMENT_NODE)
                return sibling;
        }
    }
    return nullptr;
}

// Enough for the attributes of any sensible element; names past it are compared as text.
constexpr qsizetype kKnownNames = 32;

} // namespace

XmlAttributeScan::XmlAttributeScan(QList<QByteArray> attributeNames)
    : m_names(std::move(attributeNames))
    , m_values(m_names.size())
    , m_joined(m_names.size()) {}

qsizetype XmlAttributeScan::slotOf(const unsigned char* name) {
    for (const auto& [address, slot] : std::as_const(m_known)) {
        if (address == name)
            return slot;
    }
    const qsizetype slot = m_names.indexOf(viewOf(name));
    if (m_known.size() < kKnownNames)
        m_known.append({name, slot});
    return slot;
}

void XmlAttributeScan::read(xmlNode* element) {
    std::fill(m_values.begin(), m_values.end(), QByteArrayView());
    for (xmlAttr* attr = element->properties; attr; attr = attr->next) {
        const qsizetype slot = slotOf(attr->name);
        if (slot < 0 || attr->ns)
            continue;
        const xmlNode* text = attr->children;
        if (!text) {
            m_values[slot] = QByteArrayView("");
        } else if (text->type == XML_TEXT_NODE && !text->next && text->content) {
            m_values[slot] = viewOf(text->content);
        } else {
            xmlChar* joined = xmlNodeListGetString(element->doc, attr->children, 1);
            m_joined[slot] = QByteArray(joined ? reinterpret_cast<const char*>(joined) : "");
            xmlFree(joined);
            m_values[slot] = m_joined[slot];
        }
    }
}

void XmlAttributeScan::run(const XmlDocument& document, QByteArrayView elementName,
                           const Visit& visit) {
    // Addresses are only compared within one document, whose names stay where they are.
    m_known.clear();
    for (xmlNode* node = document.root().node(); node; node = nextElement(node)) {
        if (node->ns || viewOf(node->name) != elementName)
            continue;
        read(node);
        visit(m_values);
    }
}

void XmlAttributeScan::runOverEvery(const XmlDocument& document, const VisitElement& visit) {
    m_known.clear();
    for (xmlNode* node = document.root().node(); node; node = nextElement(node)) {
        read(node);
        visit(XmlElement(node), m_values);
    }
}

} // namespace kvx

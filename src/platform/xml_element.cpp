#include "platform/xml_element.h"

#include "platform/xpath_query.h"

#include <libxml/tree.h>

namespace kvx {

namespace {

const xmlChar* utf8(const QByteArray& bytes) {
    return reinterpret_cast<const xmlChar*>(bytes.constData());
}

QString fromXml(const xmlChar* text) {
    return text ? QString::fromUtf8(reinterpret_cast<const char*>(text)) : QString();
}

QString takeXml(xmlChar* text) {
    const QString result = fromXml(text);
    xmlFree(text);
    return result;
}

bool isValidName(const QByteArray& name) {
    return !name.isEmpty() && xmlValidateName(utf8(name), 0) == 0;
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

bool XmlElement::hasAttribute(const QString& name) const {
    return m_node && xmlHasProp(m_node, utf8(name.toUtf8())) != nullptr;
}

QString XmlElement::attribute(const QString& name) const {
    if (!m_node)
        return {};
    return takeXml(xmlGetProp(m_node, utf8(name.toUtf8())));
}

bool XmlElement::setAttribute(const QString& name, const QString& value) {
    const QByteArray n = name.toUtf8();
    if (!m_node || !isValidName(n))
        return false;
    xmlSetProp(m_node, utf8(n), utf8(value.toUtf8()));
    return true;
}

void XmlElement::removeAttribute(const QString& name) {
    if (!m_node)
        return;
    if (xmlAttrPtr attr = xmlHasProp(m_node, utf8(name.toUtf8())))
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
    if (!m_node)
        return {};
    xmlBufferPtr buffer = xmlBufferCreate();
    xmlNodeDump(buffer, m_node->doc, m_node, 0, 0);
    const QString xml = fromXml(xmlBufferContent(buffer));
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
    const QByteArray n = name.toUtf8();
    if (!m_node || !isValidName(n))
        return {};
    return XmlElement(xmlNewChild(m_node, nullptr, utf8(n), nullptr));
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

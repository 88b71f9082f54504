#include "platform/xml/xml_child_writer.h"

#include "platform/xml/xml_encoding.h"

#include <libxml/xmlsave.h>

namespace kvx {

namespace {

int appendTo(void* context, const char* buffer, int length) {
    static_cast<QByteArray*>(context)->append(buffer, length);
    return length;
}

int closeNothing(void*) {
    return 0;
}

} // namespace

XmlChildWriter::XmlChildWriter(const XmlDocument& root)
    : m_encoding(root.encoding())
    , m_rootName(root.root().name().toUtf8())
    , m_output(xmlOutputBufferCreateIO(appendTo, closeNothing, &m_children, nullptr)) {
    XmlDocument copy = XmlDocument::create(root.root().name(), root.encoding());
    for (const auto& [name, value] : root.root().attributes())
        copy.root().setAttribute(name, value);
    m_emptyRoot = copy.root().toXmlUtf8();
    detail::collectNonAsciiNames(copy.root().node(), m_nonAsciiNames);
}

XmlChildWriter::~XmlChildWriter() {
    xmlOutputBufferClose(m_output);
}

void XmlChildWriter::append(const XmlElement& element) {
    xmlNode* node = element.node();
    if (!node)
        return;
    detail::collectNonAsciiNames(node, m_nonAsciiNames);
    // Attribute values are written as characters only in a document that names an encoding;
    // the document's own encoding is applied to the whole text at the end.
    const xmlChar* declared = node->doc->encoding;
    node->doc->encoding = BAD_CAST "UTF-8";
    xmlOutputBufferWrite(m_output, 2, "  ");
    xmlNodeDumpOutput(m_output, node->doc, node, 1, 1, "UTF-8");
    xmlOutputBufferWrite(m_output, 1, "\n");
    node->doc->encoding = declared;
    ++m_count;
}

void XmlChildWriter::appendXml(QByteArrayView utf8, const QSet<QByteArray>& nonAsciiNames) {
    m_nonAsciiNames.unite(nonAsciiNames);
    m_children.reserve(m_children.size() + utf8.size() + 3);
    m_children.append("  ").append(utf8).append('\n');
    ++m_count;
}

QByteArray XmlChildWriter::finish() {
    xmlOutputBufferFlush(m_output);
    const QString target = detail::writableEncoding(m_encoding, m_nonAsciiNames);
    QByteArray head = "<?xml version=\"1.0\" encoding=\"" + target.toUtf8() + "\"?>\n";
    QByteArray tail = "\n";
    if (m_count == 0) {
        head += m_emptyRoot;
    } else {
        head += m_emptyRoot.left(m_emptyRoot.size() - 2) + ">\n";
        tail = "</" + m_rootName + ">\n";
    }
    QByteArray document;
    detail::appendEncoded(document, head, target);
    detail::appendEncoded(document, m_children, target);
    detail::appendEncoded(document, tail, target);
    m_children = QByteArray();
    m_count = 0;
    return document;
}

} // namespace kvx

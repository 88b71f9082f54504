#include "platform/xml/xml_parser.h"

#include <libxml/parser.h>

namespace kvx {

XmlParser::XmlParser()
    : m_context(xmlNewParserCtxt()) {}

XmlParser::~XmlParser() {
    xmlFreeParserCtxt(m_context);
}

XmlDocument XmlParser::parse(QByteArrayView bytes, QString* error) {
    return XmlDocument::parseMemory(m_context, bytes, nullptr, error, nullptr);
}

} // namespace kvx

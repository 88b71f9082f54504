#pragma once

#include "platform/xml/xml_document.h"

#include <QByteArrayView>

namespace kvx {

// Reads many small documents one after another with one parser, as XmlDocument::fromBytes reads
// each: far cheaper than a parser of their own when a server reads back thousands of stored
// records for one answer.
class XmlParser {
public:
    XmlParser();
    ~XmlParser();
    XmlParser(const XmlParser&) = delete;
    XmlParser& operator=(const XmlParser&) = delete;

    XmlDocument parse(QByteArrayView bytes, QString* error = nullptr);

private:
    xmlParserCtxt* m_context;
};

} // namespace kvx

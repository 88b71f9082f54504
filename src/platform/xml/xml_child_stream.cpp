#include "platform/xml/xml_child_stream.h"

#include "platform/xml/xml_parse_rules.h"

#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <limits>

namespace kvx::XmlChildStream {

namespace {

struct StreamState {
    const Visit* visit;
    bool stopped = false;
};

// libxml2's own tree building, except that each child of the root is visited and freed as
// soon as its end tag has been read, and text directly in the root is not kept.
void endElement(void* context, const xmlChar* localname, const xmlChar* prefix,
                const xmlChar* uri) {
    auto* ctxt = static_cast<xmlParserCtxtPtr>(context);
    xmlSAX2EndElementNs(context, localname, prefix, uri);
    if (ctxt->nodeNr != 1)
        return;
    auto* state = static_cast<StreamState*>(ctxt->_private);
    xmlNode* root = ctxt->node;
    if (!state->stopped && root->last && root->last->type == XML_ELEMENT_NODE &&
        !(*state->visit)(XmlElement(root->last))) {
        state->stopped = true;
        xmlStopParser(ctxt);
    }
    while (xmlNode* child = root->children) {
        xmlUnlinkNode(child);
        xmlFreeNode(child);
    }
}

void characters(void* context, const xmlChar* text, int length) {
    auto* ctxt = static_cast<xmlParserCtxtPtr>(context);
    if (ctxt->nodeNr > 1)
        xmlSAX2Characters(context, text, length);
}

} // namespace

bool read(QByteArrayView bytes, const Visit& visit, QString* error) {
    if (bytes.size() > std::numeric_limits<int>::max()) {
        if (error)
            *error = QStringLiteral("文档过大");
        return false;
    }
    xmlParserCtxtPtr ctxt = xmlCreateMemoryParserCtxt(bytes.data(), int(bytes.size()));
    if (!ctxt) {
        if (error)
            *error = QStringLiteral("XML 解析失败");
        return false;
    }
    xmlCtxtUseOptions(ctxt, detail::xmlParseOptions());
    ctxt->sax->endElementNs = endElement;
    ctxt->sax->characters = characters;
    StreamState state{&visit};
    ctxt->_private = &state;
    bool read = false;
    {
        detail::DoctypeGuard guard(ctxt);
        xmlParseDocument(ctxt);
        read = (ctxt->wellFormed && !guard.refused()) || state.stopped;
        if (!read && error)
            *error = guard.refused() ? guard.refusal() : detail::describeParseError(ctxt);
    }
    if (ctxt->myDoc)
        xmlFreeDoc(ctxt->myDoc);
    ctxt->myDoc = nullptr;
    xmlFreeParserCtxt(ctxt);
    return read;
}

} // namespace kvx::XmlChildStream

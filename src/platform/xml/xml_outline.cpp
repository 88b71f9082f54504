#include "platform/xml/xml_outline.h"

#include "platform/xml/xml_document.h"
#include "platform/xml/xml_parse_rules.h"
#include "platform/xml/xml_text.h"

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <limits>

namespace kvx {

namespace {

struct ScanState {
    XmlOutline* outline;
    xmlParserCtxtPtr document; // entities are parsed with contexts of their own
    int depth = 0;
};

ScanState* stateOf(void* context) {
    auto* ctxt = static_cast<xmlParserCtxtPtr>(context);
    auto* state = static_cast<ScanState*>(ctxt->_private);
    return state && state->document == ctxt ? state : nullptr;
}

// The name the tree would give the element: the local name, or the whole name when its
// prefix is not declared.
QString nameOf(const xmlChar* localname, const xmlChar* prefix, const xmlChar* uri) {
    QByteArray name(reinterpret_cast<const char*>(localname));
    if (prefix && !uri)
        name.prepend(QByteArray(reinterpret_cast<const char*>(prefix)) + ':');
    return xmlText(name);
}

// Attributes come as local name, prefix, URI, value and end of the value.
void copyAttributes(XmlElement element, int count, const xmlChar** attributes) {
    for (int i = 0; i < count; ++i) {
        const xmlChar** attribute = attributes + 5 * i;
        const auto* value = reinterpret_cast<const char*>(attribute[3]);
        element.setAttribute(xmlText(reinterpret_cast<const char*>(attribute[0])),
                             xmlText(QByteArrayView(value, attribute[4] - attribute[3])));
    }
}

void startElement(void* context, const xmlChar* localname, const xmlChar* prefix,
                  const xmlChar* uri, int, const xmlChar**, int attributeCount, int,
                  const xmlChar** attributes) {
    ScanState* state = stateOf(context);
    if (!state)
        return;
    XmlOutline& outline = *state->outline;
    if (state->depth == 0) {
        outline.rootName = nameOf(localname, prefix, uri);
        outline.head = XmlDocument::create(outline.rootName);
        copyAttributes(outline.head.root(), attributeCount, attributes);
    } else if (state->depth == 1) {
        const QString name = nameOf(localname, prefix, uri);
        if (++outline.rootChildCounts[name] == 1)
            copyAttributes(outline.head.root().appendChild(name), attributeCount, attributes);
    }
    ++state->depth;
}

void endElement(void* context, const xmlChar*, const xmlChar*, const xmlChar*) {
    if (ScanState* state = stateOf(context))
        --state->depth;
}

} // namespace

XmlOutline XmlOutline::scan(const QByteArray& bytes) {
    XmlOutline outline;
    if (bytes.size() > std::numeric_limits<int>::max()) {
        outline.error = QStringLiteral("文档过大");
        return outline;
    }
    xmlParserCtxtPtr ctxt = xmlCreateMemoryParserCtxt(bytes.constData(), int(bytes.size()));
    if (!ctxt) {
        // libxml2 makes no context for an empty input; the parser says why it is no document.
        XmlDocument::fromBytes(bytes, &outline.error);
        return outline;
    }
    xmlCtxtUseOptions(ctxt, detail::xmlParseOptions());
    // The usual handlers keep the document type declaration as XmlDocument does; elements,
    // text and the rest are only counted, never stored.
    ctxt->sax->startElementNs = startElement;
    ctxt->sax->endElementNs = endElement;
    ctxt->sax->characters = nullptr;
    ctxt->sax->ignorableWhitespace = nullptr;
    ctxt->sax->cdataBlock = nullptr;
    ctxt->sax->comment = nullptr;
    ctxt->sax->processingInstruction = nullptr;
    ctxt->sax->reference = nullptr;
    ScanState state{&outline, ctxt};
    ctxt->_private = &state;
    {
        detail::DoctypeGuard guard(ctxt);
        xmlResetLastError();
        xmlParseDocument(ctxt);
        outline.refused = guard.refused();
        outline.error = outline.refused ? guard.refusal() : detail::describeParseError(ctxt);
    }
    outline.wellFormed = ctxt->wellFormed && !outline.refused && !outline.rootName.isEmpty();
    if (outline.wellFormed) {
        outline.error.clear();
        outline.cutShort = detail::stoppedAtUnreadableBytes();
    } else {
        outline.rootName.clear();
        outline.rootChildCounts.clear();
        outline.head = XmlDocument();
    }
    if (ctxt->myDoc)
        xmlFreeDoc(ctxt->myDoc);
    ctxt->myDoc = nullptr;
    xmlFreeParserCtxt(ctxt);
    return outline;
}

} // namespace kvx

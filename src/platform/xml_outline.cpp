#include "platform/xml_outline.h"

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <limits>

namespace kvx {

namespace {

// The parser options of XmlDocument: no network, no entity expansion, no DTD loading.
constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

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
    QString name = QString::fromUtf8(reinterpret_cast<const char*>(localname));
    if (prefix && !uri)
        name.prepend(QString::fromUtf8(reinterpret_cast<const char*>(prefix)) + QLatin1Char(':'));
    return name;
}

void startElement(void* context, const xmlChar* localname, const xmlChar* prefix,
                  const xmlChar* uri, int, const xmlChar**, int, int, const xmlChar**) {
    ScanState* state = stateOf(context);
    if (!state)
        return;
    if (state->depth == 0)
        state->outline->rootName = nameOf(localname, prefix, uri);
    else if (state->depth == 1)
        ++state->outline->rootChildCounts[nameOf(localname, prefix, uri)];
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
        outline.error = QStringLiteral("XML 解析失败");
        return outline;
    }
    xmlCtxtUseOptions(ctxt, kParseOptions);
    // The usual handlers keep the DTD and entity declarations as XmlDocument does; elements,
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
    xmlParseDocument(ctxt);
    outline.wellFormed = ctxt->wellFormed && !outline.rootName.isEmpty();
    if (!outline.wellFormed) {
        const xmlError* error = xmlCtxtGetLastError(ctxt);
        outline.error = error && error->message
                            ? QStringLiteral("第 %1 行：%2")
                                  .arg(error->line)
                                  .arg(QString::fromUtf8(error->message).trimmed())
                            : QStringLiteral("XML 解析失败");
        outline.rootName.clear();
        outline.rootChildCounts.clear();
    }
    if (ctxt->myDoc)
        xmlFreeDoc(ctxt->myDoc);
    ctxt->myDoc = nullptr;
    xmlFreeParserCtxt(ctxt);
    return outline;
}

} // namespace kvx

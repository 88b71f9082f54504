#include "platform/xml/xpath_query.h"

#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

namespace kvx::detail {

namespace {
const xmlChar* utf8(const QByteArray& bytes) {
    return reinterpret_cast<const xmlChar*>(bytes.constData());
}
} // namespace

QList<XmlElement> evaluateXPath(xmlDoc* doc, xmlNode* context, const QString& xpath,
                                const XPathVariables& variables, bool firstOnly) {
    QList<XmlElement> found;
    if (!doc)
        return found;
    xmlXPathContextPtr ctxt = xmlXPathNewContext(doc);
    if (!ctxt)
        return found;
    ctxt->node = context;
    for (const auto& [name, value] : variables) {
        const QByteArray n = name.toUtf8();
        const QByteArray v = value.toUtf8();
        xmlXPathRegisterVariable(ctxt, utf8(n), xmlXPathNewString(utf8(v)));
    }
    const QByteArray expr = xpath.toUtf8();
    xmlXPathObjectPtr result = xmlXPathEvalExpression(utf8(expr), ctxt);
    if (result && result->type == XPATH_NODESET && result->nodesetval) {
        const xmlNodeSetPtr set = result->nodesetval;
        for (int i = 0; i < set->nodeNr; ++i) {
            if (set->nodeTab[i]->type != XML_ELEMENT_NODE)
                continue;
            found.append(XmlElement(set->nodeTab[i]));
            if (firstOnly)
                break;
        }
    }
    xmlXPathFreeObject(result);
    xmlXPathFreeContext(ctxt);
    return found;
}

} // namespace kvx::detail

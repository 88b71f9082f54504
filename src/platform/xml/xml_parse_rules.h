#pragma once

#include <QString>
#include <libxml/parser.h>

namespace kvx::detail {

// How the XML layer reads every document.

// The options of every parse: no network, no entity substitution, no DTD loading, no XInclude,
// and libxml2's own messages kept quiet (the caller reports).
int xmlParseOptions();

// Why a parse failed, for a person: the line and the first line of libxml2's message.
QString describeParseError(xmlParserCtxtPtr context);

// After a parse that began with xmlResetLastError(): whether the parser stopped at bytes that
// its encoding cannot read. After the root element that still leaves a well-formed document,
// and the bytes from there on were never read. libxml2 says so only in the thread's last error.
bool stoppedAtUnreadableBytes();

// True when the parser reads the UTF-8 text as an element or attribute name. libxml2's own check
// (xmlValidateName) follows XML 1.0 before its fifth edition, which its parser no longer does: a
// name with a letter Unicode added later (rare Chinese characters, full-width digits) would read
// from a file but could not be written back.
bool isXmlName(const QByteArray& name);

// Interface documents never need entities. A document type declaration that declares an entity
// (general or parameter, parsed or not) or names an external subset stops the parse as soon as
// the parser meets it, before any entity can be referenced: a reference the store could not
// resolve later, a local file named as a subset, or a few kilobytes of request that expand to
// megabytes never get past the prolog. A bare "<!DOCTYPE ztinterface>" stays harmless.
//
// Lives on the stack around one parse with the context (the handlers find it per thread), and
// leaves the context's handlers as they were.
class DoctypeGuard {
public:
    explicit DoctypeGuard(xmlParserCtxtPtr context);
    ~DoctypeGuard();
    DoctypeGuard(const DoctypeGuard&) = delete;
    DoctypeGuard& operator=(const DoctypeGuard&) = delete;

    bool refused() const { return !m_refusal.isEmpty(); }
    // Why the document was refused, for a person; empty when it was not.
    const QString& refusal() const { return m_refusal; }

private:
    static void onInternalSubset(void* context, const xmlChar* name, const xmlChar* publicId,
                                 const xmlChar* systemId);
    static void onEntityDecl(void* context, const xmlChar* name, int, const xmlChar*,
                             const xmlChar*, xmlChar*);
    static void onUnparsedEntityDecl(void* context, const xmlChar* name, const xmlChar*,
                                     const xmlChar*, const xmlChar*);
    void refuse(const QString& reason);

    xmlParserCtxtPtr m_context;
    DoctypeGuard* m_outer;
    internalSubsetSAXFunc m_internalSubset;
    entityDeclSAXFunc m_entityDecl;
    unparsedEntityDeclSAXFunc m_unparsedEntityDecl;
    QString m_refusal;
};

} // namespace kvx::detail

#include "platform/xml/xml_field_scanner.h"

#include "platform/xml/xml_parse_rules.h"
#include "platform/xml/xml_text.h"

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <limits>

namespace kvx {

namespace {

XmlFieldScanner* scannerOf(void* self) {
    return static_cast<XmlFieldScanner*>(self);
}

} // namespace

XmlFieldScanner::XmlFieldScanner(const QList<QStringList>& fields) {
    for (const QStringList& steps : fields) {
        Field field;
        for (const QString& step : steps)
            field.steps.append(step.toUtf8());
        m_fields.append(field);
    }
    xmlSAXHandler handler{};
    handler.initialized = XML_SAX2_MAGIC;
    handler.startElementNs = onStartElement;
    handler.endElementNs = onEndElement;
    handler.characters = onText;
    handler.cdataBlock = onText;
    // No tree is built: there is no document handler.
    m_context = xmlCreatePushParserCtxt(&handler, this, nullptr, 0, nullptr);
    xmlCtxtUseOptions(m_context, detail::xmlParseOptions());
}

XmlFieldScanner::~XmlFieldScanner() {
    xmlFreeParserCtxt(m_context);
}

bool XmlFieldScanner::scan(QByteArrayView bytes) {
    m_depth = 0;
    m_rootSeen = false;
    m_nonAsciiNames.clear();
    for (Field& field : m_fields) {
        field.matched = 0;
        field.taken = QList<bool>(field.steps.size(), false);
        field.capturing = false;
        field.text.clear();
    }
    m_texts = QList<std::optional<QString>>(m_fields.size());
    if (bytes.size() > std::numeric_limits<int>::max() ||
        xmlCtxtResetPush(m_context, nullptr, 0, nullptr, nullptr) != 0)
        return false;
    bool refused = false;
    {
        detail::DoctypeGuard guard(m_context);
        xmlParseChunk(m_context, bytes.data(), int(bytes.size()), 1);
        refused = guard.refused();
    }
    const bool wellFormed = !refused && m_context->wellFormed && m_rootSeen;
    for (qsizetype i = 0; wellFormed && i < m_fields.size(); ++i) {
        const Field& field = m_fields[i];
        if (!field.steps.isEmpty() && field.taken.last())
            m_texts[i] = xmlText(field.text);
    }
    return wellFormed;
}

void XmlFieldScanner::noteName(const unsigned char* name) {
    for (const unsigned char* c = name; *c; ++c) {
        if (*c >= 0x80) {
            m_nonAsciiNames.insert(QByteArray(reinterpret_cast<const char*>(name)));
            return;
        }
    }
}

void XmlFieldScanner::onStartElement(void* self, const unsigned char* localName,
                                     const unsigned char*, const unsigned char*, int,
                                     const unsigned char**, int attributeCount, int,
                                     const unsigned char** attributes) {
    XmlFieldScanner* scanner = scannerOf(self);
    scanner->m_rootSeen = true;
    scanner->noteName(localName);
    for (int i = 0; i < attributeCount; ++i)
        scanner->noteName(attributes[i * 5]);
    // The root is at level 0; a field's step n names an element at level n + 1, which counts
    // only as the first element of that name inside the element matching step n - 1.
    const int level = scanner->m_depth++;
    const QByteArrayView name(reinterpret_cast<const char*>(localName));
    for (Field& field : scanner->m_fields) {
        const int step = level - 1;
        if (level == 0 || field.matched != step || step >= field.steps.size() ||
            field.taken[step] || field.steps[step] != name)
            continue;
        field.taken[step] = true;
        field.matched = level;
        field.capturing = level == field.steps.size();
    }
}

void XmlFieldScanner::onEndElement(void* self, const unsigned char*, const unsigned char*,
                                   const unsigned char*) {
    XmlFieldScanner* scanner = scannerOf(self);
    const int level = --scanner->m_depth;
    for (Field& field : scanner->m_fields) {
        if (level > 0 && field.matched == level) {
            field.matched = level - 1;
            field.capturing = false;
        }
    }
}

void XmlFieldScanner::onText(void* self, const unsigned char* text, int length) {
    for (Field& field : scannerOf(self)->m_fields) {
        if (field.capturing)
            field.text.append(reinterpret_cast<const char*>(text), length);
    }
}

} // namespace kvx

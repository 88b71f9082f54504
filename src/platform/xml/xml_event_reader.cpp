#include "platform/xml/xml_event_reader.h"

#include "platform/app_folder.h"
#include "platform/xml/xml_parse_rules.h"

#include <QFile>
#include <algorithm>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <limits>

namespace kvx {

namespace {

constexpr qint64 kPieceBytes = 256 * 1024;

} // namespace

struct XmlEventReader::State {
    Handler* handler = nullptr;
    xmlParserCtxtPtr context = nullptr;
    int depth = 0;
    bool rootSeen = false;
    QByteArray name; // of the element being started, when it has a prefix
    int attributeCount = 0;
    const xmlChar** attributes = nullptr;

    static State* of(void* self) { return static_cast<State*>(self); }

    static void onStart(void* self, const xmlChar* localName, const xmlChar* prefix,
                        const xmlChar* uri, int, const xmlChar**, int attributeCount, int,
                        const xmlChar** attributes) {
        State* state = of(self);
        state->rootSeen = true;
        state->attributeCount = attributeCount;
        state->attributes = attributes;
        QByteArrayView name(reinterpret_cast<const char*>(localName));
        if (prefix && !uri) {
            state->name =
                QByteArray(reinterpret_cast<const char*>(prefix)) + ':' + name.toByteArray();
            name = state->name;
        }
        state->handler->startElement(state->depth++, name);
        state->attributeCount = 0;
        state->attributes = nullptr;
    }

    static void onEnd(void* self, const xmlChar*, const xmlChar*, const xmlChar*) {
        State* state = of(self);
        state->handler->endElement(--state->depth);
    }

    static void onText(void* self, const xmlChar* text, int length) {
        of(self)->handler->text(QByteArrayView(reinterpret_cast<const char*>(text), length));
    }
};

XmlEventReader::XmlEventReader(Handler& handler)
    : m_state(new State) {
    m_state->handler = &handler;
    xmlSAXHandler sax{};
    sax.initialized = XML_SAX2_MAGIC;
    sax.startElementNs = State::onStart;
    sax.endElementNs = State::onEnd;
    sax.characters = State::onText;
    sax.ignorableWhitespace = State::onText;
    sax.cdataBlock = State::onText;
    // No tree is built: there is no document handler.
    m_state->context = xmlCreatePushParserCtxt(&sax, m_state, nullptr, 0, nullptr);
    if (m_state->context)
        xmlCtxtUseOptions(m_state->context, detail::xmlParseOptions());
}

XmlEventReader::~XmlEventReader() {
    if (m_state->context)
        xmlFreeParserCtxt(m_state->context);
    delete m_state;
}

bool XmlEventReader::attribute(QByteArrayView name, QByteArray* value) const {
    for (int i = 0; i < m_state->attributeCount; ++i) {
        const xmlChar** attribute = m_state->attributes + 5 * i;
        if (name == QByteArrayView(reinterpret_cast<const char*>(attribute[0]))) {
            *value = QByteArray(reinterpret_cast<const char*>(attribute[3]),
                                attribute[4] - attribute[3]);
            return true;
        }
    }
    return false;
}

XmlEventReader::Outcome XmlEventReader::read(QByteArrayView bytes) {
    Outcome outcome;
    if (!m_state->context || bytes.size() > std::numeric_limits<int>::max()) {
        outcome.error = QStringLiteral("文档过大");
        return outcome;
    }
    restart();
    detail::DoctypeGuard guard(m_state->context);
    xmlParseChunk(m_state->context, bytes.data(), int(bytes.size()), 1);
    return finish(guard);
}

XmlEventReader::Outcome XmlEventReader::readFile(const QString& path) {
    Outcome outcome;
    QFile file(path);
    if (!m_state->context || !file.open(QIODevice::ReadOnly)) {
        outcome.error =
            AppFolder::toNative(path) + QStringLiteral("无法读取：") + file.errorString();
        return outcome;
    }
    restart();
    detail::DoctypeGuard guard(m_state->context);
    QByteArray piece(kPieceBytes, Qt::Uninitialized);
    for (;;) {
        const qint64 read = file.read(piece.data(), kPieceBytes);
        const bool last = read <= 0;
        xmlParseChunk(m_state->context, piece.constData(), int(std::max<qint64>(read, 0)), last);
        // After a fatal error the parser takes no more: the rest of the file is not read.
        if (last || guard.refused() || !m_state->context->wellFormed)
            break;
    }
    return finish(guard);
}

// The parser makes a document of its own for the declarations of a document type, even with no
// tree handler.
void XmlEventReader::releaseDocument() {
    if (m_state->context->myDoc)
        xmlFreeDoc(m_state->context->myDoc);
    m_state->context->myDoc = nullptr;
}

void XmlEventReader::restart() {
    m_state->depth = 0;
    m_state->rootSeen = false;
    xmlCtxtResetPush(m_state->context, nullptr, 0, nullptr, nullptr);
}

XmlEventReader::Outcome XmlEventReader::finish(const detail::DoctypeGuard& guard) {
    releaseDocument();
    Outcome outcome;
    if (guard.refused()) {
        outcome.refused = true;
        outcome.error = guard.refusal();
        return outcome;
    }
    outcome.wellFormed = m_state->context->wellFormed && m_state->rootSeen;
    if (!outcome.wellFormed)
        outcome.error = m_state->rootSeen || !m_state->context->wellFormed
                            ? detail::describeParseError(m_state->context)
                            : QStringLiteral("文档中没有元素");
    return outcome;
}

} // namespace kvx

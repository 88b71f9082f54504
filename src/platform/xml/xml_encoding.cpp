#include "platform/xml/xml_encoding.h"

#include <QStringList>
#include <libxml/encoding.h>
#include <libxml/tree.h>

namespace kvx::detail {

namespace {

bool isUnicodeEncoding(const QString& encoding) {
    static const QStringList unicode = {QStringLiteral("utf-8"), QStringLiteral("utf8"),
                                        QStringLiteral("utf-16"), QStringLiteral("gb18030")};
    return encoding.isEmpty() || unicode.contains(encoding.toLower());
}

// Converts UTF-8 with libxml2's encoder, which writes a character reference for what the
// encoding cannot hold; the buffers are reused from call to call.
class Encoder {
public:
    explicit Encoder(xmlCharEncodingHandlerPtr handler)
        : m_handler(handler)
        , m_in(xmlBufferCreate())
        , m_out(xmlBufferCreate()) {}
    ~Encoder() {
        xmlBufferFree(m_in);
        xmlBufferFree(m_out);
        xmlCharEncCloseFunc(m_handler);
    }
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;

    // False when the encoder failed on the text.
    bool convert(QByteArrayView utf8, QByteArray& into) {
        xmlBufferEmpty(m_in);
        xmlBufferEmpty(m_out);
        xmlBufferAdd(m_in, reinterpret_cast<const xmlChar*>(utf8.data()), int(utf8.size()));
        const int rc = xmlCharEncOutFunc(m_handler, m_out, m_in);
        into.append(reinterpret_cast<const char*>(xmlBufferContent(m_out)), xmlBufferLength(m_out));
        return rc >= 0 && xmlBufferLength(m_in) == 0;
    }

private:
    xmlCharEncodingHandlerPtr m_handler;
    xmlBufferPtr m_in;
    xmlBufferPtr m_out;
};

xmlCharEncodingHandlerPtr handlerFor(const QString& encoding) {
    return xmlFindCharEncodingHandler(encoding.toUtf8().constData());
}

} // namespace

void collectNonAsciiNames(xmlNode* element, QSet<QByteArray>& names) {
    if (!element || element->type != XML_ELEMENT_NODE)
        return;
    auto consider = [&names](const xmlChar* name) {
        for (const xmlChar* c = name; *c; ++c) {
            if (*c >= 0x80) {
                names.insert(QByteArray(reinterpret_cast<const char*>(name)));
                return;
            }
        }
    };
    consider(element->name);
    for (xmlAttrPtr attr = element->properties; attr; attr = attr->next)
        consider(attr->name);
    for (xmlNode* child = element->children; child; child = child->next)
        collectNonAsciiNames(child, names);
}

QString writableEncoding(const QString& declared, const QSet<QByteArray>& nonAsciiNames) {
    if (isUnicodeEncoding(declared))
        return declared.isEmpty() ? QStringLiteral("UTF-8") : declared;
    xmlCharEncodingHandlerPtr handler = handlerFor(declared);
    if (!handler)
        return QStringLiteral("UTF-8");
    Encoder encoder(handler);
    for (const QByteArray& name : nonAsciiNames) {
        // A name written as a character reference would break the element.
        QByteArray written;
        if (!encoder.convert(name, written) || written.contains("&#"))
            return QStringLiteral("GB18030");
    }
    return declared;
}

void appendEncoded(QByteArray& into, QByteArrayView utf8, const QString& encoding) {
    const QString lower = encoding.toLower();
    xmlCharEncodingHandlerPtr handler =
        lower.isEmpty() || lower == QLatin1String("utf-8") || lower == QLatin1String("utf8")
            ? nullptr
            : handlerFor(encoding);
    if (!handler) {
        into.append(utf8);
        return;
    }
    Encoder encoder(handler);
    into.reserve(into.size() + utf8.size());
    const char* data = utf8.data();
    const qsizetype size = utf8.size();
    for (qsizetype at = 0; at < size;) {
        // A run of bytes from 0x80 up is a run of whole characters.
        const bool ascii = static_cast<unsigned char>(data[at]) < 0x80;
        qsizetype end = at;
        while (end < size && (static_cast<unsigned char>(data[end]) < 0x80) == ascii)
            ++end;
        if (ascii)
            into.append(data + at, end - at);
        else
            encoder.convert(QByteArrayView(data + at, end - at), into);
        at = end;
    }
}

} // namespace kvx::detail

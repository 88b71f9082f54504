#include "platform/xml/xml_child_spans.h"

#include <QRegularExpression>
#include <QStringList>
#include <cstring>

namespace kvx {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool isNameEnd(char c) {
    return isBlank(c) || c == '>' || c == '/';
}

// Bytes of the GB family come in pairs whose second byte may be an ASCII letter or bracket:
// where that matters (CDATA sections, DOCTYPE brackets) the pair is stepped over whole.
class Reader {
public:
    Reader(const QByteArray& bytes, bool pairs)
        : m_data(bytes.constData())
        , m_size(bytes.size())
        , m_pairs(pairs) {}

    char at(qsizetype i) const { return i < m_size ? m_data[i] : '\0'; }
    bool startsWith(qsizetype i, const char* text) const {
        const size_t length = std::strlen(text);
        return i + qsizetype(length) <= m_size && std::memcmp(m_data + i, text, length) == 0;
    }
    qsizetype find(char c, qsizetype from) const {
        if (from >= m_size)
            return -1;
        const void* hit = std::memchr(m_data + from, c, size_t(m_size - from));
        return hit ? static_cast<const char*>(hit) - m_data : -1;
    }
    // Just after the text, searched from `from`; -1 when it does not occur. Only for texts
    // whose bytes are all below 0x40, which no byte of a pair can be mistaken for.
    qsizetype after(const char* text, qsizetype from) const {
        const size_t length = std::strlen(text);
        for (qsizetype at = find(text[0], from); at >= 0; at = find(text[0], at + 1)) {
            if (startsWith(at, text))
                return at + qsizetype(length);
        }
        return -1;
    }
    qsizetype step(qsizetype i) const {
        return m_pairs && static_cast<unsigned char>(m_data[i]) >= 0x81 ? i + 2 : i + 1;
    }
    qsizetype cdataEnd(qsizetype from) const {
        for (qsizetype i = from; i < m_size; i = step(i)) {
            if (startsWith(i, "]]>"))
                return i + 3;
        }
        return -1;
    }
    // Just after the '>' that closes a tag begun at `from`; quoted '>' do not close it.
    qsizetype tagEnd(qsizetype from) const {
        char quote = 0;
        for (qsizetype i = from; i < m_size; ++i) {
            const char c = m_data[i];
            if (quote) {
                quote = c == quote ? 0 : quote;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '>') {
                return i + 1;
            }
        }
        return -1;
    }
    // Just after a DOCTYPE declaration, whose internal subset may hold '>' of its own.
    qsizetype doctypeEnd(qsizetype from) const {
        char quote = 0;
        int brackets = 0;
        for (qsizetype i = from; i < m_size; i = step(i)) {
            const char c = m_data[i];
            if (quote) {
                quote = c == quote ? 0 : quote;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (startsWith(i, "<!--")) {
                const qsizetype end = after("-->", i + 4);
                if (end < 0)
                    return -1;
                i = end - 1;
            } else if (c == '[') {
                ++brackets;
            } else if (c == ']') {
                --brackets;
            } else if (c == '>' && brackets == 0) {
                return i + 1;
            }
        }
        return -1;
    }
    QByteArrayView name(qsizetype from) const {
        qsizetype end = from;
        while (end < m_size && !isNameEnd(m_data[end]))
            ++end;
        return QByteArrayView(m_data + from, end - from);
    }
    qsizetype blanksBefore(qsizetype at) const {
        while (at > 0 && isBlank(m_data[at - 1]))
            --at;
        return at;
    }

private:
    const char* m_data;
    qsizetype m_size;
    bool m_pairs;
};

bool isGbFamily(const QString& encoding) {
    const QString name = encoding.toLower();
    return name.startsWith(QLatin1String("gb")) || name == QLatin1String("cp936");
}

} // namespace

XmlChildSpans XmlChildSpans::scan(const QByteArray& bytes, const QByteArray& childName) {
    XmlChildSpans spans;
    const QString encoding = declaredEncoding(bytes);
    spans.readableEncoding = readsEncoding(encoding) && !bytes.startsWith("\xFE\xFF") &&
                             !bytes.startsWith("\xFF\xFE") && !bytes.contains('\0');
    if (!spans.readableEncoding)
        return spans;
    const Reader reader(bytes, isGbFamily(encoding));
    int depth = 0;
    bool rootSeen = false;
    Span child;
    bool inChild = false;
    for (qsizetype at = reader.find('<', 0); at >= 0;) {
        qsizetype next = -1;
        if (reader.startsWith(at, "<?")) {
            next = reader.after("?>", at + 2);
        } else if (reader.startsWith(at, "<!--")) {
            next = reader.after("-->", at + 4);
        } else if (reader.startsWith(at, "<![CDATA[")) {
            next = reader.cdataEnd(at + 9);
        } else if (reader.startsWith(at, "<!")) {
            next = reader.doctypeEnd(at + 2);
        } else if (reader.at(at + 1) == '/') {
            next = reader.tagEnd(at + 2);
            --depth;
            if (depth == 1 && inChild) {
                child.end = next;
                spans.children.append(child);
                inChild = false;
            } else if (depth == 0) {
                spans.rootEndLeadingBlanks = reader.blanksBefore(at);
                spans.found = rootSeen && next > 0;
                return spans;
            }
        } else {
            next = reader.tagEnd(at + 1);
            const bool selfClosing = next > 0 && reader.at(next - 2) == '/';
            if (depth == 0) {
                if (rootSeen || selfClosing)
                    return spans;
                rootSeen = true;
                spans.rootStartEnd = next;
            } else if (depth == 1 && reader.name(at + 1) == QByteArrayView(childName)) {
                child = {at, next, reader.blanksBefore(at)};
                inChild = !selfClosing;
                if (selfClosing)
                    spans.children.append(child);
            }
            depth += selfClosing ? 0 : 1;
        }
        if (next < 0)
            return spans;
        at = reader.find('<', next);
    }
    return spans;
}

bool XmlChildSpans::readsEncoding(const QString& encoding) {
    static const QStringList encodings = {QString(),
                                          QStringLiteral("utf-8"),
                                          QStringLiteral("utf8"),
                                          QStringLiteral("gb2312"),
                                          QStringLiteral("gbk"),
                                          QStringLiteral("gb18030"),
                                          QStringLiteral("cp936"),
                                          QStringLiteral("us-ascii"),
                                          QStringLiteral("ascii"),
                                          QStringLiteral("iso-8859-1")};
    return encodings.contains(encoding.toLower());
}

QString XmlChildSpans::declaredEncoding(const QByteArray& bytes) {
    static const QRegularExpression declaration(
        QStringLiteral(R"(^(?:\xEF\xBB\xBF)?<\?xml\s[^?]*?encoding\s*=\s*["']([^"']*)["'])"));
    const QString head = QString::fromLatin1(bytes.left(200));
    return declaration.match(head).captured(1).trimmed();
}

} // namespace kvx

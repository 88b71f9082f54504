#include "documents/import_document.h"

#include "platform/shared_texts.h"
#include "platform/xml/xml_child_spans.h"
#include "platform/xml/xml_outline.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace kvx {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool isAscii(const QByteArray& bytes) {
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

const QByteArray kUtf8Mark("\xEF\xBB\xBF");

// A document without a declared encoding is UTF-8.
QString normalizedEncoding(const QString& encoding) {
    return encoding.isEmpty() ? QStringLiteral("utf-8") : encoding.toLower();
}

} // namespace

bool ImportDocument::load(const QString& path, QString* error) {
    m_path = path;
    if (!QFileInfo(path).isFile()) {
        *error = SharedText::fileMissing(path);
        return false;
    }
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        m_bytes = file.readAll();
        m_source = m_bytes;
        const XmlOutline outline = XmlOutline::scan(m_bytes);
        if (outline.refused) {
            *error = refusedMessage(path, outline.error);
            return false;
        }
        m_rootName = outline.rootName;
        m_childCounts = outline.rootChildCounts;
        // The parser reads no further than bytes the encoding cannot read, while the splice
        // would look past them.
        if (outline.wellFormed && ((!outline.cutShort && prepareSplice()) || loadWhole()))
            return true;
    }
    *error = notXmlMessage(path);
    return false;
}

QString ImportDocument::notXmlMessage(const QString& path) {
    return QDir::toNativeSeparators(path) + QStringLiteral("不是Xml格式的文件!");
}

QString ImportDocument::refusedMessage(const QString& path, const QString& reason) {
    return QDir::toNativeSeparators(path) + QStringLiteral("不能导入：") + reason +
           QStringLiteral("！");
}

QString ImportDocument::missingRoottagMessage(const QString& path) {
    return QDir::toNativeSeparators(path) + QStringLiteral("该文件中没有必须的roottag属性！");
}

QString ImportDocument::otherItemMessage(const QString& label, const QString& interfaceName) {
    return QStringLiteral("选择的文件不是与") + label + QStringLiteral("(") + interfaceName +
           QStringLiteral(")") + QStringLiteral("相关的文件!");
}

QString ImportDocument::noRecordsMessage() {
    return QStringLiteral("选择的文件格式不对或文件中不包含数据!");
}

bool ImportDocument::checkItem(const CatalogueItem& item, QString* error) const {
    const XmlElement rootElement = root();
    const QString roottag = QStringLiteral("roottag");
    if (!rootElement.hasAttribute(roottag))
        *error = missingRoottagMessage(m_path);
    else if (rootElement.attribute(roottag) != item.interfaceName)
        *error = otherItemMessage(item.label, item.interfaceName);
    else if (!hasChildElement(item.interfaceName))
        *error = noRecordsMessage();
    else
        return true;
    return false;
}

XmlElement ImportDocument::root() const {
    return isWhole() ? m_whole.root() : m_head.root();
}

// Encodings in which every byte below 0x80 is the ASCII character itself, so that markup is
// found by its bytes.
bool ImportDocument::spliceableEncoding(const QString& encoding) {
    return XmlChildSpans::readsEncoding(encoding);
}

bool ImportDocument::prepareSplice() {
    const QByteArray name = m_rootName.toUtf8();
    // The parser ends a document at a NUL byte, while the splice would look past it.
    if (!isAscii(name) || m_bytes.contains('\0'))
        return false;
    m_startTag = rootStartTag(m_bytes, name);
    m_endTag = rootEndTag(m_bytes, name);
    if (m_startTag.isNull() || m_startTag.selfClosing || m_endTag < m_startTag.end)
        return false;
    if (m_bytes.mid(m_startTag.begin, m_startTag.end - m_startTag.begin).contains("xmlns"))
        return false;
    m_head = XmlDocument::fromBytes(m_bytes.left(m_startTag.end) + "</" + name + ">");
    const QString encoding = m_head.encoding().toLower();
    const bool marked = m_bytes.startsWith(kUtf8Mark);
    if (m_head.isNull() || !spliceableEncoding(encoding) ||
        (marked && !encoding.isEmpty() && !encoding.startsWith(QLatin1String("utf")))) {
        m_head = XmlDocument();
        return false;
    }
    return true;
}

bool ImportDocument::loadWhole() {
    m_head = XmlDocument();
    m_whole = XmlDocument::fromBytes(m_bytes);
    m_bytes = QByteArray();
    return !m_whole.isNull();
}

bool ImportDocument::complete(const ImportDirectives& directives,
                              const ImportCompletion& completion, QString* error) {
    if (!isWhole()) {
        if (!completeImportDocument(m_head, directives, completion, error))
            return false;
        m_body = splicedBody();
        m_spliced = !m_body.isEmpty();
        if (m_spliced) {
            m_bytes = QByteArray();
            m_head = XmlDocument();
            return true;
        }
        // The new start tag cannot be written in the file's encoding: write it all anew.
        if (!loadWhole())
            return false;
    }
    if (!completeImportDocument(m_whole, directives, completion, error))
        return false;
    m_body = m_whole.toBytes();
    m_whole = XmlDocument();
    return true;
}

QByteArray ImportDocument::takeBody() {
    return std::exchange(m_body, QByteArray());
}

QByteArray ImportDocument::splicedBody() const {
    const QByteArray head = m_head.toBytes();
    if (normalizedEncoding(XmlDocument::fromBytes(head).encoding()) !=
        normalizedEncoding(m_head.encoding()))
        return {};
    const QByteArray name = m_rootName.toUtf8();
    const Span start = rootStartTag(head, name);
    const qsizetype end = rootEndTag(head, name);
    if (start.isNull() || start.selfClosing || end < start.end)
        return {};
    QByteArray body;
    body.reserve(m_bytes.size() + head.size());
    body.append(m_bytes.constData(), m_startTag.begin);
    body.append(head.constData() + start.begin, start.end - start.begin);
    body.append(m_bytes.constData() + m_startTag.end, m_endTag - m_startTag.end);
    body.append(head.constData() + start.end, end - start.end); // opinfo
    body.append(m_bytes.constData() + m_endTag, m_bytes.size() - m_endTag);
    return body;
}

// In a well-formed document: the root's start tag follows the prolog, which holds only the
// declaration, processing instructions, comments and blanks (a DOCTYPE is not taken on).
ImportDocument::Span ImportDocument::rootStartTag(const QByteArray& bytes, const QByteArray& name) {
    qsizetype at = bytes.startsWith(kUtf8Mark) ? kUtf8Mark.size() : 0;
    const auto startsWith = [&bytes](qsizetype at, const char* text) {
        return QByteArrayView(bytes).sliced(at).startsWith(text);
    };
    for (;;) {
        while (at < bytes.size() && isBlank(bytes[at]))
            ++at;
        if (at >= bytes.size())
            return {};
        const bool instruction = startsWith(at, "<?");
        if (!instruction && !startsWith(at, "<!--"))
            break;
        const QByteArray closing = instruction ? QByteArray("?>") : QByteArray("-->");
        const qsizetype close = bytes.indexOf(closing, at + (instruction ? 2 : 4));
        if (close < 0)
            return {};
        at = close + closing.size();
    }
    if (!startsWith(at, "<") || startsWith(at, "<!"))
        return {};
    const qsizetype afterName = at + 1 + name.size();
    if (!QByteArrayView(bytes).sliced(at + 1).startsWith(name) || afterName >= bytes.size() ||
        !(isBlank(bytes[afterName]) || bytes[afterName] == '>' || bytes[afterName] == '/'))
        return {};
    char quote = 0;
    for (qsizetype i = afterName; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            return {at, i + 1, bytes[i - 1] == '/'};
        }
    }
    return {};
}

// In a well-formed document that ends with "</name>" and blanks, that is the root's end tag:
// a comment or processing instruction after the root would end otherwise.
qsizetype ImportDocument::rootEndTag(const QByteArray& bytes, const QByteArray& name) {
    qsizetype end = bytes.size();
    while (end > 0 && isBlank(bytes[end - 1]))
        --end;
    if (end == 0 || bytes[end - 1] != '>')
        return -1;
    const qsizetype at = bytes.lastIndexOf("</", end - 1);
    if (at < 0 || !QByteArrayView(bytes).sliced(at + 2).startsWith(name))
        return -1;
    for (qsizetype i = at + 2 + name.size(); i < end - 1; ++i) {
        if (!isBlank(bytes[i]))
            return -1;
    }
    return at;
}

} // namespace kvx

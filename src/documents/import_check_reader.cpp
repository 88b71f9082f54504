#include "documents/import_check_reader.h"

#include "documents/import_document.h"
#include "platform/shared_texts.h"
#include "platform/xml/xml_text.h"

#include <QFileInfo>

namespace kvx {

namespace {

const QByteArray kInterfaceRoot("ztinterface");
const QByteArray kHeader("header");

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

QByteArrayView trimmed(QByteArrayView text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

// A value as a message shows it: a long one is cut.
QString shown(QByteArrayView value) {
    const QString text = xmlText(value);
    return text.size() > 40 ? text.left(40) + QStringLiteral("…") : text;
}

} // namespace

ImportCheckReader::ImportCheckReader(ImportFileCheck& check, const ImportFileCheck::Item& item,
                                     const RecordLayout& layout, const QString& keyField,
                                     const QString& path)
    : m_check(check)
    , m_item(item)
    , m_layout(layout)
    , m_path(path)
    , m_reader(*this)
    , m_roottag(item.interfaceName.toUtf8()) {
    for (const QString& step : keyField.split(QLatin1Char('/'), Qt::SkipEmptyParts))
        m_keySteps.append(step.trimmed().toUtf8());
}

bool ImportCheckReader::read() {
    if (!QFileInfo(m_path).isFile()) {
        m_check.add(0, {}, SharedText::fileMissing(m_path));
        return false;
    }
    const XmlEventReader::Outcome outcome = m_reader.readFile(m_path);
    if (outcome.refused) {
        m_check.add(0, {}, ImportDocument::refusedMessage(m_path, outcome.error));
        return false;
    }
    if (!outcome.wellFormed) {
        m_check.add(0, {},
                    ImportDocument::notXmlMessage(m_path) + QStringLiteral("（") + outcome.error +
                        QStringLiteral("）"));
        return false;
    }
    reportOtherElements();
    if (m_check.m_records == 0)
        m_check.add(0, {}, ImportDocument::noRecordsMessage());
    return true;
}

void ImportCheckReader::startElement(int depth, QByteArrayView name) {
    if (depth == 0) {
        if (name != kInterfaceRoot)
            m_check.add(
                0, {},
                QStringLiteral("根元素是“%1”，接口文档的根元素应为ztinterface").arg(xmlText(name)));
        checkRoot();
        return;
    }
    if (depth == 1) {
        m_inRecord = name == m_roottag;
        if (!m_inRecord) {
            ++m_otherElements[xmlText(name)];
            return;
        }
        ++m_check.m_records;
        m_keyFound = false;
        m_keyDirect = false;
        m_key.clear();
        m_recordFindings.clear();
        m_level = -1;
        return;
    }
    if (!m_inRecord)
        return;
    if (m_level >= 0)
        m_hasChildren[m_level] = true;
    ++m_level;
    if (m_level == m_names.size()) {
        m_names.append(QByteArray());
        m_hasChildren.append(false);
    }
    // Kept in place so that a record's thousand fields cost no allocation each.
    m_names[m_level].resize(0);
    m_names[m_level].append(name);
    m_hasChildren[m_level] = false;
    m_text.resize(0);
}

void ImportCheckReader::checkRoot() {
    QByteArray roottag;
    if (!m_reader.attribute("roottag", &roottag))
        m_check.add(0, {}, ImportDocument::missingRoottagMessage(m_path));
    else if (roottag != m_roottag)
        m_check.add(0, {}, ImportDocument::otherItemMessage(m_item.label, m_item.interfaceName));
}

void ImportCheckReader::text(QByteArrayView text) {
    if (m_inRecord && m_level >= 0)
        m_text.append(text);
}

void ImportCheckReader::endElement(int depth) {
    if (!m_inRecord || depth == 0)
        return;
    if (depth == 1) {
        endRecord();
        m_inRecord = false;
        return;
    }
    if (!m_hasChildren[m_level])
        endField(m_level);
    --m_level;
}

void ImportCheckReader::endField(int level) {
    const QByteArrayView value = trimmed(m_text);
    const QByteArray& name = m_names[level];
    if (!m_keyDirect) {
        const bool direct = level + 1 == m_keySteps.size() &&
                            std::equal(m_keySteps.cbegin(), m_keySteps.cend(), m_names.cbegin());
        const bool inHeader = !direct && !m_keyFound && m_keySteps.size() == 1 && level == 1 &&
                              m_names[0] == kHeader && name == m_keySteps[0];
        if (direct || inHeader) {
            m_keyDirect = direct;
            m_keyFound = true;
            m_key = value.toByteArray();
        }
    }
    if (m_layout.isEmpty())
        return;
    const RecordLayout::Type* type = m_layout.typeOf(RecordLayout::partOf(m_names, level), name);
    if (!type) {
        // An empty group ("<body/>") is no field.
        if (!(value.isEmpty() && m_layout.isGroup(name)))
            noteInRecord(QStringLiteral("字段%1不是项目结构文件中的字段").arg(pathText(level)));
        return;
    }
    if (!value.isEmpty() && !RecordLayout::fits(*type, value))
        noteInRecord(QStringLiteral("字段%1的值“%2”不是%3")
                         .arg(pathText(level), shown(value), RecordLayout::typeText(*type)));
}

void ImportCheckReader::endRecord() {
    const int position = m_check.m_records;
    const QString key = xmlText(m_key);
    const QString keyName = xmlText(m_keySteps.join('/'));
    if (!m_keyFound) {
        m_recordFindings.prepend(QStringLiteral("没有关键字段%1").arg(keyName));
    } else if (m_key.isEmpty()) {
        m_recordFindings.prepend(QStringLiteral("关键字段%1为空").arg(keyName));
    } else {
        const auto found = m_keyPositions.constFind(m_key);
        if (found != m_keyPositions.cend())
            m_recordFindings.prepend(QStringLiteral("关键字与第 %1 条记录重复").arg(found.value()));
        else
            m_keyPositions.insert(m_key, position);
    }
    for (const QString& text : std::as_const(m_recordFindings))
        m_check.add(position, key, text);
}

void ImportCheckReader::noteInRecord(const QString& text) {
    m_recordFindings.append(text);
}

QString ImportCheckReader::pathText(int level) const {
    QByteArray path;
    for (int i = 0; i <= level; ++i)
        path += (i ? "/" : "") + m_names[i];
    return xmlText(path);
}

void ImportCheckReader::reportOtherElements() {
    for (auto other = m_otherElements.cbegin(); other != m_otherElements.cend(); ++other)
        m_check.add(0, {},
                    QStringLiteral("根元素下有 %1 个元素“%2”，不是%3记录")
                        .arg(other.value())
                        .arg(other.key(), m_item.interfaceName));
}

} // namespace kvx

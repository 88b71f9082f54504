#include "conditions/condition_document.h"

#include "conditions/item_structure.h"

namespace kvx {

namespace {
const QString kField = QStringLiteral("field");
const QString kPreserved = QStringLiteral("preserved");
const QString kLogic = QStringLiteral("logic");
const QByteArray kFieldUtf8 = QByteArrayLiteral("field");
// The attributes of a condition, in the order a store sets them.
const QList<QByteArray> kFieldAttributes = {"display", "name", "operation", "value", "logic"};

// A row is written when it names a field and an operator and, unless the field is text,
// has a value: a text field may be compared with the empty string.
bool isWritten(const ConditionRow& row) {
    return !row.display.isEmpty() && !row.operation.isEmpty() &&
           (row.fieldType == QStringLiteral("文本") || !row.value.isEmpty());
}
} // namespace

ConditionDocument::ConditionDocument(AppFolder folder)
    : m_folder(std::move(folder)) {}

QString ConditionDocument::relativePath(bool planMode) {
    return planMode ? QStringLiteral("\\xml\\Operation\\ScheCondition.xml")
                    : QStringLiteral("\\Xml\\Operation\\Condition.xml");
}

bool ConditionDocument::OpenConditionDocument(bool planMode, QString* error) {
    if (isLoaded())
        return true;
    const QString path = m_folder.resolve(relativePath(planMode));
    // Read without the indentation between elements, which carries nothing: saving indents
    // the whole file afresh, and a file the console wrote comes out as it was where nothing
    // was stored. Thousands of whitespace nodes fewer make reading and storing faster.
    XmlDocument document = XmlDocument::fromFileWithoutIndentation(path);
    if (document.isNull()) {
        if (error)
            *error = AppFolder::toNative(path) +
                     QStringLiteral("导入导出配置文件不存在！无法保存数据！");
        return false;
    }
    m_document = std::move(document);
    m_path = path;
    m_indexStale = true;
    return true;
}

const ConditionItemIndex& ConditionDocument::index() const {
    if (m_indexStale) {
        m_index.rebuild(m_document);
        m_indexStale = false;
    }
    return m_index;
}

std::optional<ConditionItemContent>
ConditionDocument::ReadConditionItem(const QString& elementName, const QString& itemLabel,
                                     const QString& senderCode) const {
    if (!isLoaded())
        return std::nullopt;
    const XmlElement item = index().find(elementName, itemLabel, senderCode.trimmed());
    if (item.isNull())
        return std::nullopt;
    ConditionItemContent content{item.attribute(QStringLiteral("importfile")),
                                 item.attribute(QStringLiteral("exportfile")),
                                 {}};
    for (XmlElement child = item.firstChildElement(); child; child = child.nextSiblingElement()) {
        if (child.name() != kField || child.hasAttribute(kPreserved))
            continue;
        content.conditions.append({child.attribute(QStringLiteral("display")),
                                   child.attribute(QStringLiteral("operation")),
                                   child.attribute(QStringLiteral("value")),
                                   child.attribute(kLogic),
                                   {}});
    }
    return content;
}

// The item of the code, else a copy of the template with the code, else a new element
// carrying name and code in this order; null when the element name is not an XML name.
XmlElement ConditionDocument::itemToStore(const QString& elementName, const QString& itemLabel,
                                          const QString& code) {
    XmlElement item = index().find(elementName, itemLabel, code);
    if (!item.isNull())
        return item;
    const XmlElement templateItem = index().find(elementName, itemLabel, QString());
    if (!templateItem.isNull()) {
        item = m_document.root().appendCopy(templateItem);
        item.setAttribute(QStringLiteral("code"), code);
    } else {
        item = m_document.root().appendChild(elementName);
        if (item.isNull())
            return item;
        item.setAttribute(QStringLiteral("name"), itemLabel);
        item.setAttribute(QStringLiteral("code"), code);
    }
    m_index.add(item);
    return item;
}

// Empties the item but for its first preserved element, which becomes its first child, and
// up to `wanted` conditions as a store writes them, which follow it and are returned, to be
// written over: the item is then as a store that rebuilt it would leave it, with fewer
// allocations, and the elements of conditions stored again stay where the file had them.
ConditionDocument::KeptContent ConditionDocument::keepPreservedAndConditions(XmlElement& item,
                                                                             qsizetype wanted) {
    // Items nested inside this one would vanish with its content: look them up afresh.
    if (m_index.holdsItems(item))
        m_indexStale = true;
    KeptContent kept;
    for (XmlElement child = item.firstChildElement(); child; child = child.nextSiblingElement()) {
        // A condition as a store writes it has no `preserved`.
        const bool condition = child.isAsAppended(kFieldUtf8, kFieldAttributes);
        if (condition && kept.conditions.size() < wanted)
            kept.conditions.append(child);
        else if (!condition && kept.preserved.isNull() && child.hasAttribute(kPreserved))
            kept.preserved = child;
    }
    item.keepOnlyChildren(kept.preserved.isNull() ? kept.conditions
                                                  : QList{kept.preserved} + kept.conditions);
    return kept;
}

bool ConditionDocument::StoreConditionItem(const QString& elementName, const QString& itemLabel,
                                           const QString& senderCode, const QString& importPath,
                                           const QString& exportPath,
                                           const QList<ConditionRow>& rows,
                                           const ItemStructure& fields) {
    if (!isLoaded())
        return false;
    XmlElement item = itemToStore(elementName, itemLabel, senderCode.trimmed());
    if (item.isNull())
        return false;
    QList<const ConditionRow*> written;
    for (const ConditionRow& row : rows) {
        if (isWritten(row))
            written.append(&row);
    }
    const KeptContent kept = keepPreservedAndConditions(item, written.size());
    XmlElement lastAppended = kept.preserved;
    item.setAttribute(QStringLiteral("importfile"), importPath.trimmed());
    item.setAttribute(QStringLiteral("exportfile"), exportPath.trimmed());
    for (qsizetype i = 0; i < written.size(); ++i) {
        const ConditionRow& row = *written[i];
        XmlElement field =
            i < kept.conditions.size() ? kept.conditions[i] : item.appendChild(kField);
        field.setAttribute(QStringLiteral("display"), row.display);
        field.setAttribute(QStringLiteral("name"), fields.FieldNameOf(row.display));
        field.setAttribute(QStringLiteral("operation"), row.operation);
        field.setAttribute(QStringLiteral("value"), row.value);
        field.setAttribute(kLogic, row.logic);
        lastAppended = field;
    }
    // The last condition has no connective to a next one.
    if (!rows.isEmpty() && !lastAppended.isNull())
        lastAppended.setAttribute(kLogic, QString());
    m_changed = true;
    return true;
}

bool ConditionDocument::WriteConditionFile(QString* error) {
    if (!isLoaded())
        return false;
    AppFolder::makeWritable(m_path);
    QString reason;
    if (!m_document.save(m_path, &reason)) {
        if (error)
            *error = AppFolder::toNative(m_path) + QStringLiteral("保存失败！") + reason;
        return false;
    }
    m_changed = false;
    return true;
}

} // namespace kvx

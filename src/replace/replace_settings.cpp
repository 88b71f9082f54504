#include "replace/replace_settings.h"

#include "conditions/item_structure.h"
#include "replace/field_label.h"

namespace kvx {

namespace {

const QString kReplace = QStringLiteral("EnReplace");
const QString kMatch = QStringLiteral("CorN");

QList<XmlElement> fieldsOf(const XmlElement& entry) {
    QList<XmlElement> fields;
    for (const XmlElement& child : entry.childElements()) {
        if (child.name() == QLatin1String("Item"))
            fields.append(child);
    }
    return fields;
}

// The attribute's choice, written back in its normal form; nothing when it is absent.
std::optional<bool> normalizedChoice(XmlElement& field, const QString& attribute,
                                     QLatin1String yes) {
    if (!field.hasAttribute(attribute))
        return std::nullopt;
    const bool chosen = field.attribute(attribute).toUpper() == yes;
    field.setAttribute(attribute, chosen ? QString(yes) : QStringLiteral("N"));
    return chosen;
}

} // namespace

bool ReplaceSettings::open(QString* error) {
    close();
    return m_document.load(m_folder, error);
}

void ReplaceSettings::close() {
    m_item.clear();
    m_entry = {};
    m_rows.clear();
    m_field = {};
    m_document.clear();
}

QString ReplaceSettings::interfaceNameOf(const QString& listText) const {
    const QString whole = m_document.interfaceNameOf(listText);
    if (!whole.isEmpty())
        return whole;
    const qsizetype bracket = listText.indexOf(QLatin1Char('('));
    if (bracket < 0 || bracket == listText.size() - 1)
        return {};
    return m_document.interfaceNameOf(listText.left(bracket));
}

bool ReplaceSettings::chooseItem(const QString& listText, QString* error) {
    m_item = interfaceNameOf(listText);
    m_entry = m_document.entry(m_item);
    m_rows.clear();
    m_field = {};
    const QString structurePath = ItemStructure::relativePath(m_item);
    const XmlDocument structure = XmlDocument::fromFile(m_folder.resolve(structurePath));
    if (structure.isNull()) {
        *error = m_folder.displayPath(structurePath) + QStringLiteral(" 文件名不存在或不合法");
        return false;
    }
    for (const XmlElement& field : fieldsOf(m_entry)) {
        m_rows.append({fieldLabel(m_item, field, structure.root()),
                       m_document.displayNameOf(field.attribute(QStringLiteral("Type")))});
    }
    return true;
}

std::optional<ReplaceChoices> ReplaceSettings::chooseField(int row) {
    const QList<XmlElement> fields = fieldsOf(m_entry);
    if (row < 0 || row >= m_rows.size() || row >= fields.size())
        return std::nullopt;
    m_field = fields[row];
    return ReplaceChoices{normalizedChoice(m_field, kReplace, QLatin1String("Y")),
                          normalizedChoice(m_field, kMatch, QLatin1String("C"))};
}

void ReplaceSettings::setReplace(bool replace) {
    if (m_field)
        m_field.setAttribute(kReplace, replace ? QStringLiteral("Y") : QStringLiteral("N"));
}

void ReplaceSettings::setMatchByCode(bool byCode) {
    if (m_field)
        m_field.setAttribute(kMatch, byCode ? QStringLiteral("C") : QStringLiteral("N"));
}

} // namespace kvx

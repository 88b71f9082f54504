#include "conditions/item_structure.h"

namespace kvx {

QString ItemStructure::relativePath(const QString& interfaceName) {
    return QStringLiteral("\\xml\\rsxml\\") + interfaceName + QStringLiteral("xmlrs.xml");
}

ItemStructure ItemStructure::load(const AppFolder& folder, const QString& interfaceName) {
    return fromDocument(XmlDocument::fromFile(folder.resolve(relativePath(interfaceName))));
}

ItemStructure ItemStructure::fromDocument(XmlDocument document) {
    ItemStructure structure;
    structure.m_document = std::move(document);
    // Storing conditions asks for one name per row; one pass here keeps that O(1).
    const QList<XmlElement> labelled = structure.m_document.select(QStringLiteral("//*[@display]"));
    structure.m_nameByDisplay.reserve(labelled.size());
    for (const XmlElement& element : labelled) {
        const QString display = element.attribute(QStringLiteral("display"));
        if (!structure.m_nameByDisplay.contains(display))
            structure.m_nameByDisplay.insert(display, element.text().trimmed());
    }
    return structure;
}

QList<ConditionField> ItemStructure::LoadFieldList() const {
    QList<ConditionField> fields;
    const QString typeAttribute = QStringLiteral("type");
    for (const XmlElement& element : m_document.select(QStringLiteral("//*[@iswhere]"))) {
        if (element.attribute(QStringLiteral("iswhere"))
                .compare(QLatin1String("Y"), Qt::CaseInsensitive) != 0)
            continue;
        fields.append({element.attribute(QStringLiteral("display")),
                       element.hasAttribute(typeAttribute) ? element.attribute(typeAttribute)
                                                           : QStringLiteral("文本")});
    }
    return fields;
}

QString ItemStructure::FieldNameOf(const QString& display) const {
    if (display.isEmpty())
        return {};
    return m_nameByDisplay.value(display);
}

QList<StructureField> ItemStructure::fields() const {
    QList<StructureField> fields;
    const QString typeAttribute = QStringLiteral("type");
    const XmlElement root = m_document.root();
    for (const XmlElement& element : m_document.select(QStringLiteral("//*[@display]"))) {
        StructureField field;
        for (XmlElement group = element.parentElement(); group && !(group == root);
             group = group.parentElement())
            field.groups.prepend(group.name());
        field.name = element.text().trimmed();
        field.type = element.hasAttribute(typeAttribute) ? element.attribute(typeAttribute)
                                                         : QStringLiteral("文本");
        fields.append(field);
    }
    return fields;
}

QString ItemStructure::keyField() const {
    for (const XmlElement& element : m_document.select(QStringLiteral("//*[@iskey]"))) {
        if (element.attribute(QStringLiteral("iskey"))
                .compare(QLatin1String("Y"), Qt::CaseInsensitive) == 0)
            return element.text().trimmed();
    }
    return {};
}

} // namespace kvx

#include "server/code_translation.h"

#include "server/record_fields.h"

namespace kvx {

void CodeTranslation::add(const QString& roottag, const QString& from, const QString& to) {
    m_pairs[roottag].insert(from, to);
}

QString CodeTranslation::translate(const QString& roottag, const QString& code) const {
    const auto pairs = m_pairs.constFind(roottag);
    if (pairs == m_pairs.constEnd())
        return code;
    return pairs->value(code, code);
}

void CodeTranslation::applyTo(const XmlElement& record, const QString& roottag,
                              const QString& keyPath) const {
    if (isEmpty())
        return;
    XmlElement keyField = recordField(record, keyPath);
    if (keyField && !keyField.hasChildElements())
        keyField.setText(translate(roottag, keyField.text().trimmed()));
    translateReferences(record, keyField);
}

void CodeTranslation::translateReferences(const XmlElement& element,
                                          const XmlElement& keyField) const {
    for (XmlElement child : element.childElements()) {
        if (child == keyField)
            continue;
        if (child.hasChildElements()) {
            translateReferences(child, keyField);
        } else if (m_pairs.contains(child.name())) {
            child.setText(translate(child.name(), child.text().trimmed()));
        }
    }
}

} // namespace kvx

#pragma once

#include "platform/xml/xml_element.h"

#include <QHash>
#include <QString>

namespace kvx {

// Code pairs of one sender in one direction (external to ERP, or back), per roottag.
// Applied to a record it replaces the record's key and every leaf element named like a
// roottag that has pairs: <customer>C001</customer> inside an order is a customer code.
// Codes without a pair stay as they are.
class CodeTranslation {
public:
    void add(const QString& roottag, const QString& from, const QString& to);
    bool isEmpty() const { return m_pairs.isEmpty(); }

    void applyTo(const XmlElement& record, const QString& roottag, const QString& keyPath) const;

private:
    QString translate(const QString& roottag, const QString& code) const;
    void translateReferences(const XmlElement& element, const XmlElement& keyField) const;

    QHash<QString, QHash<QString, QString>> m_pairs;
};

} // namespace kvx

#include "catalogue/operation_entry.h"

namespace kvx {

namespace {

QList<OperationRule> readRules(const XmlElement& owner) {
    QList<OperationRule> rules;
    for (const XmlElement& rule : owner.childElements())
        rules.append({rule.name(), rule.text().trimmed()});
    return rules;
}

} // namespace

OperationEntry OperationEntry::defaults(const QString& label) {
    OperationEntry entry;
    entry.label = label;
    for (const QString& name : {QStringLiteral("默认"), QStringLiteral("添加"),
                                QStringLiteral("删除"), QStringLiteral("修改")})
        entry.operations.append({name, QString(), {}});
    return entry;
}

OperationEntry OperationEntry::fromElement(const XmlElement& element) {
    OperationEntry entry;
    entry.label = element.name();
    entry.hasOwnEntry = true;
    const XmlElement operations = element.firstChildElement();
    for (const XmlElement& operation : operations.childElements())
        entry.operations.append(
            {operation.name(), operation.attribute(QStringLiteral("proc")), readRules(operation)});
    const XmlElement options = operations.nextSiblingElement();
    for (const XmlElement& option : options.childElements())
        entry.options.append({option.name(), option.attribute(QStringLiteral("name")),
                              option.attribute(QStringLiteral("mode")), readRules(option)});
    return entry;
}

QStringList OperationEntry::operationNames() const {
    QStringList names;
    for (const ImportOperation& operation : operations)
        names.append(operation.name);
    return names;
}

const ImportOperation* OperationEntry::findOperation(const QString& name) const {
    for (const ImportOperation& operation : operations) {
        if (operation.name == name)
            return &operation;
    }
    return nullptr;
}

} // namespace kvx

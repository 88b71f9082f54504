#include "documents/operation_check.h"

#include "catalogue/operations_file.h"
#include "documents/import_completion.h"

#include <QSet>
#include <algorithm>

namespace kvx {

namespace {

const QString kRequired = QStringLiteral("required");
const QString kExclusive = QStringLiteral("exclusive");

void checkRules(const OperationEntry& entry, const ImportOperation& operation,
                const QStringList& chosen, QStringList* findings) {
    for (const OperationRule& rule : operation.rules) {
        if (rule.kind == kRequired && !chosen.contains(rule.target))
            findings->append(
                QStringLiteral("操作“%1”要求选项“%2”").arg(operation.name, rule.target));
        else if (rule.kind == kExclusive && chosen.contains(rule.target))
            findings->append(
                QStringLiteral("操作“%1”不能与选项“%2”同时使用").arg(operation.name, rule.target));
    }
    QSet<QString> told;
    for (const ImportOption& option : entry.options) {
        if (!chosen.contains(option.caption))
            continue;
        for (const OperationRule& rule : option.rules) {
            if (rule.kind != kExclusive || rule.target == option.caption ||
                !chosen.contains(rule.target))
                continue;
            // Each pair once, whichever of the two states the rule.
            const QString pair = std::min(option.caption, rule.target) + QLatin1Char('|') +
                                 std::max(option.caption, rule.target);
            if (!told.contains(pair)) {
                told.insert(pair);
                findings->append(
                    QStringLiteral("选项“%1”与“%2”不能同时选择").arg(option.caption, rule.target));
            }
        }
    }
}

} // namespace

QStringList checkOperationString(const QString& operationString, const QString& label,
                                 const OperationsFile& operations, const AppFolder& folder) {
    QStringList findings;
    if (!namesOperation(operationString))
        return findings;
    if (!operations.isLoaded())
        return {OperationsFile::missingFileMessage(folder)};
    const QString name = operationNameOf(operationString).trimmed();
    QStringList chosen = operationString.split(QLatin1Char('|')).mid(1);
    for (QString& caption : chosen)
        caption = caption.trimmed();
    chosen.removeAll(QString());

    const std::optional<OperationEntry> own = operations.findEntry(label);
    const OperationEntry entry = own.value_or(OperationEntry::defaults(label));
    const ImportOperation* operation = entry.findOperation(name);
    // The import run also takes "普通" for an item without an entry: it keeps the document's
    // proc.
    const bool plain = !own && name == QStringLiteral("普通");
    if (!operation && !plain) {
        findings.append(QStringLiteral("操作“%1”不是%2的操作（可选：%3）")
                            .arg(name, label, entry.operationNames().join(QStringLiteral("、"))));
    } else if (own && !operations.findOperationElement(name).hasAttribute(QStringLiteral("proc"))) {
        findings.append(OperationsFile::missingProcMessage(name));
    }
    for (const QString& caption : std::as_const(chosen)) {
        const bool known = std::any_of(
            entry.options.cbegin(), entry.options.cend(),
            [&caption](const ImportOption& option) { return option.caption == caption; });
        if (!known)
            findings.append(QStringLiteral("%1没有选项“%2”").arg(label, caption));
    }
    if (operation)
        checkRules(entry, *operation, chosen, &findings);
    return findings;
}

} // namespace kvx

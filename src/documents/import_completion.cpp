#include "documents/import_completion.h"

namespace kvx {

namespace {

// Items without an entry in the operations file offer the fixed operations.
QString procOfFixedOperation(const QString& operation) {
    if (operation == QStringLiteral("添加"))
        return QStringLiteral("Add");
    if (operation == QStringLiteral("删除"))
        return QStringLiteral("Delete");
    if (operation == QStringLiteral("修改"))
        return QStringLiteral("Edit");
    return {}; // "普通", "默认" and anything else keep the document's proc
}

} // namespace

QString operationNameOf(const QString& operationString) {
    return operationString.section(QLatin1Char('|'), 0, 0);
}

bool namesOperation(const QString& operationString) {
    return !operationNameOf(operationString).trimmed().isEmpty();
}

ImportDirectives workOutImportDirectives(const QString& operationString,
                                         const OperationsEntry& entry) {
    ImportDirectives directives;
    if (!namesOperation(operationString)) {
        directives.procOverride = QStringLiteral("add");
        return directives;
    }
    const QStringList parts = operationString.split(QLatin1Char('|'));
    if (!entry.exists) {
        directives.procOverride = procOfFixedOperation(parts.first());
        return directives;
    }
    directives.procOverride = entry.proc;
    const QStringList checkedCaptions = parts.mid(1);
    for (const ImportOption& option : entry.options) {
        const QString mode = option.mode.trimmed();
        const bool checked = checkedCaptions.contains(option.caption);
        if (checked && !mode.isEmpty())
            directives.optionAttributes.append({mode, option.name});
        else if (mode.isEmpty())
            directives.optionAttributes.append(
                {option.name, checked ? QStringLiteral("y") : QStringLiteral("n")});
    }
    return directives;
}

bool completeImportDocument(XmlDocument& document, const ImportDirectives& directives,
                            const ImportCompletion& completion, QString* error) {
    XmlElement root = document.root();
    for (const auto& [attribute, value] : directives.optionAttributes) {
        if (!root.setAttribute(attribute, value)) {
            if (error)
                *error = QStringLiteral("操作配置文件中的选项属性名“%1”无效！").arg(attribute);
            return false;
        }
    }
    root.setAttribute(QStringLiteral("codeexchanged"), completion.conversionFlag);
    root.setAttribute(QStringLiteral("display"), completion.label);
    root.setAttribute(QStringLiteral("family"), completion.family);
    const QString proc = QStringLiteral("proc");
    if (root.hasAttribute(proc) && root.attribute(proc).toLower() == QLatin1String("query"))
        root.setAttribute(proc, QStringLiteral("Add"));
    const QString sender = completion.senderCode.trimmed();
    if (!sender.isEmpty())
        root.setAttribute(QStringLiteral("sender"), sender);
    if (!directives.procOverride.isEmpty())
        root.setAttribute(proc, directives.procOverride);
    appendOpinfo(document, completion.credentials);
    return true;
}

} // namespace kvx

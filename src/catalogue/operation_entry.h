#pragma once

#include "platform/xml/xml_element.h"

#include <QList>
#include <QString>

namespace kvx {

// One rule below an operation or an option: its tag name is the kind ("required", "default",
// "exclusive", "nochecked") and its trimmed text the caption of the option it acts on.
struct OperationRule {
    QString kind;
    QString target;
};

// An import operation as offered to the operator; `proc` is what the import run writes into
// the document.
struct ImportOperation {
    QString name;
    QString proc;
    QList<OperationRule> rules = {};
};

// An import option: the caption of its check box, the `name` and `mode` attributes the import
// run uses, and its rules.
struct ImportOption {
    QString caption;
    QString name;
    QString mode;
    QList<OperationRule> rules = {};
};

// The operations and options of one exchange item, read from its entry in the operations
// file, or the four default operations for an item without an entry.
struct OperationEntry {
    QString label;
    bool hasOwnEntry = false;
    QList<ImportOperation> operations;
    // Every option of the entry: the import run sets the attributes of all of them, while
    // the windows show the first five (they have five option check boxes).
    QList<ImportOption> options;

    // "默认", "添加", "删除", "修改", without options.
    static OperationEntry defaults(const QString& label = QString());
    // The entry element's first child element holds the operations, its second (if any) the
    // options.
    static OperationEntry fromElement(const XmlElement& entry);

    QStringList operationNames() const;
    // The first operation with that name; null when there is none.
    const ImportOperation* findOperation(const QString& name) const;
};

} // namespace kvx

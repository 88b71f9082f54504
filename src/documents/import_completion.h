#pragma once

#include "catalogue/operation_entry.h"
#include "documents/interface_documents.h"

#include <QList>
#include <QPair>
#include <QString>

namespace kvx {

// What the caller found for the item in the operations file. `proc` is the proc of the first
// element of the whole file named by the operation (operationNameOf); a missing element or
// proc is a run error that the caller reports before asking for the directives. Of each
// option (operation_entry.h) its caption, `name` and `mode` are used; its rules are not.
struct OperationsEntry {
    bool exists = false;
    QString proc;
    QList<ImportOption> options;
};

// How the chosen operation and options change the imported document.
struct ImportDirectives {
    QString procOverride;                            // empty: keep the document's proc
    QList<QPair<QString, QString>> optionAttributes; // root attributes, in the order set
};

// What the import run adds to every document besides the directives.
struct ImportCompletion {
    QString conversionFlag; // "y" or "n"
    QString label;
    QString family;
    QString senderCode; // trimmed; a blank code leaves the document's sender
    OperatorCredentials credentials;
};

// The operation name of an operation string "operation|option|option...": the text before
// the first "|".
QString operationNameOf(const QString& operationString);
// True when the operation string names an operation, that is when the caller must look the
// item up in the operations file.
bool namesOperation(const QString& operationString);

// A blank operation gives proc "add"; without an entry the fixed operations 添加, 删除 and 修改
// give "Add", "Delete" and "Edit"; with an entry its proc, and per option: checked with
// `mode` sets mode = name, checked without sets name = "y", unchecked without sets name = "n".
ImportDirectives workOutImportDirectives(const QString& operationString,
                                         const OperationsEntry& entry);

// Completes an import document in this order: option attributes,
// codeexchanged, display, family, proc "query" (any case) to "Add", sender, the proc
// override, and opinfo as the last child. Fails, with a message, when an option names an
// attribute that XML cannot hold; the document is then incomplete and must not be posted.
bool completeImportDocument(XmlDocument& document, const ImportDirectives& directives,
                            const ImportCompletion& completion, QString* error = nullptr);

} // namespace kvx

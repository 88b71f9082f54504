#pragma once

#include <QString>
#include <QStringList>

namespace kvx {

class AppFolder;
class OperationsFile;

// What is wrong with an operation string ("operation|option|option...") for an exchange item,
// before its document is sent: the operation must be one the item offers and have a proc (the
// import run stops at one that has none), every option must be one of the item's, and the
// chosen options must keep the rules of the operations file (what the operation requires or
// excludes, options that exclude each other). A blank operation is the default "add" and
// always fits. Empty when nothing is wrong.
QStringList checkOperationString(const QString& operationString, const QString& label,
                                 const OperationsFile& operations, const AppFolder& folder);

} // namespace kvx

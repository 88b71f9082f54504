#pragma once

#include <QList>
#include <QString>

namespace kvx {

// One condition as the file stores it: operator symbol ("=", ">=", ...) and connective code
// ("and", "or", "" on the last). The field type is the editor's (column 4 of its grid); it
// decides whether an empty value is written and is empty in what ReadConditionItem returns.
struct ConditionRow {
    QString display;
    QString operation;
    QString value;
    QString logic;
    QString fieldType;

    bool operator==(const ConditionRow&) const = default;
};

// What an item holds for the editor: both default paths and its conditions in file order
// (the preserved element excluded).
struct ConditionItemContent {
    QString importFile;
    QString exportFile;
    QList<ConditionRow> conditions;
};

} // namespace kvx

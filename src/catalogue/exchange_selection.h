#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>

namespace kvx {

// One entry of the selection list: the item label and, for imports, its operation string.
struct SelectedExchangeItem {
    QString label;
    QString operationString;
    // The item's own conversion flag (a schedule keeps one per item); none: the run's.
    std::optional<bool> conversion = std::nullopt;
    // A file chosen beforehand (the run history's import of mended failed records, the
    // command line's file to import or to write); empty: the condition item's file, else the
    // operator's choice.
    QString file = QString();
};

// The exchange window's selection list: item labels in the order the operator picked them,
// each with its operation string (empty until an operation has been chosen).
class ExchangeSelection {
public:
    const QStringList& labels() const { return m_labels; }
    int count() const { return int(m_labels.size()); }
    bool isEmpty() const { return m_labels.isEmpty(); }
    // True when some entry equals the label.
    bool isSelected(const QString& label) const { return m_operationStrings.contains(label); }

    // Appends the label with an empty operation string; false when it is listed already.
    bool add(const QString& label);
    // Removes the entry at the index with its operation string. Returns the entry to select
    // next: the one now at that index, the first when the last was removed, -1 when none is
    // left or the index is out of range.
    int remove(int index);

    QString operationString(const QString& label) const { return m_operationStrings.value(label); }
    // Only listed labels keep an operation string.
    void setOperationString(const QString& label, const QString& operationString);

    // The entries in list order, as a run takes them.
    QList<SelectedExchangeItem> items() const;

private:
    QStringList m_labels;
    QHash<QString, QString> m_operationStrings;
};

} // namespace kvx

#pragma once

#include "catalogue/exchange_selection.h"

#include <QListWidget>

namespace kvx {

class CatalogueTree;

// A list of exchange items picked from the catalogue tree, each with its operation string:
// the exchange window's selection list and the schedule editor's import and export lists.
class ExchangeItemList : public QListWidget {
    Q_OBJECT
public:
    enum class MoveInResult {
        NotAnItem,     // the tree's selection is a group, the root or nothing
        AlreadyListed, // nothing added
        Added
    };

    explicit ExchangeItemList(QWidget* parent = nullptr);

    const ExchangeSelection& selection() const { return m_selection; }
    void setOperationString(const QString& label, const QString& operationString);
    // The label of the selected entry; empty when none is selected.
    QString selectedLabel() const;

    // MoveIn: the tree's selected exchange item is appended unless it is listed already;
    // when no entry is selected the first one is. The tree's selection then moves on to the
    // next sibling, unless told to stay (a double click in the tree).
    MoveInResult MoveIn(CatalogueTree& tree, bool moveTreeSelection = true);
    // Appends an entry as read from a file; false when it is listed already.
    bool addEntry(const QString& label, const QString& operationString = {});
    // MoveOut: the selected entry leaves the list (entryRemoved is raised while nothing is
    // selected); then the entry now at its place, or the first, is selected. False when no
    // entry was selected.
    bool MoveOut();
    void clearEntries();
    // A read-only list is only shown: MoveIn and MoveOut (the double click too) change
    // nothing.
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }

Q_SIGNALS:
    void entryRemoved(const QString& label);

private:
    ExchangeSelection m_selection;
    bool m_readOnly = false;
};

} // namespace kvx

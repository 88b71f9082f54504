#include "catalogue/exchange_item_list.h"

#include "catalogue/catalogue_tree.h"

#include <QSignalBlocker>

namespace kvx {

ExchangeItemList::ExchangeItemList(QWidget* parent)
    : QListWidget(parent) {
    connect(this, &QListWidget::itemDoubleClicked, this, [this] { MoveOut(); });
}

void ExchangeItemList::setOperationString(const QString& label, const QString& operationString) {
    m_selection.setOperationString(label, operationString);
}

QString ExchangeItemList::selectedLabel() const {
    const int row = currentRow();
    return row >= 0 && row < m_selection.count() ? m_selection.labels().at(row) : QString();
}

ExchangeItemList::MoveInResult ExchangeItemList::MoveIn(CatalogueTree& tree,
                                                        bool moveTreeSelection) {
    if (m_readOnly || !tree.isSelectedLeaf())
        return MoveInResult::NotAnItem;
    const bool added = addEntry(tree.selectedLabel());
    if (currentRow() < 0 && count() > 0)
        setCurrentRow(0);
    if (moveTreeSelection)
        tree.selectNextSibling();
    return added ? MoveInResult::Added : MoveInResult::AlreadyListed;
}

bool ExchangeItemList::addEntry(const QString& label, const QString& operationString) {
    if (!m_selection.add(label))
        return false;
    m_selection.setOperationString(label, operationString);
    addItem(label);
    return true;
}

bool ExchangeItemList::MoveOut() {
    const int row = currentRow();
    if (m_readOnly || row < 0)
        return false;
    const QString label = selectedLabel();
    const int next = m_selection.remove(row);
    {
        const QSignalBlocker blocker(this);
        delete takeItem(row);
        setCurrentRow(-1);
    }
    emit entryRemoved(label);
    if (next >= 0)
        setCurrentRow(next);
    return true;
}

void ExchangeItemList::clearEntries() {
    const QSignalBlocker blocker(this);
    while (m_selection.count() > 0)
        m_selection.remove(0);
    clear();
}

} // namespace kvx

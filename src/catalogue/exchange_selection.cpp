#include "catalogue/exchange_selection.h"

namespace kvx {

bool ExchangeSelection::add(const QString& label) {
    if (isSelected(label))
        return false;
    m_labels.append(label);
    m_operationStrings.insert(label, QString());
    return true;
}

int ExchangeSelection::remove(int index) {
    if (index < 0 || index >= count())
        return -1;
    m_operationStrings.remove(m_labels.takeAt(index));
    if (m_labels.isEmpty())
        return -1;
    return index < count() ? index : 0;
}

void ExchangeSelection::setOperationString(const QString& label, const QString& operationString) {
    if (isSelected(label))
        m_operationStrings.insert(label, operationString);
}

QList<SelectedExchangeItem> ExchangeSelection::items() const {
    QList<SelectedExchangeItem> result;
    result.reserve(m_labels.size());
    for (const QString& label : m_labels)
        result.append({label, m_operationStrings.value(label)});
    return result;
}

} // namespace kvx

#pragma once

#include <QString>
#include <QStringList>

namespace kvx {

// Vouchers name a project by its class ("项目大类") and its number ("项目编号"); a number
// means nothing without its class, so the class is set first and deleted last. The grid is
// given as its field column (data rows from index 0) with the row being edited.
namespace VoucherProjectRules {

bool appliesTo(const QString& elementName);

// Whether choosing the field in the current row is refused.
bool refusesFieldChoice(const QStringList& fieldColumn, int currentRow, const QString& chosen);
// Whether deleting the current row is refused.
bool refusesDeletion(const QStringList& fieldColumn, int currentRow);

QString choiceMessage();
QString deletionMessage();

} // namespace VoucherProjectRules

} // namespace kvx

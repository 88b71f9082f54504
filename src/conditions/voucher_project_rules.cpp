#include "conditions/voucher_project_rules.h"

namespace kvx::VoucherProjectRules {

namespace {

const QString kProjectClass = QStringLiteral("项目大类");
const QString kProjectNumber = QStringLiteral("项目编号");

// Whether some row has the text in its field column, the current row included or not.
bool hasField(const QStringList& fieldColumn, int currentRow, const QString& text,
              bool includeCurrent) {
    for (int row = 0; row < fieldColumn.size(); ++row) {
        if ((includeCurrent || row != currentRow) && fieldColumn.at(row) == text)
            return true;
    }
    return false;
}

} // namespace

bool appliesTo(const QString& elementName) {
    return elementName == QLatin1String("voucher");
}

bool refusesFieldChoice(const QStringList& fieldColumn, int currentRow, const QString& chosen) {
    const bool otherClass = hasField(fieldColumn, currentRow, kProjectClass, false);
    if (chosen == kProjectNumber && !otherClass)
        return true;
    return chosen != kProjectClass && !otherClass &&
           hasField(fieldColumn, currentRow, kProjectNumber, true);
}

bool refusesDeletion(const QStringList& fieldColumn, int currentRow) {
    return currentRow >= 0 && currentRow < fieldColumn.size() &&
           fieldColumn.at(currentRow) == kProjectClass &&
           hasField(fieldColumn, currentRow, kProjectNumber, false) &&
           !hasField(fieldColumn, currentRow, kProjectClass, false);
}

QString choiceMessage() {
    return QStringLiteral("请先设置项目大类，然后再设置项目编号！");
}

QString deletionMessage() {
    return QStringLiteral("请先项目编号，然后再删除项目分类！");
}

} // namespace kvx::VoucherProjectRules

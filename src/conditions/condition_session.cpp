#include "conditions/condition_session.h"

namespace kvx {

ConditionSession::ConditionSession(AppFolder folder)
    : m_document(folder)
    , m_folder(std::move(folder)) {}

void ConditionSession::chooseItem(const QString& interfaceName, const QString& itemLabel) {
    m_interfaceName = interfaceName;
    m_itemLabel = itemLabel;
    m_structure = ItemStructure::load(m_folder, interfaceName);
    m_fields = m_structure.LoadFieldList();
}

void ConditionSession::clearItem() {
    m_interfaceName.clear();
    m_itemLabel.clear();
    m_structure = ItemStructure();
    m_fields.clear();
}

bool ConditionSession::open(QString* error) {
    return m_document.OpenConditionDocument(m_planMode, error);
}

bool ConditionSession::read(const QString& senderCode, std::optional<ItemGrid>* content,
                            QString* error) {
    content->reset();
    if (!open(error))
        return false;
    const std::optional<ConditionItemContent> stored =
        m_document.ReadConditionItem(m_interfaceName, m_itemLabel, senderCode);
    if (!stored)
        return true;
    ItemGrid grid{stored->importFile, stored->exportFile, {}};
    for (const ConditionRow& condition : stored->conditions)
        grid.rows.append(gridRowOf(condition, m_fields));
    *content = std::move(grid);
    return true;
}

bool ConditionSession::store(const QString& senderCode, const QString& importPath,
                             const QString& exportPath, const QList<GridRow>& rows,
                             QString* error) {
    if (!open(error))
        return false;
    QList<ConditionRow> conditions;
    conditions.reserve(rows.size());
    for (const GridRow& row : rows)
        conditions.append(conditionRowOf(row));
    if (!m_document.StoreConditionItem(m_interfaceName, m_itemLabel, senderCode, importPath,
                                       exportPath, conditions, m_structure)) {
        if (error)
            *error = QStringLiteral("导入导出项目“%1”的接口名称“%2”无效，无法保存！")
                         .arg(m_itemLabel, m_interfaceName);
        return false;
    }
    m_gridModified = false;
    return true;
}

bool ConditionSession::write(QString* error) {
    if (m_document.isLoaded() && !m_document.WriteConditionFile(error))
        return false;
    m_gridModified = false;
    return true;
}

} // namespace kvx

#pragma once

#include "conditions/condition_document.h"
#include "conditions/grid_check.h"
#include "conditions/item_structure.h"

#include <QList>
#include <QString>
#include <optional>

namespace kvx {

// What one condition editor window works on: the condition file (the plan condition file in
// plan mode), loaded at the first read or store and kept until the window closes, the item
// chosen in the catalogue with its structure file, and whether the grid holds changes that
// are not yet stored.
class ConditionSession {
public:
    // An item's default paths and conditions as the grid shows them.
    struct ItemGrid {
        QString importFile;
        QString exportFile;
        QList<GridRow> rows;
    };

    explicit ConditionSession(AppFolder folder);

    // Which file the window works on; takes effect at the first read or store.
    void setPlanMode(bool planMode) { m_planMode = planMode; }
    bool planMode() const { return m_planMode; }

    // Makes the exchange item current and loads its structure file; a missing or broken
    // structure file leaves it unloaded (the window then offers the paths only).
    void chooseItem(const QString& interfaceName, const QString& itemLabel);
    void clearItem();
    bool hasItem() const { return !m_interfaceName.isEmpty() || !m_itemLabel.isEmpty(); }
    QString interfaceName() const { return m_interfaceName; }
    const ItemStructure& structure() const { return m_structure; }
    // The fields conditions may test, in file order.
    const QList<ConditionField>& fields() const { return m_fields; }

    // The current item's content for the trimmed sender code; nothing when it has none. When
    // the condition file cannot be loaded: false and the message.
    bool read(const QString& senderCode, std::optional<ItemGrid>* content, QString* error);
    // Replaces the current item's content for the trimmed code in the loaded document.
    bool store(const QString& senderCode, const QString& importPath, const QString& exportPath,
               const QList<GridRow>& rows, QString* error);
    // Writes the document when one is loaded; a window that never read or stored writes
    // nothing. Clears both marks on success.
    bool write(QString* error);

    bool isGridModified() const { return m_gridModified; }
    void setGridModified(bool modified) { m_gridModified = modified; }
    bool isDocumentChanged() const { return m_document.isChanged(); }

private:
    bool open(QString* error);

    ConditionDocument m_document;
    AppFolder m_folder;
    bool m_planMode = false;
    QString m_interfaceName;
    QString m_itemLabel;
    ItemStructure m_structure;
    QList<ConditionField> m_fields;
    bool m_gridModified = false;
};

} // namespace kvx

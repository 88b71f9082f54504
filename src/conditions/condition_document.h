#pragma once

#include "conditions/condition_item_index.h"
#include "conditions/condition_row.h"
#include "platform/app_folder.h"
#include "platform/xml/xml_document.h"

#include <QList>
#include <QString>
#include <optional>

namespace kvx {

class ItemStructure;

// The condition file (or, in plan mode, the plan condition file) as one condition editor
// window holds it: loaded at the first read or store, changed in memory by stores, written
// back whole on save. A document that failed to load is never written, so a missing or
// broken file is never replaced by an empty one.
class ConditionDocument {
public:
    explicit ConditionDocument(AppFolder folder);

    // "\Xml\Operation\Condition.xml", or "\xml\Operation\ScheCondition.xml" in plan mode;
    // resolved without regard to letter case.
    static QString relativePath(bool planMode);

    // Loads the file. After a successful load later calls do nothing and return true; after
    // a failure the next call tries again. On failure *error is the full path followed by
    // "导入导出配置文件不存在！无法保存数据！", which the window shows with an exclamation
    // icon and an OK button before abandoning the read or store.
    bool OpenConditionDocument(bool planMode, QString* error = nullptr);

    bool isLoaded() const { return !m_document.isNull(); }
    // Stores made since the last successful write.
    bool isChanged() const { return m_changed; }
    // The full path of the loaded file (empty before a successful load).
    QString filePath() const { return m_path; }

    // The item with exactly this (trimmed) sender code; no template fallback. Nothing when
    // the item is absent or no document is loaded.
    std::optional<ConditionItemContent> ReadConditionItem(const QString& elementName,
                                                          const QString& itemLabel,
                                                          const QString& senderCode) const;

    // Replaces the item's content by the rows: the item of the trimmed code, else a copy of
    // the template given that code, else a new item. The field names come from the current
    // item structure. False when no document is loaded or the element name is not a valid
    // XML name.
    bool StoreConditionItem(const QString& elementName, const QString& itemLabel,
                            const QString& senderCode, const QString& importPath,
                            const QString& exportPath, const QList<ConditionRow>& rows,
                            const ItemStructure& fields);

    // Writes the loaded document back atomically, a read-only file included (it is made
    // writable first), in the encoding it was read with. Does nothing and returns false
    // when no document is loaded; on a failed write *error names the file and says why.
    bool WriteConditionFile(QString* error = nullptr);

private:
    XmlElement itemToStore(const QString& elementName, const QString& itemLabel,
                           const QString& code);
    struct KeptContent {
        XmlElement preserved;
        QList<XmlElement> conditions;
    };
    KeptContent keepPreservedAndConditions(XmlElement& item, qsizetype wanted);
    const ConditionItemIndex& index() const;

    AppFolder m_folder;
    XmlDocument m_document;
    QString m_path;
    bool m_changed = false;
    mutable ConditionItemIndex m_index;
    mutable bool m_indexStale = true;
};

} // namespace kvx

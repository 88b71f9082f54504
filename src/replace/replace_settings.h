#pragma once

#include "replace/replace_document.h"

#include <QList>
#include <QString>
#include <optional>

namespace kvx {

// One row of the field list: the field's label and the display name of the item it refers
// to (empty when the replace file has no such item).
struct ReplaceFieldRow {
    QString label;
    QString target;

    bool operator==(const ReplaceFieldRow&) const = default;
};

// The two choices of a field as the option buttons show them; a choice the field does not
// carry is not offered.
struct ReplaceChoices {
    std::optional<bool> replace;     // `EnReplace`: "Y" true, anything else false
    std::optional<bool> matchByCode; // `CorN`: "C" true, anything else false

    bool operator==(const ReplaceChoices&) const = default;
};

// What the replace settings window works on: the replace file, the chosen item with the rows
// of its reference fields and the chosen field. Choices change the document in memory only;
// save() writes it.
class ReplaceSettings {
public:
    explicit ReplaceSettings(AppFolder folder)
        : m_folder(std::move(folder)) {}

    // Loads the replace file; on failure *error is the message to show and no item is offered.
    bool open(QString* error);
    void close();
    QStringList items() const { return m_document.replaceableItems(); }

    // Makes the item of the list text current (the text up to its first "(", unless the whole
    // text names an item) and lists its fields; no field is current afterwards. When the
    // item's structure file is missing or malformed *error is the message to show, and no row
    // is listed, so no choice can reach a field of another item.
    bool chooseItem(const QString& listText, QString* error);
    QString currentItem() const { return m_item; }
    const QList<ReplaceFieldRow>& rows() const { return m_rows; }

    // Makes the row's field current and returns its choices, writing them back normalized
    // ("Y"/"N", "C"/"N"). Nothing for a row that is not listed.
    std::optional<ReplaceChoices> chooseField(int row);
    bool hasCurrentField() const { return !m_field.isNull(); }
    // Set `EnReplace` or `CorN` of the current field; nothing without one.
    void setReplace(bool replace);
    void setMatchByCode(bool byCode);

    // Writes the replace file; a file that failed to open is left as it is.
    bool save(QString* error) const { return !m_document.isLoaded() || m_document.save(error); }

private:
    QString interfaceNameOf(const QString& listText) const;

    AppFolder m_folder;
    ReplaceDocument m_document;
    QString m_item;
    XmlElement m_entry;
    QList<ReplaceFieldRow> m_rows;
    XmlElement m_field;
};

} // namespace kvx

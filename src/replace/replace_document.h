#pragma once

#include "platform/app_folder.h"
#include "platform/xml/xml_document.h"

#include <QHash>
#include <QString>
#include <QStringList>

namespace kvx {

// The replace file "\xml\operation\replace.xml": below the root's `replace` element one entry
// per exchange item (element name = interface name, text = display name, `BorI` "I" for an
// item whose reference fields may be replaced) holding one `Item` per reference field.
class ReplaceDocument {
public:
    static QString relativePath();

    // Loads the file and maps interface names and display names both ways. On failure
    // *error is the message the window shows: the full path followed by
    // " 文件不存在或不合法" (missing or not well-formed) or " 文件名不存在或不合法" (no
    // `replace` element), and the document stays empty.
    bool load(const AppFolder& folder, QString* error);
    bool isLoaded() const { return !m_replace.isNull(); }
    // Empties the document and both maps.
    void clear();

    // Display names of the entries whose `BorI` is "I", in document order.
    QStringList replaceableItems() const;
    QString interfaceNameOf(const QString& displayName) const;
    // Empty when no entry has that interface name.
    QString displayNameOf(const QString& interfaceName) const;
    // The entry of the interface name; null when there is none.
    XmlElement entry(const QString& interfaceName) const;

    // Writes the document back whole and atomically, a read-only file included (it is made
    // writable first), in the encoding it was read with. On failure *error names the file
    // and says why.
    bool save(QString* error) const;

private:
    XmlDocument m_document;
    XmlElement m_replace;
    QString m_path;
    QHash<QString, QString> m_displayByName;
    QHash<QString, QString> m_nameByDisplay;
};

} // namespace kvx

#pragma once

#include "platform/app_folder.h"
#include "platform/xml/xml_document.h"

#include <QList>
#include <QString>

namespace kvx {

// An exchange item as the runs and windows know it.
struct CatalogueItem {
    XmlElement element;
    QString label;         // its tag name, shown in the tree and the lists
    QString interfaceName; // its `name` attribute: the roottag of its documents
    QString family;        // the tag name of its group

    bool isNull() const { return element.isNull(); }
};

// The catalogue of exchange items, "\xml\operation\dir.xml": below the root, an element with
// element children is a group, one without is an exchange item. The file is only read, never
// written.
class Catalogue {
public:
    static QString relativePath();
    // The full path of the file followed by "文件不存在！".
    static QString missingFileMessage(const AppFolder& folder);

    // Loads the file of the application folder (any letter case). On failure the document
    // already loaded, and every element view into it, stays as it was.
    bool load(const AppFolder& folder, QString* error = nullptr);
    bool isLoaded() const { return !m_document.isNull(); }
    XmlElement root() const { return m_document.root(); }

    // The first element in document order, the root included, whose tag name is the label.
    XmlElement find(const QString& label) const;
    // The exchange item with that label; null when there is none or the label names a group
    // or the root, and then *error is label + "在Dir.xml文件中不存在！".
    CatalogueItem item(const QString& label, QString* error = nullptr) const;
    // Every exchange item below the root, in document order.
    QList<CatalogueItem> items() const;

    static bool isGroup(const XmlElement& element) { return element.hasChildElements(); }
    static bool isItem(const XmlElement& element) {
        return !element.isNull() && !element.hasChildElements();
    }
    static CatalogueItem describe(const XmlElement& element);

private:
    XmlDocument m_document;
};

} // namespace kvx

#pragma once

#include "catalogue/operation_entry.h"
#include "platform/app_folder.h"
#include "platform/xml/xml_document.h"

#include <optional>

namespace kvx {

// The operations file, "\xml\operation\ImOperation.xml": below the root one level of groups,
// in each group one entry per exchange item that has its own operations and options. The
// file is only read, never written.
class OperationsFile {
public:
    static QString relativePath();
    // The full path of the file followed by "文件不存在！".
    static QString missingFileMessage(const AppFolder& folder);

    // Loads the file of the application folder (any letter case). On failure the document
    // already loaded stays as it was.
    bool load(const AppFolder& folder, QString* error = nullptr);
    bool isLoaded() const { return !m_document.isNull(); }
    XmlElement root() const { return m_document.root(); }

    // The entry of an item: the first child, over every group in order, whose tag name is the
    // label.
    XmlElement findEntryElement(const QString& label) const;
    std::optional<OperationEntry> findEntry(const QString& label) const;
    // The item's entry, or the default operations when it has none or nothing is loaded.
    OperationEntry entryFor(const QString& label) const;

    // The first element of the whole file whose tag name is the operation's name; the import
    // run takes its `proc`.
    XmlElement findOperationElement(const QString& operationName) const;
    // The import run's error when that element is missing or has no `proc`.
    static QString missingProcMessage(const QString& operationName);
    QString procOf(const QString& operationName) const;

private:
    XmlDocument m_document;
};

} // namespace kvx

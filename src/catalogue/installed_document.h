#pragma once

#include "platform/app_folder.h"
#include "platform/xml/xml_document.h"

namespace kvx {

// XML files that come with the installation and are only read (the catalogue, the operations
// file).
struct InstalledDocument {
    // The full native path of the file followed by "文件不存在！".
    static QString missingFileMessage(const AppFolder& folder, const QString& relativePath);
    // Loads the file (any letter case). On failure `document`, and every element view into it,
    // stays as it was.
    static bool load(const AppFolder& folder, const QString& relativePath, XmlDocument& document,
                     QString* error);
};

} // namespace kvx

#include "catalogue/installed_document.h"

#include "platform/shared_texts.h"

namespace kvx {

QString InstalledDocument::missingFileMessage(const AppFolder& folder,
                                              const QString& relativePath) {
    return SharedText::fileMissing(folder.resolve(relativePath));
}

bool InstalledDocument::load(const AppFolder& folder, const QString& relativePath,
                             XmlDocument& document, QString* error) {
    XmlDocument loaded = XmlDocument::fromFile(folder.resolve(relativePath), error);
    if (loaded.isNull())
        return false;
    document = std::move(loaded);
    return true;
}

} // namespace kvx

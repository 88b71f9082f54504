#include "cli_session.h"

#include <QDir>
#include <QFileInfo>

namespace kvx {

std::optional<AppFolder> CliSession::folderOf(const CliOptions& options, QString* error) {
    if (options.appDir.isEmpty()) {
        *error = QStringLiteral("请用 --app-dir 或环境变量 KVX_APP_DIR 指定应用目录");
        return std::nullopt;
    }
    const QString path = QDir(options.appDir).absolutePath();
    if (!QFileInfo(path).isDir()) {
        *error = QStringLiteral("应用目录%1不存在！").arg(QDir::toNativeSeparators(path));
        return std::nullopt;
    }
    return AppFolder(path);
}

bool CliSession::findItem(const QString& text, CatalogueItem* item, QString* error) {
    if (!m_catalogue.isLoaded() && !m_catalogue.load(folder(), error)) {
        if (error->isEmpty())
            *error = Catalogue::missingFileMessage(folder());
        return false;
    }
    *item = m_catalogue.item(text, error);
    for (const CatalogueItem& candidate : m_catalogue.items()) {
        if (item->isNull() && candidate.interfaceName == text)
            *item = candidate;
    }
    if (item->isNull())
        return false;
    error->clear();
    return true;
}

} // namespace kvx

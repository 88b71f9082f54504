#include "settings/path_settings.h"

#include "platform/app_folder.h"
#include "settings/settings_file.h"

#include <QDir>
#include <QFileInfo>

namespace kvx {

PathSettings PathSettings::defaults(const AppFolder& folder) {
    const QString root = folder.nativeRoot() + QDir::separator();
    return {root, root, QStringLiteral("false")};
}

void PathSettings::load(const AppFolder& folder) {
    const QString path = folder.resolve(relativePath());
    const PathSettings fallback = defaults(folder);
    if (!QFileInfo::exists(path)) {
        *this = fallback;
        save(folder);
        return;
    }
    if (const std::optional<QStringList> items = SettingsFile::read(path)) {
        if (items->size() > 0)
            importPath = items->at(0);
        if (items->size() > 1)
            exportPath = items->at(1);
        if (items->size() > 2)
            exportWholeFolder = items->at(2);
    }
    if (importPath.isEmpty())
        importPath = fallback.importPath;
    if (exportPath.isEmpty())
        exportPath = fallback.exportPath;
    if (exportWholeFolder.isEmpty())
        exportWholeFolder = fallback.exportWholeFolder;
}

bool PathSettings::save(const AppFolder& folder, QString* error) const {
    return SettingsFile::write(folder.resolve(relativePath()),
                               {importPath, exportPath, exportWholeFolder}, error);
}

bool PathSettings::exportsWholeFolder() const {
    return exportWholeFolder.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}

} // namespace kvx

#include "app/help_topics.h"

#include "platform/app_folder.h"

#include <QDir>
#include <QFileInfo>

namespace kvx {

QString helpFilePath(const AppFolder& folder) {
    const AppFolder parent(QFileInfo(folder.root()).dir().absolutePath());
    return parent.resolve(QStringLiteral("\\help\\kvx.chm"));
}

} // namespace kvx

#include "platform/shell.h"

#include <QFileInfo>
#include <QProcess>

namespace kvx {

namespace {
#ifdef Q_OS_WIN
const QString kOpener = QStringLiteral("explorer");
#elif defined(Q_OS_MACOS)
const QString kOpener = QStringLiteral("open");
#else
const QString kOpener = QStringLiteral("xdg-open");
#endif
} // namespace

bool DesktopShell::openUrl(const QString& url) {
    return !url.isEmpty() && QProcess::startDetached(kOpener, {url});
}

bool DesktopShell::openDocument(const QString& path) {
    return QFileInfo::exists(path) && QProcess::startDetached(kOpener, {path});
}

bool DesktopShell::startProgram(const QString& program, const QStringList& arguments) {
    return QProcess::startDetached(program, arguments);
}

} // namespace kvx

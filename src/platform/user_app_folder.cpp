#include "platform/user_app_folder.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace kvx {

namespace {

// Copies the tree below `from` into the existing folder `to`, every copy writable by its
// owner.
bool copyTree(const QString& from, const QString& to, QString* error) {
    QDirIterator it(from, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    const QDir source(from);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info = it.fileInfo();
        const QString target = to + QLatin1Char('/') + source.relativeFilePath(path);
        if (info.isDir() && !info.isSymLink()) {
            if (!QDir().mkpath(target)) {
                *error = AppFolder::toNative(target) + QStringLiteral("文件夹无法创建");
                return false;
            }
            continue;
        }
        QFile file(path);
        if (!file.copy(target)) {
            *error = AppFolder::toNative(path) + QStringLiteral("无法复制：") + file.errorString();
            return false;
        }
        AppFolder::makeWritable(target);
    }
    return true;
}

} // namespace

QString UserAppFolder::Outcome::createdMessage() const {
    return QStringLiteral(
               "已按安装的示例（%1）为您建立应用目录：\n%2\n设置、执行计划和运行记录都保存"
               "在这里。")
        .arg(AppFolder::toNative(createdFrom), folder.nativeRoot());
}

QString UserAppFolder::installedSample(const QString& programFolder) {
    // KVX_SAMPLE_FROM_BINDIR: where the build installs the sample, seen from the programs.
    const QString sample =
        QDir::cleanPath(programFolder + QLatin1Char('/') + QStringLiteral(KVX_SAMPLE_FROM_BINDIR));
    return QFileInfo(sample).isDir() ? sample : QString();
}

QString UserAppFolder::path() {
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    // The XDG base directory rules ignore a relative path.
    if (data.isEmpty() || QDir::isRelativePath(data))
        data = QDir::homePath() + QStringLiteral("/.local/share");
    return QDir::cleanPath(data + QStringLiteral("/kvx"));
}

AppFolder UserAppFolder::choose(const QString& programFolder) {
    const QString fromEnv = qEnvironmentVariable("KVX_APP_DIR");
    if (!fromEnv.isEmpty())
        return AppFolder(QDir(fromEnv).absolutePath());
    if (!installedSample(programFolder).isEmpty())
        return AppFolder(path());
    return AppFolder(programFolder);
}

UserAppFolder::Outcome UserAppFolder::prepare(const QString& programFolder) {
    Outcome outcome{choose(programFolder), {}, {}};
    const QString sample = installedSample(programFolder);
    const QString target = outcome.folder.root();
    if (!qEnvironmentVariableIsEmpty("KVX_APP_DIR") || sample.isEmpty() ||
        QFileInfo(target).isDir())
        return outcome;
    const auto failed = [&](const QString& reason) {
        outcome.error =
            QStringLiteral("应用目录%1无法建立：%2").arg(AppFolder::toNative(target), reason);
        return outcome;
    };
    if (QFileInfo::exists(target))
        return failed(QStringLiteral("同名的文件已存在。"));
    const QString parent = QFileInfo(target).absolutePath();
    if (!QDir().mkpath(parent))
        return failed(AppFolder::toNative(parent) + QStringLiteral("文件夹无法创建"));
    QTemporaryDir copy(parent + QStringLiteral("/.kvx-XXXXXX"));
    if (!copy.isValid())
        return failed(copy.errorString());
    QString error;
    if (!copyTree(sample, copy.path(), &error))
        return failed(error);
    if (!QDir().rename(copy.path(), target)) {
        // Another start made the folder meanwhile: that one is used.
        if (QFileInfo(target).isDir())
            return outcome;
        return failed(QStringLiteral("无法改名为应用目录。"));
    }
    copy.setAutoRemove(false);
    outcome.createdFrom = sample;
    return outcome;
}

} // namespace kvx

#include "test_folder.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace kvx::test {

namespace {
void copyTree(const QString& from, const QString& to) {
    QDirIterator it(from, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = to + QLatin1Char('/') + QDir(from).relativeFilePath(source);
        QDir().mkpath(QFileInfo(target).absolutePath());
        QFile::copy(source, target);
        QFile(target).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser |
                                     QFile::WriteUser | QFile::ReadGroup | QFile::ReadOther);
    }
}
} // namespace

QString TestFolder::sampleDir() {
    return qEnvironmentVariable("KVX_SAMPLE_DIR");
}

TestFolder::TestFolder(Content content) {
    if (content == Content::Sample && !sampleDir().isEmpty())
        copyTree(sampleDir(), m_dir.path());
}

QString TestFolder::filePath(const QString& relative) const {
    return m_dir.path() + QLatin1Char('/') +
           QString(relative)
               .replace(QLatin1Char('\\'), QLatin1Char('/'))
               .remove(QRegularExpression(QStringLiteral("^/+")));
}

bool TestFolder::write(const QString& relative, const QByteArray& bytes) const {
    const QString path = filePath(relative);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

QByteArray TestFolder::read(const QString& relative) const {
    QFile file(filePath(relative));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace kvx::test

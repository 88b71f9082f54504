#pragma once

#include <QString>
#include <QTemporaryDir>

namespace kvx::test {

// A fresh application folder in a temporary directory, optionally filled from sample/.
class TestFolder {
public:
    enum class Content { Empty, Sample };
    explicit TestFolder(Content content = Content::Sample);

    QString path() const { return m_dir.path(); }
    QString filePath(const QString& relative) const;
    bool write(const QString& relative, const QByteArray& bytes) const;
    QByteArray read(const QString& relative) const;
    static QString sampleDir();

private:
    QTemporaryDir m_dir;
};

} // namespace kvx::test

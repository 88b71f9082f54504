#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

class QIODevice;

namespace kvx {

// The application folder and the files below it. Relative paths are written Windows-style
// ("\xml\operation\Dir.xml") and resolved component by component without regard to letter
// case, so an installation copied from another system works.
class AppFolder {
public:
    explicit AppFolder(QString root);
    // KVX_APP_DIR, else the user's folder for an installed program (see UserAppFolder), else
    // the executable's folder.
    static AppFolder fromEnvironment();

    QString root() const { return m_root; }
    // The root as a person sees it (native separators).
    QString nativeRoot() const;
    // The full path of a relative path, using the letter case found on disk for every
    // component that exists.
    QString resolve(const QString& relativePath) const;
    // The full native path, for messages: root + relative path.
    QString displayPath(const QString& relativePath) const;

    static QString toNative(const QString& path);
    // "Reset the attributes to normal": make the file writable. False when it does not exist.
    static bool makeWritable(const QString& path);
    // Replaces the file with the bytes atomically: a crash never leaves half a file.
    static bool writeAtomically(const QString& path, const QByteArray& bytes,
                                QString* error = nullptr);
    // The same with what `write` writes into the new file; when it returns false, nothing
    // replaces the file.
    static bool writeAtomically(const QString& path, const std::function<bool(QIODevice&)>& write,
                                QString* error = nullptr);

private:
    QString m_root;
};

} // namespace kvx

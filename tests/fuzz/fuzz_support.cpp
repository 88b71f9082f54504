#include "fuzz_support.h"

#include "platform/xml/xml_document.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

namespace kvx::fuzz {

namespace {

// The target's seed inputs, under names of their own hash as libFuzzer names its inputs.
int writeSeeds(const QString& folder, const QStringList& paths) {
    QDir().mkpath(folder);
    const QList<QByteArray> inputs = seeds(corpusFiles(paths));
    for (const QByteArray& input : inputs) {
        const QByteArray name = QCryptographicHash::hash(input, QCryptographicHash::Sha1).toHex();
        QFile out(QDir(folder).filePath(QString::fromLatin1(name)));
        if (!out.open(QIODevice::WriteOnly) || out.write(input) != input.size())
            return 1;
    }
    std::printf("%lld seed inputs\n", static_cast<long long>(inputs.size()));
    return 0;
}

} // namespace

QList<QByteArray> corpusFiles(const QStringList& paths) {
    QList<QByteArray> files;
    for (const QString& path : paths) {
        QStringList found{path};
        if (QFileInfo(path).isDir()) {
            found.clear();
            QDirIterator walk(path, QDir::Files, QDirIterator::Subdirectories);
            while (walk.hasNext())
                found.append(walk.next());
            found.sort();
        }
        for (const QString& name : std::as_const(found)) {
            QFile file(name);
            check(file.open(QIODevice::ReadOnly), "the seed corpus can be read", name);
            files.append(file.readAll());
        }
    }
    return files;
}

QString scratch() {
    static const QString shared = QStringLiteral("/dev/shm");
    static const QTemporaryDir folder((QFileInfo(shared).isWritable() ? shared : QDir::tempPath()) +
                                      QStringLiteral("/kvx-fuzz-XXXXXX"));
    return folder.path();
}

QString put(const QString& relativePath, const QByteArray& bytes) {
    QString relative = QString(relativePath).replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (relative.startsWith(QLatin1Char('/')))
        relative.remove(0, 1);
    const QString path = QDir(scratch()).filePath(relative);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    check(file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
              file.write(bytes) == bytes.size(),
          "the scratch folder takes the input", path);
    return path;
}

QList<QByteArray> parts(const QByteArray& input, int count) {
    QList<QByteArray> result;
    qsizetype from = 0;
    while (result.size() < count - 1) {
        const qsizetype at = input.indexOf(kSeparator, from);
        if (at < 0)
            break;
        result.append(input.mid(from, at - from));
        from = at + kSeparator.size();
    }
    result.append(input.mid(from));
    while (result.size() < count)
        result.append(QByteArray());
    return result;
}

void fail(const char* promise, const QString& detail) {
    std::fprintf(stderr, "FINDING: broken promise: %s\n%s\n", promise, qPrintable(detail));
    QDir(scratch()).removeRecursively(); // abort() leaves it behind otherwise
    std::abort();
}

} // namespace kvx::fuzz

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static int qtArgc = 1;
    static char* qtArgv[] = {(*argv)[0], nullptr};
    static QCoreApplication* app = new QCoreApplication(qtArgc, qtArgv);
    Q_UNUSED(app);
    kvx::XmlDocument::initializeLibrary();
    const QByteArray flag = "--kvx-seeds=";
    for (int i = 1; i < *argc; ++i) {
        if (!QByteArray((*argv)[i]).startsWith(flag))
            continue;
        QStringList paths;
        for (int j = i + 1; j < *argc; ++j)
            paths.append(QString::fromLocal8Bit((*argv)[j]));
        std::exit(kvx::fuzz::writeSeeds(QString::fromLocal8Bit((*argv)[i] + flag.size()), paths));
    }
    return 0;
}

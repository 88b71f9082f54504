#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstddef>
#include <cstdint>

// What every fuzz target shares. A target defines LLVMFuzzerTestOneInput, which hands the bytes
// to the real reader, and kvx::fuzz::seeds, which makes its seed inputs from the files of its
// seed corpus (the sample folder and the test data). libFuzzer drives the target under
// `./run fuzz`; under `./run test` replay_main.cpp feeds it each seed once.
//
// LLVMFuzzerInitialize (here) prepares Qt and the XML library; given "--kvx-seeds=DIR" and
// the corpus files after it, it writes the target's seed inputs into DIR and ends.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace kvx::fuzz {

// Defined by each target.
QList<QByteArray> seeds(const QList<QByteArray>& files);

// The contents of the files, and of the files below the folders, named by the paths.
QList<QByteArray> corpusFiles(const QStringList& paths);

// The bytes as a reader gets them from a file or a socket.
inline QByteArray input(const uint8_t* data, size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

// A folder of this process (on a memory file system where there is one) for the files a
// reader is given; `put` writes one below it (a relative path, "/" or "\\"), creating its
// folders, and returns its path.
QString scratch();
QString put(const QString& relativePath, const QByteArray& bytes);

// An input made of several documents, joined by kSeparator; missing parts are empty.
inline const QByteArray kSeparator = QByteArrayLiteral("\n<!--kvx-fuzz-part-->\n");
QList<QByteArray> parts(const QByteArray& input, int count);

// A promise of the reader broken: a finding, like a crash.
[[noreturn]] void fail(const char* promise, const QString& detail = {});
inline void check(bool kept, const char* promise, const QString& detail = {}) {
    if (!kept)
        fail(promise, detail);
}

} // namespace kvx::fuzz

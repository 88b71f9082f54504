// Runs a fuzz target once over each input made from its seed corpus (files or folders given on
// the command line), as `./run test` does, so that the targets keep building and the seeds
// keep passing without libFuzzer.
#include "fuzz_support.h"

#include <cstdio>

int main(int argc, char** argv) {
    LLVMFuzzerInitialize(&argc, &argv);
    QStringList paths;
    for (int i = 1; i < argc; ++i)
        paths.append(QString::fromLocal8Bit(argv[i]));
    const QList<QByteArray> inputs = kvx::fuzz::seeds(kvx::fuzz::corpusFiles(paths));
    for (const QByteArray& input : inputs)
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.constData()),
                               size_t(input.size()));
    std::printf("%lld inputs replayed\n", static_cast<long long>(inputs.size()));
    return inputs.isEmpty() ? 1 : 0;
}

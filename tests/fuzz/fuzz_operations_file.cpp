// Fuzz target: the operations file as the exchange window and the import run read it: every
// entry's operations and options worked through the rules engine by an operator who chooses
// each operation and clicks each box, and the directives the import run derives.
#include "catalogue/operation_rules.h"
#include "catalogue/operations_file.h"
#include "documents/import_completion.h"
#include "fuzz_support.h"

using namespace kvx;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::put(OperationsFile::relativePath(), fuzz::input(data, size));
    OperationsFile file;
    if (!file.load(AppFolder(fuzz::scratch())))
        return 0;
    OperationRules rules;
    QString stored;
    QObject::connect(&rules, &OperationRules::operationStringChanged,
                     [&](const QString& s) { stored = s; });
    const auto consistent = [&] {
        fuzz::check(stored == rules.operationString(), "the string stored last is the one shown",
                    stored + QLatin1Char('|') + rules.operationString());
    };
    for (const XmlElement& group : file.root().childElements()) {
        for (const XmlElement& element : group.childElements().mid(0, 20)) {
            const OperationEntry entry = file.entryFor(element.name());
            rules.showEntry(entry);
            for (int i = 0; i < qMin(entry.operations.size(), 10); ++i) {
                rules.chooseOperation(i);
                consistent();
                for (int box = 1; box <= rules.optionCount(); ++box) {
                    if (rules.box(box).visible && rules.box(box).enabled) {
                        rules.setBoxChecked(box, !rules.box(box).checked);
                        consistent();
                    }
                }
                const QString shown = rules.operationString();
                rules.restore(shown);
                workOutImportDirectives(
                    shown, {true, file.procOf(operationNameOf(shown).trimmed()), entry.options});
            }
        }
    }
    return 0;
}

QList<QByteArray> fuzz::seeds(const QList<QByteArray>& files) {
    return files;
}

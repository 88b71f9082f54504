// Fuzz target: an item structure file as the condition editor and the failed-records writer
// read it (the replace settings read it in their own target).
#include "conditions/item_structure.h"
#include "fuzz_support.h"

using namespace kvx;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const ItemStructure structure =
        ItemStructure::fromDocument(XmlDocument::fromBytes(fuzz::input(data, size)));
    for (const ConditionField& field : structure.LoadFieldList())
        structure.FieldNameOf(field.display);
    structure.keyField();
    return 0;
}

QList<QByteArray> fuzz::seeds(const QList<QByteArray>& files) {
    return files;
}

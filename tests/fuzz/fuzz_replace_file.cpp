// Fuzz target: the replace file (first part) and the item structure file of every item (second
// part) as the replace settings window reads them; choices made are saved and read back.
#include "conditions/item_structure.h"
#include "fuzz_support.h"
#include "replace/replace_settings.h"

#include <QDir>

using namespace kvx;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QList<QByteArray> files = fuzz::parts(fuzz::input(data, size), 2);
    QDir(fuzz::scratch() + QStringLiteral("/xml")).removeRecursively();
    fuzz::put(QStringLiteral("xml/operation/replace.xml"), files[0]);
    const AppFolder folder(fuzz::scratch());
    ReplaceSettings settings(folder);
    QString error;
    if (!settings.open(&error))
        return 0;
    for (const QString& item : settings.items()) {
        if (!settings.chooseItem(item, &error)) {
            fuzz::put(ItemStructure::relativePath(settings.currentItem()), files[1]);
            if (!settings.chooseItem(item, &error))
                continue;
        }
        for (int row = 0; row < settings.rows().size(); ++row) {
            const std::optional<ReplaceChoices> choices = settings.chooseField(row);
            fuzz::check(choices.has_value(), "a listed field can be chosen");
            settings.setReplace(true);
            settings.setMatchByCode(row % 2 == 0);
        }
    }
    fuzz::check(settings.save(&error), "the replace file is saved", error);
    ReplaceSettings again(folder);
    fuzz::check(again.open(&error) && again.items() == settings.items(),
                "a saved replace file loads again", error);
    return 0;
}

QList<QByteArray> fuzz::seeds(const QList<QByteArray>& files) {
    // The replace file with each structure file of the sample.
    QList<QByteArray> inputs;
    for (qsizetype i = 1; i < files.size(); ++i)
        inputs << QByteArrayList{files.first(), files[i]}.join(kSeparator);
    return inputs;
}

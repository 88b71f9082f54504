#include "server/import_mode.h"

#include <QStringList>

namespace kvx {

namespace {

bool mentions(const QString& proc, const QStringList& words) {
    for (const QString& word : words) {
        if (proc.contains(word))
            return true;
    }
    return false;
}

bool flagSet(const XmlElement& root, const QString& name) {
    return root.attribute(name).trimmed().compare(QLatin1String("y"), Qt::CaseInsensitive) == 0;
}

ImportMode::Action actionOf(const QString& proc) {
    const QString p = proc.trimmed().toLower();
    if (p.isEmpty() || p == QLatin1String("add"))
        return ImportMode::Action::Add;
    if (p == QLatin1String("edit"))
        return ImportMode::Action::Edit;
    if (p == QLatin1String("delete"))
        return ImportMode::Action::Delete;
    const bool adds =
        mentions(p, {QStringLiteral("add"), QStringLiteral("insert"), QStringLiteral("new")});
    const bool changes = mentions(p, {QStringLiteral("edit"), QStringLiteral("update"),
                                      QStringLiteral("modify"), QStringLiteral("change")});
    const bool deletes = mentions(p, {QStringLiteral("delete"), QStringLiteral("remove")});
    // Deleting is never guessed from a proc that also names another action.
    if (deletes)
        return adds || changes ? ImportMode::Action::Unsupported : ImportMode::Action::Delete;
    if (adds && changes)
        return ImportMode::Action::AddOrEdit;
    if (changes)
        return ImportMode::Action::Edit;
    if (adds)
        return ImportMode::Action::Add;
    return ImportMode::Action::Unsupported;
}

} // namespace

ImportMode ImportMode::fromDocument(const XmlElement& root) {
    ImportMode mode;
    mode.proc = root.attribute(QStringLiteral("proc")).trimmed();
    mode.action = actionOf(mode.proc);
    mode.updateExisting = flagSet(root, QStringLiteral("updateexisting"));
    mode.skipExisting = flagSet(root, QStringLiteral("skipexisting"));
    mode.allowUnbalanced = flagSet(root, QStringLiteral("unbalanced"));
    return mode;
}

} // namespace kvx

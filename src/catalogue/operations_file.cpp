#include "catalogue/operations_file.h"

#include "catalogue/element_search.h"
#include "catalogue/installed_document.h"

namespace kvx {

QString OperationsFile::relativePath() {
    return QStringLiteral("\\xml\\operation\\ImOperation.xml");
}

QString OperationsFile::missingFileMessage(const AppFolder& folder) {
    return InstalledDocument::missingFileMessage(folder, relativePath());
}

bool OperationsFile::load(const AppFolder& folder, QString* error) {
    return InstalledDocument::load(folder, relativePath(), m_document, error);
}

XmlElement OperationsFile::findEntryElement(const QString& label) const {
    if (label.isEmpty())
        return {};
    for (XmlElement group = root().firstChildElement(); group; group = group.nextSiblingElement()) {
        if (XmlElement entry = group.firstChildElement(label))
            return entry;
    }
    return {};
}

std::optional<OperationEntry> OperationsFile::findEntry(const QString& label) const {
    const XmlElement element = findEntryElement(label);
    if (element.isNull())
        return std::nullopt;
    return OperationEntry::fromElement(element);
}

OperationEntry OperationsFile::entryFor(const QString& label) const {
    return findEntry(label).value_or(OperationEntry::defaults(label));
}

XmlElement OperationsFile::findOperationElement(const QString& operationName) const {
    return findFirstElementNamed(root(), operationName);
}

QString OperationsFile::missingProcMessage(const QString& operationName) {
    return QStringLiteral("ImOperation.xml中的操作“") + operationName +
           QStringLiteral("”没有proc属性！");
}

QString OperationsFile::procOf(const QString& operationName) const {
    return findOperationElement(operationName).attribute(QStringLiteral("proc"));
}

} // namespace kvx

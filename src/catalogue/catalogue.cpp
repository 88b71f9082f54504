#include "catalogue/catalogue.h"

#include "catalogue/element_search.h"
#include "catalogue/installed_document.h"

namespace kvx {

namespace {

void collectItems(const XmlElement& group, QList<CatalogueItem>& items) {
    for (const XmlElement& child : group.childElements()) {
        if (Catalogue::isItem(child))
            items.append(Catalogue::describe(child));
        else
            collectItems(child, items);
    }
}

} // namespace

QString Catalogue::relativePath() {
    return QStringLiteral("\\xml\\operation\\dir.xml");
}

QString Catalogue::missingFileMessage(const AppFolder& folder) {
    return InstalledDocument::missingFileMessage(folder, relativePath());
}

bool Catalogue::load(const AppFolder& folder, QString* error) {
    return InstalledDocument::load(folder, relativePath(), m_document, error);
}

XmlElement Catalogue::find(const QString& label) const {
    return findFirstElementNamed(root(), label);
}

CatalogueItem Catalogue::item(const QString& label, QString* error) const {
    const XmlElement element = find(label);
    // The root is the catalogue itself, never an exchange item, even when it is empty.
    if (element == root() || !isItem(element)) {
        if (error)
            *error = label + QStringLiteral("在Dir.xml文件中不存在！");
        return {};
    }
    return describe(element);
}

QList<CatalogueItem> Catalogue::items() const {
    QList<CatalogueItem> result;
    collectItems(root(), result);
    return result;
}

CatalogueItem Catalogue::describe(const XmlElement& element) {
    if (element.isNull())
        return {};
    return {element, element.name(), element.attribute(QStringLiteral("name")),
            element.parentElement().name()};
}

} // namespace kvx

#pragma once

#include <QString>

namespace kvx {

// The catalogue tree as logic sees it: nodes known by their key (the element's tag name).
// The tree widget implements it; the account subsystem adjustment works on it.
class CatalogueTreeModel {
public:
    virtual ~CatalogueTreeModel() = default;
    // Takes the node (with its element and any children) out of its place and appends it as
    // the last child of the node `newParentKey`. False, and nothing changed, when either node
    // is missing or the move would put a node below itself.
    virtual bool moveNode(const QString& key, const QString& newParentKey) = 0;
};

} // namespace kvx

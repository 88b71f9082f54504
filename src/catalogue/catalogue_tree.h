#pragma once

#include "catalogue/catalogue_tree_model.h"
#include "platform/shared_texts.h"
#include "platform/xml/xml_element.h"

#include <QTreeWidget>

namespace kvx {

class AppFolder;
class Catalogue;
class Prompter;

// The catalogue of exchange items as a tree. Each node's key and text are its element's tag
// name and it carries the element; the owning window keeps the catalogue (and so every
// element) alive as long as the tree shows it. The window gives the tree its objectName
// ("Dir").
class CatalogueTree : public QTreeWidget, public CatalogueTreeModel {
    Q_OBJECT
public:
    explicit CatalogueTree(QWidget* parent = nullptr);

    // Loads the catalogue and fills the tree; the catalogue's previous document goes with
    // the old nodes. When the file cannot be loaded, shows its missing-file message
    // (exclamation icon) and leaves tree and catalogue as they were.
    bool initTree(Catalogue& catalogue, const AppFolder& folder, Prompter& prompter,
                  const QString& title = SharedText::promptTitle());
    // Fills the tree from a loaded catalogue: the root expanded, every other node collapsed.
    void fill(const Catalogue& catalogue);
    // Adds the element's element children below the node, recursively, in document order.
    void addChildren(const XmlElement& element, QTreeWidgetItem* node);

    static QString keyOf(const QTreeWidgetItem* node);
    static XmlElement elementOf(const QTreeWidgetItem* node);
    QTreeWidgetItem* findNode(const QString& key) const;

    // The key of the selected node; empty when nothing is selected.
    QString selectedLabel() const;
    XmlElement selectedElement() const;
    // A leaf is an exchange item: a node below the root without children whose element has
    // none either.
    static bool isLeaf(const QTreeWidgetItem* node);
    bool isSelectedLeaf() const;
    // Moves the selection to the selected node's next sibling; false when there is none.
    bool selectNextSibling();

    bool moveNode(const QString& key, const QString& newParentKey) override;

Q_SIGNALS:
    // A click on the node that already was current, for which currentItemChanged stays
    // silent; a click that makes a node current gives only currentItemChanged.
    void currentNodeClicked(QTreeWidgetItem* node);

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    QTreeWidgetItem* newNode(const XmlElement& element);

    // Whether the mouse button went down on the node that was current then.
    bool m_pressOnCurrent = false;
};

} // namespace kvx

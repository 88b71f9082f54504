#include "catalogue/catalogue_tree.h"

#include "catalogue/catalogue.h"
#include "platform/prompter.h"

#include <QMouseEvent>

namespace kvx {

namespace {

constexpr int kKeyRole = Qt::UserRole;

// A node that carries its catalogue element.
class CatalogueNode : public QTreeWidgetItem {
public:
    static constexpr int kType = QTreeWidgetItem::UserType + 1;
    explicit CatalogueNode(const XmlElement& element)
        : QTreeWidgetItem(kType)
        , m_element(element) {
        setText(0, element.name());
        setData(0, kKeyRole, element.name());
    }
    XmlElement element() const { return m_element; }

private:
    XmlElement m_element;
};

bool isWithin(const QTreeWidgetItem* node, const QTreeWidgetItem* ancestor) {
    for (; node; node = node->parent()) {
        if (node == ancestor)
            return true;
    }
    return false;
}

} // namespace

CatalogueTree::CatalogueTree(QWidget* parent)
    : QTreeWidget(parent) {
    setColumnCount(1);
    setHeaderHidden(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* node) {
        if (m_pressOnCurrent && node == currentItem())
            emit currentNodeClicked(node);
    });
}

void CatalogueTree::mousePressEvent(QMouseEvent* event) {
    m_pressOnCurrent = currentItem() && itemAt(event->position().toPoint()) == currentItem();
    QTreeWidget::mousePressEvent(event);
}

bool CatalogueTree::initTree(Catalogue& catalogue, const AppFolder& folder, Prompter& prompter,
                             const QString& title) {
    Catalogue loaded;
    if (!loaded.load(folder)) {
        prompter.message(Catalogue::missingFileMessage(folder), title, Prompter::Icon::Warning);
        return false;
    }
    // The old nodes carry elements of the old document: drop them before it goes.
    clear();
    catalogue = std::move(loaded);
    fill(catalogue);
    return true;
}

void CatalogueTree::fill(const Catalogue& catalogue) {
    clear();
    const XmlElement root = catalogue.root();
    if (root.isNull())
        return;
    QTreeWidgetItem* rootNode = newNode(root);
    addTopLevelItem(rootNode);
    addChildren(root, rootNode);
    rootNode->setExpanded(true);
}

void CatalogueTree::addChildren(const XmlElement& element, QTreeWidgetItem* node) {
    for (const XmlElement& child : element.childElements()) {
        QTreeWidgetItem* childNode = newNode(child);
        node->addChild(childNode);
        addChildren(child, childNode);
    }
}

QTreeWidgetItem* CatalogueTree::newNode(const XmlElement& element) {
    return new CatalogueNode(element);
}

QString CatalogueTree::keyOf(const QTreeWidgetItem* node) {
    return node ? node->data(0, kKeyRole).toString() : QString();
}

XmlElement CatalogueTree::elementOf(const QTreeWidgetItem* node) {
    if (!node || node->type() != CatalogueNode::kType)
        return {};
    return static_cast<const CatalogueNode*>(node)->element();
}

QTreeWidgetItem* CatalogueTree::findNode(const QString& key) const {
    if (key.isEmpty())
        return nullptr;
    for (QTreeWidgetItemIterator it(const_cast<CatalogueTree*>(this)); *it; ++it) {
        if (keyOf(*it) == key)
            return *it;
    }
    return nullptr;
}

QString CatalogueTree::selectedLabel() const {
    return keyOf(currentItem());
}

XmlElement CatalogueTree::selectedElement() const {
    return elementOf(currentItem());
}

bool CatalogueTree::isLeaf(const QTreeWidgetItem* node) {
    // The root is the catalogue itself, even when it has no items.
    return node && node->parent() && node->childCount() == 0 && Catalogue::isItem(elementOf(node));
}

bool CatalogueTree::isSelectedLeaf() const {
    return isLeaf(currentItem());
}

bool CatalogueTree::selectNextSibling() {
    QTreeWidgetItem* node = currentItem();
    QTreeWidgetItem* parent = node ? node->parent() : nullptr;
    if (!parent)
        return false;
    const int index = parent->indexOfChild(node);
    if (index + 1 >= parent->childCount())
        return false;
    setCurrentItem(parent->child(index + 1));
    return true;
}

bool CatalogueTree::moveNode(const QString& key, const QString& newParentKey) {
    QTreeWidgetItem* node = findNode(key);
    QTreeWidgetItem* newParent = findNode(newParentKey);
    if (!node || !newParent || !node->parent() || isWithin(newParent, node))
        return false;
    const bool wasCurrent = currentItem() == node;
    node->parent()->removeChild(node);
    newParent->addChild(node);
    if (wasCurrent)
        setCurrentItem(node);
    return true;
}

} // namespace kvx

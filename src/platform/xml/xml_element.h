#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

typedef struct _xmlNode xmlNode;

namespace kvx {

// Values bound as XPath variables ($name), so that text never changes the query.
using XPathVariables = QList<QPair<QString, QString>>;

// A cheap view of one element of an XmlDocument; valid while the document lives and the
// element has not been removed.
class XmlElement {
public:
    XmlElement() = default;
    explicit XmlElement(xmlNode* node);

    bool isNull() const { return m_node == nullptr; }
    explicit operator bool() const { return m_node != nullptr; }
    bool operator==(const XmlElement& other) const { return m_node == other.m_node; }
    xmlNode* node() const { return m_node; }

    QString name() const;
    // The name as the tree holds it, valid while the element is.
    QByteArrayView nameUtf8() const;

    bool hasAttribute(const QString& name) const;
    // The attribute's text, or an empty string when it is missing.
    QString attribute(const QString& name) const;
    // False (and nothing changed) when the name is not a valid XML name.
    bool setAttribute(const QString& name, const QString& value);
    void removeAttribute(const QString& name);
    QList<QPair<QString, QString>> attributes() const;

    // Concatenated text of the element and its descendants.
    QString text() const;
    void setText(const QString& text);
    // The element with its attributes and content as XML text, without a declaration.
    QString toXml() const;
    QByteArray toXmlUtf8() const;
    // The start tag alone, with the attributes and namespace declarations, as toXml() writes
    // it; with childNodesXml() and the end tag it gives toXml() again.
    QString openingTagXml() const;
    // Every child node (elements, text, comments…) as XML text, in document order.
    QStringList childNodesXml() const;

    bool hasChildElements() const;
    // Any child node (element, text, comment…) other than whitespace-only text, which is
    // only the indentation of the file.
    bool hasChildNodes() const;
    QList<XmlElement> childElements() const;
    XmlElement firstChildElement() const;
    XmlElement firstChildElement(const QString& name) const;
    XmlElement nextSiblingElement() const;
    XmlElement parentElement() const;

    // A new last child element; null when the name is not a valid XML name.
    XmlElement appendChild(const QString& name);
    // Appends a deep copy of an element of this or another document and returns the copy.
    XmlElement appendCopy(const XmlElement& source);
    // Removes every child node (elements, text, comments).
    void removeAllChildren();
    // True when the element is as appendChild(name) and setAttribute of these attributes, in
    // this order, make it: in its parent's namespace, declaring none, with exactly these
    // attributes (none in a namespace) and no child node at all, not even whitespace.
    bool isAsAppended(const QByteArray& name, const QList<QByteArray>& attributes) const;
    // Removes every child node but the given child elements, which become the only children,
    // in the given order; elements that are not children of this one are ignored.
    void keepOnlyChildren(const QList<XmlElement>& kept);
    // Removes the whitespace-only text between this element's children (its indentation in
    // the file), so that saving indents its children afresh, children added later included.
    // The children keep their own content and layout.
    void removeIndentation();
    // Unlinks and frees the element; this view and views of its descendants become invalid.
    void remove();

    // XPath 1.0 relative to this element; only element nodes are returned.
    QList<XmlElement> select(const QString& xpath, const XPathVariables& variables = {}) const;
    XmlElement selectFirst(const QString& xpath, const XPathVariables& variables = {}) const;

private:
    xmlNode* m_node = nullptr;
};

} // namespace kvx

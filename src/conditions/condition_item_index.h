#pragma once

#include "platform/xml/xml_document.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>

namespace kvx {

// Finds condition items by (element name, `name`, `code`) as plain text, at any depth, the
// first in document order counting, like the expression
// "//" + element + "[@name='" + label + "' and @code='" + code + "']" does for ordinary
// values; apostrophes and brackets are harmless. A lookup costs O(1) after one pass over the
// document, so files of many thousand items stay fast.
class ConditionItemIndex {
public:
    ConditionItemIndex() = default;
    explicit ConditionItemIndex(const XmlDocument& document) { rebuild(document); }

    void rebuild(const XmlDocument& document);

    // The item with exactly this code.
    XmlElement find(const QString& elementName, const QString& label, const QString& code) const;
    // What the import and export runs use: the item of the trimmed sender code, else the
    // template of the exchange item (code ""), else a null element.
    XmlElement findForSender(const QString& elementName, const QString& label,
                             const QString& senderCode) const;

    // Records an element appended after every element already indexed.
    void add(const XmlElement& item);
    // True when an element below this one could be found as an item.
    bool holdsItems(const XmlElement& element) const;

private:
    static QByteArray keyOf(QByteArrayView elementName, QByteArrayView label, QByteArrayView code);
    void remember(QByteArray&& key, const XmlElement& item);

    QHash<QByteArray, XmlElement> m_items;
    // Items are normally children of the root: then no item lies inside another and storing
    // one never removes another.
    bool m_onlyTopLevel = true;
};

} // namespace kvx

#include "conditions/condition_item_index.h"

#include "platform/xml/xml_attribute_scan.h"

namespace kvx {

namespace {
const QString kName = QStringLiteral("name");
const QString kCode = QStringLiteral("code");

// The element after `element` in document order within the subtree of `top`; null at its
// end. Walking in C++ is several times faster than an XPath predicate over every element.
XmlElement nextInSubtree(const XmlElement& element, const XmlElement& top) {
    if (const XmlElement child = element.firstChildElement())
        return child;
    for (XmlElement at = element; at && !(at == top); at = at.parentElement()) {
        if (const XmlElement sibling = at.nextSiblingElement())
            return sibling;
    }
    return {};
}

// An absent attribute never equals a text: only elements with both can be found. Conditions
// have a name but no code, so asking for the code first settles most elements at once.
bool isAddressable(const XmlElement& element) {
    return element.hasAttribute(kCode) && element.hasAttribute(kName);
}
} // namespace

QByteArray ConditionItemIndex::keyOf(QByteArrayView elementName, QByteArrayView label,
                                     QByteArrayView code) {
    // One string with NUL between the three, a character no XML text holds.
    QByteArray key;
    key.reserve(elementName.size() + label.size() + code.size() + 2);
    key.append(elementName).append('\0').append(label).append('\0').append(code);
    return key;
}

void ConditionItemIndex::rebuild(const XmlDocument& document) {
    m_items.clear();
    m_onlyTopLevel = true;
    const XmlElement root = document.root();
    // One pass over every element's attributes, names compared by address: the index of a
    // file of ten thousand items is ready as the file is.
    XmlAttributeScan({kName.toUtf8(), kCode.toUtf8()})
        .runOverEvery(document,
                      [&](const XmlElement& element, const QList<QByteArrayView>& values) {
                          if (values[0].isNull() || values[1].isNull())
                              return;
                          remember(keyOf(element.nameUtf8(), values[0], values[1]), element);
                          m_onlyTopLevel = m_onlyTopLevel && element.parentElement() == root;
                      });
}

bool ConditionItemIndex::holdsItems(const XmlElement& element) const {
    if (m_onlyTopLevel)
        return false;
    for (XmlElement inner = nextInSubtree(element, element); inner;
         inner = nextInSubtree(inner, element)) {
        if (isAddressable(inner))
            return true;
    }
    return false;
}

XmlElement ConditionItemIndex::find(const QString& elementName, const QString& label,
                                    const QString& code) const {
    return m_items.value(keyOf(elementName.toUtf8(), label.toUtf8(), code.toUtf8()));
}

XmlElement ConditionItemIndex::findForSender(const QString& elementName, const QString& label,
                                             const QString& senderCode) const {
    const XmlElement own = find(elementName, label, senderCode.trimmed());
    return own.isNull() ? find(elementName, label, QString()) : own;
}

void ConditionItemIndex::add(const XmlElement& item) {
    remember(keyOf(item.nameUtf8(), item.attribute(kName).toUtf8(), item.attribute(kCode).toUtf8()),
             item);
}

void ConditionItemIndex::remember(QByteArray&& key, const XmlElement& item) {
    // The first element of a key in document order is the one found.
    if (!m_items.contains(key))
        m_items.insert(std::move(key), item);
}

} // namespace kvx

#pragma once

#include "platform/xml/xml_document.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <functional>

namespace kvx {

// Reads a few attributes of every element of one name in a large tree, in document order, as
// UTF-8 views into the tree rather than as a string per value: turning a result document of a
// hundred thousand items into report lines then costs little more than reading the file.
class XmlAttributeScan {
public:
    // The values handed to the visitor, in the order of the names; a null view for an
    // attribute the element lacks (an attribute without value gives an empty one). Valid
    // during the visit only. Attributes in a namespace are not read.
    using Visit = std::function<void(const QList<QByteArrayView>& values)>;
    using VisitElement =
        std::function<void(const XmlElement& element, const QList<QByteArrayView>& values)>;

    explicit XmlAttributeScan(QList<QByteArray> attributeNames);

    // Visits every element named `elementName` in the document, the root included, at any depth.
    void run(const XmlDocument& document, QByteArrayView elementName, const Visit& visit);
    // Visits every element of the document, the root included, in document order.
    void runOverEvery(const XmlDocument& document, const VisitElement& visit);

private:
    // Which of the names an attribute's name is (-1: none). libxml2 keeps each name once per
    // document, so a name met before is recognized by its address alone.
    qsizetype slotOf(const unsigned char* name);
    void read(xmlNode* element);

    QList<QByteArray> m_names;
    QList<QPair<const unsigned char*, qsizetype>> m_known;
    QList<QByteArrayView> m_values;
    // Values that are not one plain text in the tree are put together here.
    QList<QByteArray> m_joined;
};

} // namespace kvx

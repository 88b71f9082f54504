#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

namespace kvx {

// One pass over a document's bytes that builds no tree: whether the document reads as
// XmlDocument::fromBytes reads it (same parser, same options, same limits), the name of its
// root element and how many child elements of each name the root has. For documents too large to
// hold as a tree while they are also being sent, such as an import file of many thousand records.
struct XmlOutline {
    bool wellFormed = false;
    QString error; // why not, as XmlDocument reports it
    QString rootName;
    QHash<QString, int> rootChildCounts;

    static XmlOutline scan(const QByteArray& bytes);
};

} // namespace kvx

#pragma once

#include "platform/xml_document.h"

#include <QByteArray>
#include <QSet>
#include <QString>

namespace kvx {

// One pass over a document's bytes that builds no tree: whether the document reads as
// XmlDocument::fromBytes reads it (same parser, same options, same limits), the name of its
// root element and the names of the root's child elements, and a head of the document: the
// root with its attributes and, of the root's children, the first of each name with its
// attributes (no content). For documents too large to hold as a tree, such as an import file
// or request of many thousand records.
struct XmlOutline {
    bool wellFormed = false;
    // Refused for its document type declaration, as XmlDocument refuses it.
    bool refused = false;
    QString error; // why not, as XmlDocument reports it
    QString rootName;
    QSet<QString> rootChildNames;
    XmlDocument head;

    static XmlOutline scan(const QByteArray& bytes);
};

} // namespace kvx

#pragma once

#include "platform/xml/xml_document.h"

#include <QByteArray>
#include <QHash>
#include <QString>

namespace kvx {

// One pass over a document's bytes that builds no tree: whether the document reads as
// XmlDocument::fromBytes reads it (same parser, same options, same limits), the name of its
// root element, how many child elements of each name the root has, and a head of the document: the
// root with its attributes and, of the root's children, the first of each name with its
// attributes (no content). For documents too large to hold as a tree, such as an import file
// or request of many thousand records.
struct XmlOutline {
    bool wellFormed = false;
    // Refused for its document type declaration, as XmlDocument refuses it.
    bool refused = false;
    QString error; // why not, as XmlDocument reports it
    // Well-formed, but the parser stopped after the root at bytes the encoding cannot read;
    // what follows them was never read.
    bool cutShort = false;
    QString rootName;
    QHash<QString, int> rootChildCounts;
    XmlDocument head;

    static XmlOutline scan(const QByteArray& bytes);
};

} // namespace kvx

#pragma once

#include "platform/xml/xml_document.h"

#include <QByteArray>
#include <QSet>

typedef struct _xmlOutputBuffer xmlOutputBuffer;

namespace kvx {

// Writes a document whose root element's children are handed over one at a time, each written
// at once, so that a document of many thousand records never exists as one tree (a server's
// answer with every stored record). The bytes are those XmlDocument::toBytes writes for the same
// document: its declared encoding, or GB18030 when an element name needs it, and a character
// reference for each character the encoding cannot hold. For documents declared in an encoding
// that keeps ASCII as it is, as those XmlDocument::create makes.
class XmlChildWriter {
public:
    // The declaration and root element (with its attributes) of `root`; its children are not
    // written.
    explicit XmlChildWriter(const XmlDocument& root);
    ~XmlChildWriter();
    XmlChildWriter(const XmlChildWriter&) = delete;
    XmlChildWriter& operator=(const XmlChildWriter&) = delete;

    // Writes the element, of any document, as the root's next child.
    void append(const XmlElement& element);
    // Writes an element already written as UTF-8 text (XmlElement::toXml()) as the root's next
    // child, as it stands; `nonAsciiNames` are its names that are not plain ASCII.
    void appendXml(QByteArrayView utf8, const QSet<QByteArray>& nonAsciiNames);
    // The whole document; the writer is empty afterwards.
    QByteArray finish();

private:
    QString m_encoding;
    QByteArray m_rootName;
    QByteArray m_emptyRoot; // the root element written without children: <root a="…"/>
    QByteArray m_children;  // UTF-8
    xmlOutputBuffer* m_output;
    QSet<QByteArray> m_nonAsciiNames;
    int m_count = 0;
};

} // namespace kvx

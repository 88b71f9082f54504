#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace kvx {

// Where the parts of a well-formed document lie in its bytes: the root element's start and
// end tags and the root's child elements of one name, each from its '<' to just after its
// end. Found by reading the markup byte by byte, without a parser and without a tree, so that
// a document of many megabytes is taken apart quickly and its elements can be copied exactly
// as they stand. Only for documents already known to be well-formed, written in an encoding
// in which markup reads as ASCII bytes (UTF-8, the GB family, ISO-8859-1).
struct XmlChildSpans {
    struct Span {
        qsizetype begin = 0;
        qsizetype end = 0;
        // Where the blanks before the element begin (its indentation); `begin` when none.
        qsizetype leadingBlanks = 0;
    };

    bool readableEncoding = false;
    bool found = false;         // false when the bytes do not read as one root element
    qsizetype rootStartEnd = 0; // just after the root's start tag
    // Where the blanks before the root's end tag begin.
    qsizetype rootEndLeadingBlanks = 0;
    QList<Span> children;

    static XmlChildSpans scan(const QByteArray& bytes, const QByteArray& childName);

    // The encoding the XML declaration names; empty without one (UTF-8).
    static QString declaredEncoding(const QByteArray& bytes);
    // True for the encodings whose documents can be scanned; the name as declared.
    static bool readsEncoding(const QString& encoding);
};

} // namespace kvx

#pragma once

#include <QByteArrayView>
#include <QString>

namespace kvx {

namespace detail {
class DoctypeGuard;
}

// Reads a document as a stream of element starts, ends and text, by the rules XmlDocument reads
// by (same parser options, same refusal of entity declarations and external subsets), without
// building a tree: a document of many thousand records is checked in one pass at the parser's
// own speed. Names and texts are UTF-8, whatever the document's encoding; a name with an
// undeclared prefix keeps it ("a:b"), as the tree would.
class XmlEventReader {
public:
    class Handler {
    public:
        virtual ~Handler() = default;
        // The root is at depth 0. Attributes are read through attribute() during the call.
        virtual void startElement(int depth, QByteArrayView name) = 0;
        virtual void endElement(int depth) = 0;
        // Character data of the element last started or ended, in one or more pieces.
        virtual void text(QByteArrayView text) = 0;
    };

    struct Outcome {
        bool wellFormed = false;
        // Refused for its document type declaration; `error` says why.
        bool refused = false;
        QString error; // why the document does not read, for a person
    };

    explicit XmlEventReader(Handler& handler);
    ~XmlEventReader();
    XmlEventReader(const XmlEventReader&) = delete;
    XmlEventReader& operator=(const XmlEventReader&) = delete;

    // Reads the file in pieces, so that it is never held whole; a file that cannot be opened
    // is not well-formed, and `error` says so.
    Outcome readFile(const QString& path);
    Outcome read(QByteArrayView bytes);

    // The value of an attribute of the element being started; none when it has none.
    bool attribute(QByteArrayView name, QByteArray* value) const;

private:
    struct State;
    // Makes the parser ready for a new document.
    void restart();
    // The outcome once the whole input has been given: refused by the guard, or as parsed.
    Outcome finish(const detail::DoctypeGuard& guard);
    void releaseDocument();

    State* m_state;
};

} // namespace kvx

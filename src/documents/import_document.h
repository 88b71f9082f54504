#pragma once

#include "catalogue/catalogue.h"
#include "documents/import_completion.h"
#include "platform/xml/xml_document.h"

#include <QByteArray>
#include <QHash>
#include <QString>

namespace kvx {

// The interface document file of one import item, as the import run checks, completes and
// sends it. The file is read once and checked in one pass that builds no tree. Completing it
// changes only the root's attributes and adds opinfo as the root's last child, so the document
// sent is the file's own bytes with a new start tag for the root and opinfo spliced in before
// the root's end tag: a file of many thousand records is neither held as a tree nor written
// anew, and its records travel exactly as they are in the file. A file whose layout the
// splice does not take on (a DOCTYPE, markup after the root, an encoding that is not a
// superset of ASCII, a root with namespaces) is completed and written as a whole document.
class ImportDocument {
public:
    // Reads and checks the file. False when it is missing, not XML or refused (a document type
    // declaration that declares an entity or names an external subset); *error then names the
    // file and says which.
    bool load(const QString& path, QString* error);
    // The messages of a file that is no document of the item, as load() and checkItem() give
    // them.
    static QString notXmlMessage(const QString& path);
    static QString refusedMessage(const QString& path, const QString& reason);
    static QString missingRoottagMessage(const QString& path);
    static QString otherItemMessage(const QString& label, const QString& interfaceName);
    static QString noRecordsMessage();

    // True when the loaded file is a document of the exchange item: its root's roottag is the
    // item's interface name (letter case counts) and it holds at least one record; otherwise
    // *error says what is wrong.
    bool checkItem(const CatalogueItem& item, QString* error) const;

    // The root element with its attributes (its children only when the whole document is
    // held).
    XmlElement root() const;
    bool hasChildElement(const QString& name) const { return m_childCounts.contains(name); }
    // How many child elements of the name the root has (records, for the item's roottag).
    int childElementCount(const QString& name) const { return m_childCounts.value(name); }
    // The file's bytes as they were read, kept after completion for the failed records.
    const QByteArray& sourceBytes() const { return m_source; }

    // Completes the document (completeImportDocument); false, with *error, as that fails.
    bool complete(const ImportDirectives& directives, const ImportCompletion& completion,
                  QString* error);
    // The completed document's bytes, to be sent. The document is emptied.
    QByteArray takeBody();

    // True when the completed document was spliced into the file's bytes (for tests).
    bool isSpliced() const { return m_spliced; }

private:
    struct Span {
        qsizetype begin = -1;
        qsizetype end = -1; // after the '>'
        bool selfClosing = false;
        bool isNull() const { return begin < 0; }
    };

    bool isWhole() const { return !m_whole.isNull(); }
    bool prepareSplice();
    bool loadWhole();
    QByteArray splicedBody() const;
    static Span rootStartTag(const QByteArray& bytes, const QByteArray& name);
    static qsizetype rootEndTag(const QByteArray& bytes, const QByteArray& name);
    static bool spliceableEncoding(const QString& encoding);

    QString m_path;
    QByteArray m_bytes;
    QString m_rootName;
    QHash<QString, int> m_childCounts;
    QByteArray m_source;
    // Splicing: the file's prolog with the root's start tag, which completion changes.
    XmlDocument m_head;
    Span m_startTag;
    qsizetype m_endTag = -1;
    // Otherwise the whole document.
    XmlDocument m_whole;
    QByteArray m_body;
    bool m_spliced = false;
};

} // namespace kvx

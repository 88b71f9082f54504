#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>

typedef struct _xmlParserCtxt xmlParserCtxt;

namespace kvx {

// Reads small documents one after another without building a tree, by the rules XmlDocument
// reads by (document type declarations included): whether each is a well-formed document, the
// names in it that are not plain ASCII, and the text of a few fields below the root, as
// XmlElement::text() would give it. A field is a path of element names: {"header", "date"} is
// the first child named date of the root's first child named header. For a server that looks
// at a few fields of each of thousands of stored records.
class XmlFieldScanner {
public:
    explicit XmlFieldScanner(const QList<QStringList>& fields);
    ~XmlFieldScanner();
    XmlFieldScanner(const XmlFieldScanner&) = delete;
    XmlFieldScanner& operator=(const XmlFieldScanner&) = delete;

    // False when the bytes are not a well-formed document, or are refused.
    bool scan(QByteArrayView bytes);

    // Of the last document scanned: the text of each field, none when the document has no such
    // field; and the names of its elements and attributes that are not plain ASCII (UTF-8).
    const QList<std::optional<QString>>& texts() const { return m_texts; }
    const QSet<QByteArray>& nonAsciiNames() const { return m_nonAsciiNames; }

private:
    struct Field {
        QList<QByteArray> steps;
        int matched = 0;   // how many steps the open elements match
        QList<bool> taken; // the first element of each step has been met
        bool capturing = false;
        QByteArray text;
    };

    static void onStartElement(void* self, const unsigned char* localName, const unsigned char*,
                               const unsigned char*, int, const unsigned char**, int attributeCount,
                               int, const unsigned char** attributes);
    static void onEndElement(void* self, const unsigned char*, const unsigned char*,
                             const unsigned char*);
    static void onText(void* self, const unsigned char* text, int length);
    void noteName(const unsigned char* name);

    xmlParserCtxt* m_context;
    QList<Field> m_fields;
    int m_depth = 0;
    bool m_rootSeen = false;
    QList<std::optional<QString>> m_texts;
    QSet<QByteArray> m_nonAsciiNames;
};

} // namespace kvx

#pragma once

#include "platform/xml/xml_element.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <functional>

typedef struct _xmlDoc xmlDoc;
typedef struct _xmlParserCtxt xmlParserCtxt;

namespace kvx {

// Owns one libxml2 document. Parsing never touches the network, never substitutes entities and
// never loads a DTD; a document whose document type declaration declares an entity or names an
// external subset is refused. Saving keeps the encoding the document declared.
class XmlDocument {
public:
    XmlDocument() = default;
    ~XmlDocument();
    XmlDocument(XmlDocument&& other) noexcept;
    XmlDocument& operator=(XmlDocument&& other) noexcept;
    XmlDocument(const XmlDocument&) = delete;
    XmlDocument& operator=(const XmlDocument&) = delete;

    // Once per process, before any document: "gb2312" documents written on Windows are in
    // fact code page 936, so GB2312 is read and written as GBK.
    static void initializeLibrary();

    // A new document with the given root, declared in the given encoding.
    static XmlDocument create(const QString& rootName,
                              const QString& encoding = QStringLiteral("gb2312"));
    // A null document when the text is not a well-formed document or is refused; *error says
    // why, and *refused whether it was refused for its document type declaration.
    static XmlDocument fromFile(const QString& path, QString* error = nullptr);
    // The same without the whitespace-only text between elements (their indentation), which
    // saving writes afresh; whitespace beside other text stays.
    static XmlDocument fromFileWithoutIndentation(const QString& path, QString* error = nullptr);
    static XmlDocument fromBytes(const QByteArray& bytes, QString* error = nullptr,
                                 bool* refused = nullptr);
    // Parses Unicode text, ignoring the encoding its declaration names (which is kept as
    // the document's encoding for saving).
    static XmlDocument fromString(const QString& text, QString* error = nullptr);

    bool isNull() const { return m_doc == nullptr; }
    XmlDocument clone() const;

    XmlElement root() const;
    // Replaces the root element by a new one (the old one is freed).
    XmlElement setRoot(const QString& name);

    // The encoding the declaration names; empty when there is none (UTF-8).
    QString encoding() const;
    void setEncoding(const QString& encoding);

    // The serialized document in its own encoding. When an element or attribute name cannot
    // be written in that encoding the document is written (and declared) as GB18030 instead,
    // so that the bytes always load again.
    QByteArray toBytes() const;
    // The document's XML text as Unicode, for showing to a person.
    QString toString() const;
    // Writes toBytes() atomically: an existing file is replaced only by a complete new one.
    bool save(const QString& path, QString* error = nullptr) const;

    void removeProcessingInstructions(const QString& target);
    void insertProcessingInstructionBeforeRoot(const QString& target, const QString& content);

    QList<XmlElement> select(const QString& xpath, const XPathVariables& variables = {}) const;
    XmlElement selectFirst(const QString& xpath, const XPathVariables& variables = {}) const;

private:
    friend class XmlParser;

    explicit XmlDocument(xmlDoc* doc)
        : m_doc(doc) {}
    static xmlDoc* read(xmlParserCtxt* ctxt, const std::function<xmlDoc*()>& parse, QString* error,
                        bool* refused);
    static XmlDocument parseMemory(xmlParserCtxt* ctxt, QByteArrayView bytes, const char* encoding,
                                   QString* error, bool* refused);
    static XmlDocument readFile(const QString& path, int options, QString* error);
    QByteArray serialize(const char* encoding) const;
    QString writableEncoding() const;

    xmlDoc* m_doc = nullptr;
};

} // namespace kvx

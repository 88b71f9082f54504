#pragma once

#include "documents/import_file_check.h"
#include "documents/record_layout.h"
#include "platform/xml/xml_event_reader.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMap>

namespace kvx {

// The dry run's pass over a document: follows the elements as the parser meets them and notes
// in an ImportFileCheck what does not fit the item. A record's findings wait for the record's
// end, where its key is known, wherever in the record the key field stands.
class ImportCheckReader : public XmlEventReader::Handler {
public:
    ImportCheckReader(ImportFileCheck& check, const ImportFileCheck::Item& item,
                      const RecordLayout& layout, const QString& keyField, const QString& path);

    // Reads the file; false when it could not be read as XML (noted in the check).
    bool read();

    void startElement(int depth, QByteArrayView name) override;
    void endElement(int depth) override;
    void text(QByteArrayView text) override;

private:
    void checkRoot();
    void endField(int level);
    void endRecord();
    void noteInRecord(const QString& text);
    QString pathText(int level) const;
    void reportOtherElements();

    ImportFileCheck& m_check;
    const ImportFileCheck::Item& m_item;
    const RecordLayout& m_layout;
    const QString& m_path;
    XmlEventReader m_reader;
    QByteArray m_roottag;
    QList<QByteArray> m_keySteps;

    bool m_inRecord = false;
    // Below the record: the open elements' names (level 0 is a child of the record) and
    // whether each has element children.
    QList<QByteArray> m_names;
    QList<bool> m_hasChildren;
    int m_level = -1;
    QByteArray m_text;

    QByteArray m_key;
    bool m_keyFound = false;
    bool m_keyDirect = false;
    QStringList m_recordFindings;
    QHash<QByteArray, int> m_keyPositions;
    // Root children that are not records, by name, with how many there are.
    QMap<QString, int> m_otherElements;
};

} // namespace kvx

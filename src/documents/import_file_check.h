#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace kvx {

class AppFolder;

// One thing the dry run found: the record's position in the file (from 1) with its key, or
// position 0 for the document as a whole, and what is wrong.
struct ImportCheckFinding {
    int position = 0;
    QString key;
    QString text;
};

// The dry run of an import: an interface document file checked against its exchange item
// before anything is sent, in one pass over the file that builds no tree. The root must be an
// interface document of the item (`ztinterface`, the item's roottag) holding only the item's
// records; every field of a record must be a field of the item's structure file, numbers and
// dates must read as its types say, and the key field must be present and unique within the
// file. A document the parser refuses (an entity declared, an external subset named) or
// cannot read is a finding too, and ends the check.
class ImportFileCheck {
public:
    // More findings are counted but not listed.
    static constexpr int kListedFindings = 1000;

    struct Item {
        QString label;
        QString interfaceName;
    };

    // Checks the file against the item's structure file and key field in the application
    // folder. Without a structure file (or one without fields) the fields are not checked,
    // and a finding says so. Findings of the document made elsewhere (the operation chosen
    // for it) come first.
    static ImportFileCheck checkFile(const AppFolder& folder, const QString& path, const Item& item,
                                     const QStringList& earlierFindings = {});

    // False when the file could not be read as XML, or was refused.
    bool isReadable() const { return m_readable; }
    int recordCount() const { return m_records; }
    int findingCount() const { return m_findingCount; }
    const QList<ImportCheckFinding>& findings() const { return m_findings; }

    // As the run report writes an item: the label with the file, a line per finding, then
    // how many records were checked and what was found; CRLF line ends, an empty line last.
    QString report(const QString& label, const QString& path) const;

private:
    friend class ImportCheckReader;
    void add(int position, const QString& key, const QString& text);

    bool m_readable = false;
    int m_records = 0;
    int m_findingCount = 0;
    QList<ImportCheckFinding> m_findings;
};

} // namespace kvx

#include "documents/import_file_check.h"

#include "conditions/item_structure.h"
#include "documents/failed_records.h"
#include "documents/import_check_reader.h"
#include "documents/record_layout.h"
#include "platform/app_folder.h"
#include "platform/shared_texts.h"

namespace kvx {

namespace {

const QString kCrLf = SharedText::reportLineEnd();

} // namespace

ImportFileCheck ImportFileCheck::checkFile(const AppFolder& folder, const QString& path,
                                           const Item& item, const QStringList& earlierFindings) {
    const ItemStructure structure = ItemStructure::load(folder, item.interfaceName);
    QString keyField = structure.keyField();
    if (keyField.isEmpty())
        keyField = FailedRecords::defaultKeyField();
    ImportFileCheck check;
    for (const QString& text : earlierFindings)
        check.add(0, {}, text);
    const RecordLayout layout = RecordLayout::of(structure);
    if (layout.isEmpty())
        check.add(0, {},
                  QStringLiteral("项目结构文件%1不存在或其中没有字段，未检查记录的字段")
                      .arg(folder.displayPath(ItemStructure::relativePath(item.interfaceName))));
    ImportCheckReader reader(check, item, layout, keyField, path);
    check.m_readable = reader.read();
    return check;
}

void ImportFileCheck::add(int position, const QString& key, const QString& text) {
    ++m_findingCount;
    if (m_findings.size() < kListedFindings)
        m_findings.append({position, key, text});
}

QString ImportFileCheck::report(const QString& label, const QString& path) const {
    QString text = label + QStringLiteral("：") + AppFolder::toNative(path) + kCrLf;
    for (const ImportCheckFinding& finding : m_findings) {
        if (finding.position > 0) {
            text += QStringLiteral("第 %1 条记录").arg(finding.position);
            if (!finding.key.isEmpty())
                text += QStringLiteral("【关键字=") + finding.key + QStringLiteral("】");
            else
                text += QStringLiteral("：");
        }
        text += finding.text + kCrLf;
    }
    if (m_findingCount > m_findings.size())
        text += QStringLiteral("另有 %1 处问题未列出。").arg(m_findingCount - m_findings.size()) +
                kCrLf;
    if (!m_readable)
        text += QStringLiteral("文件无法读取，检查未完成。");
    else if (m_findingCount == 0)
        text += QStringLiteral("检查了 %1 条记录，未发现问题。").arg(m_records);
    else
        text +=
            QStringLiteral("检查了 %1 条记录，发现 %2 处问题。").arg(m_records).arg(m_findingCount);
    return text + kCrLf + kCrLf;
}

} // namespace kvx

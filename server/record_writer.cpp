#include "server/record_writer.h"

#include "server/record_check.h"
#include "server/record_table.h"

namespace kvx {

namespace {

RecordOutcome failure(const QString& description) {
    return {false, description, 0};
}

QString storeFailure(const QString& error) {
    return QStringLiteral("保存失败：%1").arg(error);
}

} // namespace

RecordOutcome RecordWriter::write(const XmlElement& record, const QString& roottag,
                                  const QString& key, const ImportMode& mode) {
    QString error;
    // Adding a new record, by far the most common case, takes one statement; anything else
    // (an existing key, a bad value) goes the long way below.
    if (mode.action == ImportMode::Action::Add &&
        recordProblem(record, roottag, mode.allowUnbalanced).isEmpty()) {
        const qint64 id = m_records.insertIfNew(roottag, key, record.toXmlUtf8(), &error);
        if (id < 0)
            return failure(storeFailure(error));
        if (id > 0)
            return {true, QStringLiteral("已添加"), id};
    }
    const auto existing = m_records.find(roottag, key, &error);
    if (!error.isEmpty())
        return failure(storeFailure(error));
    const QString missing = QStringLiteral("关键字“%1”不存在！").arg(key);

    switch (mode.action) {
    case ImportMode::Action::Delete:
        return existing ? remove(existing->id) : failure(missing);
    case ImportMode::Action::Edit:
        return existing ? replace(existing->id, record, roottag, mode, QStringLiteral("已修改"))
                        : failure(missing);
    case ImportMode::Action::AddOrEdit:
        return existing ? replace(existing->id, record, roottag, mode, QStringLiteral("已修改"))
                        : insert(record, roottag, key, mode);
    case ImportMode::Action::Add:
        if (!existing)
            return insert(record, roottag, key, mode);
        if (mode.updateExisting)
            return replace(existing->id, record, roottag, mode, QStringLiteral("已存在，已更新"));
        if (mode.skipExisting)
            return {true, QStringLiteral("已存在，已跳过"), existing->id};
        return failure(QStringLiteral("关键字“%1”已存在！").arg(key));
    case ImportMode::Action::Unsupported:
        break;
    }
    return failure(QStringLiteral("不支持的导入操作“%1”！").arg(mode.proc));
}

RecordOutcome RecordWriter::insert(const XmlElement& record, const QString& roottag,
                                   const QString& key, const ImportMode& mode) {
    const QString problem = recordProblem(record, roottag, mode.allowUnbalanced);
    if (!problem.isEmpty())
        return failure(problem);
    QString error;
    const qint64 id = m_records.insert(roottag, key, record.toXmlUtf8(), &error);
    if (id == 0)
        return failure(storeFailure(error));
    return {true, QStringLiteral("已添加"), id};
}

RecordOutcome RecordWriter::replace(qint64 id, const XmlElement& record, const QString& roottag,
                                    const ImportMode& mode, const QString& done) {
    const QString problem = recordProblem(record, roottag, mode.allowUnbalanced);
    if (!problem.isEmpty())
        return failure(problem);
    QString error;
    if (!m_records.update(id, record.toXmlUtf8(), &error))
        return failure(storeFailure(error));
    return {true, done, id};
}

RecordOutcome RecordWriter::remove(qint64 id) {
    QString error;
    if (!m_records.remove(id, &error))
        return failure(storeFailure(error));
    return {true, QStringLiteral("已删除"), id};
}

} // namespace kvx

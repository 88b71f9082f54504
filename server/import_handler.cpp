#include "server/import_handler.h"

#include "platform/xml/xml_child_stream.h"
#include "platform/xml/xml_document.h"
#include "platform/xml/xml_outline.h"
#include "server/access_registry.h"
#include "server/code_map.h"
#include "server/record_fields.h"
#include "server/record_table.h"
#include "server/record_writer.h"
#include "server/store_database.h"
#include "server/store_transaction.h"

#include <QThread>

namespace kvx {

namespace {

const QString kSucceed = QStringLiteral("succeed");
const QString kDsc = QStringLiteral("dsc");

bool isYes(const QString& flag) {
    return flag.trimmed().compare(QLatin1String("y"), Qt::CaseInsensitive) == 0;
}

void setIfPresent(XmlElement& item, const QString& name, const QString& value) {
    if (!value.isEmpty())
        item.setAttribute(name, value);
}

// What the ERP says about an imported voucher: its type and number from the document,
// its own number and its accounting period.
void describeVoucher(XmlElement& item, const XmlElement& voucher, qint64 erpNumber) {
    setIfPresent(item, QStringLiteral("voucher_type"),
                 recordFieldText(voucher, QStringLiteral("header/voucher_type")));
    setIfPresent(item, QStringLiteral("voucher_id"),
                 recordFieldText(voucher, QStringLiteral("header/voucher_id")));
    if (erpNumber > 0)
        item.setAttribute(QStringLiteral("m6voucher_id"), QString::number(erpNumber));
    const QString year = recordFieldText(voucher, QStringLiteral("header/fiscal_year"));
    const QString period = recordFieldText(voucher, QStringLiteral("header/accounting_period"));
    if (!year.isEmpty() && !period.isEmpty())
        item.setAttribute(QStringLiteral("m6accounting_period"),
                          year + period.rightJustified(2, QLatin1Char('0')));
}

XmlElement appendItem(XmlDocument& result, bool succeeded, const QString& key,
                      const QString& description) {
    XmlElement item = result.root().appendChild(QStringLiteral("item"));
    item.setAttribute(kSucceed, succeeded ? QStringLiteral("0") : QStringLiteral("1"));
    item.setAttribute(QStringLiteral("key"), key);
    item.setAttribute(kDsc, description);
    return item;
}

} // namespace

QString ImportHandler::refusalOf(const XmlElement& root, const ImportMode& mode) const {
    const XmlElement opinfo = root.firstChildElement(QStringLiteral("opinfo"));
    const QString operatorName = opinfo.attribute(QStringLiteral("operator")).trimmed();
    const AccessCheck access = m_access.check(operatorName, opinfo.attribute(QStringLiteral("pwd")),
                                              root.attribute(QStringLiteral("sender")));
    if (!access.granted)
        return access.reason;
    if (!access.hasRight(RightKey::Execute))
        return QStringLiteral("用户“%1”没有执行导入导出的权限！").arg(operatorName);
    if (mode.action == ImportMode::Action::Unsupported)
        return QStringLiteral("不支持的导入操作“%1”！").arg(mode.proc);
    return {};
}

ExchangeReply ImportHandler::handle(const QByteArray& body, const XmlOutline& outline,
                                    RequestSummary summary) {
    const XmlElement root = outline.head.root();
    const ImportMode mode = ImportMode::fromDocument(root);
    XmlDocument result = XmlDocument::create(QStringLiteral("result"));
    result.root().setAttribute(QStringLiteral("roottag"), summary.roottag);
    result.root().setAttribute(QStringLiteral("docid"), root.attribute(QStringLiteral("docid")));
    result.root().setAttribute(QStringLiteral("proc"), mode.proc);

    const QString keyPath = m_records.keyPath(summary.roottag);
    QString refusal = refusalOf(root, mode);
    const bool hasRecords = outline.rootChildCounts.contains(summary.roottag);
    if (refusal.isEmpty() && !hasRecords)
        refusal = QStringLiteral("文档中没有%1记录！").arg(summary.roottag);
    if (refusal.isEmpty())
        return store(result, body, root, mode, keyPath, summary);

    // A refused document stores nothing; each of its records says why.
    XmlChildStream::read(body, [&](const XmlElement& record) {
        if (record.name() == summary.roottag) {
            appendItem(result, false, recordFieldText(record, keyPath), refusal);
            ++summary.records;
        }
        return true;
    });
    if (summary.records == 0)
        appendItem(result, false, QString(), refusal);
    summary.outcome = refusal;
    return ExchangeReply::xml(result, summary);
}

ExchangeReply ImportHandler::store(XmlDocument& result, const QByteArray& body,
                                   const XmlElement& root, const ImportMode& mode,
                                   const QString& keyPath, RequestSummary summary) {
    const QString& roottag = summary.roottag;
    StoreTransaction transaction(m_database);
    if (!transaction.isActive())
        return ExchangeReply::text(
            503, QStringLiteral("数据库忙，请稍后再试：%1").arg(transaction.error()), summary);
    CodeTranslation toErp;
    if (isYes(root.attribute(QStringLiteral("codeexchanged")))) {
        QString error;
        const auto loaded = m_codes.load(summary.sender, CodeMap::Direction::ToErp, &error);
        if (!loaded)
            return ExchangeReply::text(500, QStringLiteral("读取编码映射失败：%1").arg(error),
                                       summary);
        toErp = *loaded;
    }

    RecordWriter writer(m_records);
    int failed = 0;
    QString error;
    const bool read = XmlChildStream::read(
        body,
        [&](const XmlElement& record) {
            if (record.name() != roottag)
                return true;
            ++summary.records;
            const QString key = recordFieldText(record, keyPath);
            RecordOutcome outcome;
            QString erpKey;
            if (key.isEmpty()) {
                outcome.description = QStringLiteral("缺少关键字（%1）！").arg(keyPath);
            } else {
                toErp.applyTo(record, roottag, keyPath);
                erpKey = toErp.isEmpty() ? key : recordFieldText(record, keyPath);
                if (!transaction.beginRecord()) {
                    outcome.description = QStringLiteral("保存失败：%1").arg(transaction.error());
                } else {
                    outcome = writer.write(record, roottag, erpKey, mode);
                    if (outcome.succeeded)
                        transaction.releaseRecord();
                    else
                        transaction.rollbackRecord();
                }
            }
            if (outcome.succeeded && erpKey != key)
                outcome.description += QStringLiteral("（ERP编码%1）").arg(erpKey);
            XmlElement item = appendItem(result, outcome.succeeded, key, outcome.description);
            if (roottag == QLatin1String("voucher"))
                describeVoucher(item, record, outcome.succeeded ? outcome.erpNumber : 0);
            failed += outcome.succeeded ? 0 : 1;
            return true;
        },
        &error);
    // The outline read the same bytes: only running out of memory ends the reading early.
    if (!read)
        return ExchangeReply::text(500, QStringLiteral("读取文档失败，文档未导入：%1").arg(error),
                                   summary);

    if (m_commitDelayMs > 0) {
        qInfo("holding the import transaction open for %d ms", m_commitDelayMs);
        QThread::msleep(static_cast<unsigned long>(m_commitDelayMs));
    }
    // The store's administrator learns from the log which file could not be written.
    if (!transaction.commit())
        return ExchangeReply::text(
            500,
            QStringLiteral("保存失败，文档未导入：数据库文件%1无法写入（%2）")
                .arg(m_database.fileName(), transaction.error()),
            summary);
    summary.outcome = failed == 0
                          ? QStringLiteral("ok")
                          : QStringLiteral("%1 of %2 failed").arg(failed).arg(summary.records);
    return ExchangeReply::xml(result, summary);
}

} // namespace kvx

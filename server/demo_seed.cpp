#include "server/demo_seed.h"

#include "platform/password_encryptor.h"
#include "platform/xml/xml_document.h"
#include "server/access_registry.h"
#include "server/code_map.h"
#include "server/record_fields.h"
#include "server/record_table.h"
#include "server/store_transaction.h"

namespace kvx {

namespace {

const QString kSeedResource = QStringLiteral(":/server/demo_seed.xml");

bool seedOperatorsAndSenders(const XmlElement& seed, AccessRegistry& access, QString* error) {
    const PasswordEncryptor encryptor;
    for (const XmlElement& op : seed.select(QStringLiteral("operator"))) {
        const QStringList rights =
            op.attribute(QStringLiteral("rights")).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (!access.addOperator(op.attribute(QStringLiteral("name")),
                                encryptor.ascPwd(op.attribute(QStringLiteral("password"))), rights,
                                error))
            return false;
    }
    for (const XmlElement& sender : seed.select(QStringLiteral("sender"))) {
        if (!access.addSender(
                sender.attribute(QStringLiteral("code")), sender.attribute(QStringLiteral("name")),
                sender.attribute(QStringLiteral("disabled")) == QLatin1String("1"), error))
            return false;
    }
    return true;
}

bool seedCodePairs(const XmlElement& seed, CodeMap& codes, QString* error) {
    for (const XmlElement& pair : seed.select(QStringLiteral("codemap"))) {
        if (!codes.add(pair.attribute(QStringLiteral("roottag")),
                       pair.attribute(QStringLiteral("sender")),
                       pair.attribute(QStringLiteral("external")),
                       pair.attribute(QStringLiteral("erp")), error))
            return false;
    }
    return true;
}

bool seedRecords(const XmlElement& seed, RecordTable& records, const QDate& today, QString* error) {
    const QString todayText = today.toString(QStringLiteral("yyyy-MM-dd"));
    for (const XmlElement& group : seed.select(QStringLiteral("records"))) {
        const QString roottag = group.attribute(QStringLiteral("roottag"));
        const QString keyPath = records.keyPath(roottag);
        for (const XmlElement& record : group.childElements()) {
            const QString key = recordFieldText(record, keyPath);
            QString xml = record.toXml();
            xml.replace(QLatin1String("{today}"), todayText);
            if (key.isEmpty() || records.insert(roottag, key, xml.toUtf8(), error) == 0) {
                if (error && key.isEmpty())
                    *error = QStringLiteral("demo record of %1 without key").arg(roottag);
                return false;
            }
        }
    }
    return true;
}

} // namespace

bool seedDemoData(StoreDatabase& database, const QDate& today, QString* error) {
    QString parseError;
    const XmlDocument seed = XmlDocument::fromFile(kSeedResource, &parseError);
    if (seed.isNull()) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(kSeedResource, parseError);
        return false;
    }
    StoreTransaction transaction(database);
    if (!transaction.isActive()) {
        if (error)
            *error = transaction.error();
        return false;
    }
    AccessRegistry access(database);
    CodeMap codes(database);
    RecordTable records(database);
    const XmlElement root = seed.root();
    if (!seedOperatorsAndSenders(root, access, error) || !seedCodePairs(root, codes, error) ||
        !seedRecords(root, records, today, error))
        return false;
    if (!transaction.commit()) {
        if (error)
            *error = transaction.error();
        return false;
    }
    return true;
}

} // namespace kvx

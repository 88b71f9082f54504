#include "documents/result_report.h"

namespace kvx {

namespace {

struct BracketedKey {
    QString attribute;
    QString label;
};

// The keys of a result line, in the order they are written.
const QList<BracketedKey>& bracketedKeys() {
    static const QList<BracketedKey> keys = {
        {QStringLiteral("key"), QStringLiteral("【关键字=")},
        {QStringLiteral("voucher_type"), QStringLiteral("【凭证类别=")},
        {QStringLiteral("voucher_id"), QStringLiteral("【凭证号=")},
        {QStringLiteral("row_id"), QStringLiteral("【分录号=")},
        {QStringLiteral("m6voucher_id"), QStringLiteral("【M6凭证号=")},
        {QStringLiteral("m6accounting_period"), QStringLiteral("【凭证期间=")},
    };
    return keys;
}

void appendLine(QString& text, const XmlElement& item) {
    text += item.attribute(QStringLiteral("succeed")) == QLatin1String("0")
                ? QStringLiteral("导入、导出成功！")
                : QStringLiteral("导入导出失败！");
    for (const BracketedKey& key : bracketedKeys()) {
        const QString value = item.attribute(key.attribute);
        if (!value.isEmpty())
            text += key.label + value + QStringLiteral("】");
    }
    text += item.attribute(QStringLiteral("dsc"));
    text += QStringLiteral("\r\n");
}

} // namespace

QString AppendResultReport(const XmlDocument& resultDocument, const QString& title,
                           const QString& report) {
    const QList<XmlElement> items = resultDocument.select(QStringLiteral("//item"));
    // A typical line is well under 64 characters; reserving up front keeps a result of
    // many thousand records from being copied over and over.
    QString text;
    text.reserve(report.size() + title.size() + 4 + items.size() * 64);
    text += report;
    text += title;
    text += QStringLiteral("\r\n");
    for (const XmlElement& item : items)
        appendLine(text, item);
    text += QStringLiteral("\r\n");
    return text;
}

ResultCounts countResults(const XmlDocument& resultDocument) {
    ResultCounts counts;
    for (const XmlElement& item : resultDocument.select(QStringLiteral("//item"))) {
        if (item.attribute(QStringLiteral("succeed")) == QLatin1String("0"))
            ++counts.succeeded;
        else
            ++counts.failed;
    }
    return counts;
}

} // namespace kvx

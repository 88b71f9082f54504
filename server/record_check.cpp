#include "server/record_check.h"

#include "server/record_fields.h"

#include <QDate>
#include <cmath>

namespace kvx {

namespace {

QString dateProblem(const XmlElement& element) {
    for (const XmlElement& child : element.childElements()) {
        if (child.hasChildElements()) {
            const QString problem = dateProblem(child);
            if (!problem.isEmpty())
                return problem;
            continue;
        }
        if (!child.name().endsWith(QLatin1String("date"), Qt::CaseInsensitive))
            continue;
        const QString text = child.text().trimmed();
        if (!text.isEmpty() && !QDate::fromString(text, QStringLiteral("yyyy-MM-dd")).isValid())
            return QStringLiteral("字段%1的日期“%2”无效，应为yyyy-mm-dd！").arg(child.name(), text);
    }
    return {};
}

// Amounts in cents, so that sums of two-decimal values compare exactly.
bool addAmount(const XmlElement& entry, const QString& name, qint64& sum, QString* problem) {
    const QString text = recordFieldText(entry, name);
    if (text.isEmpty())
        return true;
    // Beyond 1e15 cents would no longer be exact (and could overflow the sum).
    if (!isDecimalNumber(text) || std::abs(text.toDouble()) >= 1e13) {
        *problem = QStringLiteral("凭证分录的%1金额“%2”无效！").arg(name, text);
        return false;
    }
    sum += qRound64(text.toDouble() * 100);
    return true;
}

QString voucherProblem(const XmlElement& voucher, bool allowUnbalanced) {
    const XmlElement body = voucher.firstChildElement(QStringLiteral("body"));
    const QList<XmlElement> entries =
        body.isNull() ? QList<XmlElement>() : body.select(QStringLiteral("entry"));
    if (entries.isEmpty())
        return QStringLiteral("凭证没有分录！");
    qint64 debit = 0;
    qint64 credit = 0;
    QString problem;
    for (const XmlElement& entry : entries) {
        if (!addAmount(entry, QStringLiteral("debit"), debit, &problem) ||
            !addAmount(entry, QStringLiteral("credit"), credit, &problem))
            return problem;
    }
    if (debit != credit && !allowUnbalanced)
        return QStringLiteral("凭证借贷不平衡（借方%1，贷方%2）！")
            .arg(QString::number(debit / 100.0, 'f', 2), QString::number(credit / 100.0, 'f', 2));
    return {};
}

} // namespace

QString recordProblem(const XmlElement& record, const QString& roottag, bool allowUnbalanced) {
    const QString problem = dateProblem(record);
    if (!problem.isEmpty())
        return problem;
    if (roottag == QLatin1String("voucher"))
        return voucherProblem(record, allowUnbalanced);
    return {};
}

} // namespace kvx

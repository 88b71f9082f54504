#include "server/record_check.h"

#include "server/record_fields.h"

#include <QDate>
#include <cmath>

namespace kvx {

namespace {

// yyyy-mm-dd naming a real day. (QDate::fromString with a format is slow enough to show in
// an import of many thousand records.)
bool isDate(const QString& text) {
    if (text.size() != 10 || text[4] != u'-' || text[7] != u'-')
        return false;
    auto number = [&text](int from, int length) {
        int value = 0;
        for (int i = from; i < from + length; ++i) {
            if (text[i] < u'0' || text[i] > u'9')
                return -1;
            value = value * 10 + (text[i].unicode() - u'0');
        }
        return value;
    };
    const int year = number(0, 4);
    return year >= 0 && QDate(year, number(5, 2), number(8, 2)).isValid();
}

QString dateProblem(const XmlElement& element) {
    for (XmlElement child = element.firstChildElement(); child;
         child = child.nextSiblingElement()) {
        if (child.hasChildElements()) {
            const QString problem = dateProblem(child);
            if (!problem.isEmpty())
                return problem;
            continue;
        }
        if (!child.name().endsWith(QLatin1String("date"), Qt::CaseInsensitive))
            continue;
        const QString text = child.text().trimmed();
        if (!text.isEmpty() && !isDate(text))
            return QStringLiteral("字段%1的日期“%2”无效，应为yyyy-mm-dd！").arg(child.name(), text);
    }
    return {};
}

// Amounts in cents, so that sums of two-decimal values compare exactly. The store keeps an
// amount, and a voucher's totals, to 13 digits before the point and 2 after; within that
// range a double holds every cent exactly and no sum can overflow.
constexpr qint64 kMaxCents = 999'999'999'999'999;

QString cents(qint64 value) {
    return QString::number(value / 100) + QLatin1Char('.') +
           QString::number(std::abs(value % 100)).rightJustified(2, QLatin1Char('0'));
}

bool addAmount(const XmlElement& entry, const QString& name, qint64& sum, QString* problem) {
    const QString text = recordFieldText(entry, name);
    if (text.isEmpty())
        return true;
    const double value = text.toDouble() * 100;
    if (!isDecimalNumber(text) || std::abs(value) > double(kMaxCents)) {
        *problem = QStringLiteral("凭证分录的%1金额“%2”无效！").arg(name, text);
        return false;
    }
    // Both within the range, so the sum cannot overflow before it is checked.
    sum += qRound64(value);
    if (std::abs(sum) > kMaxCents) {
        *problem = QStringLiteral("凭证%1合计超出可保存的范围（最大%2）！")
                       .arg(name == QLatin1String("debit") ? QStringLiteral("借方")
                                                           : QStringLiteral("贷方"),
                            cents(kMaxCents));
        return false;
    }
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
            .arg(cents(debit), cents(credit));
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

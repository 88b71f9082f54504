#include "documents/result_report.h"

#include "platform/shared_texts.h"
#include "platform/xml/xml_attribute_scan.h"
#include "platform/xml/xml_text.h"

namespace kvx {

namespace {

// The attributes a result line is made of: first `succeed`, last `dsc`, between them the keys
// in the order they are written.
const QList<QByteArray> kAttributes = {
    "succeed", "key",          "voucher_type",        "voucher_id",
    "row_id",  "m6voucher_id", "m6accounting_period", "dsc"};
constexpr qsizetype kDsc = 7;

const QString kCrLf = SharedText::reportLineEnd();

const QString& keyLabel(qsizetype key) {
    static const QString labels[] = {QStringLiteral("【关键字="),   QStringLiteral("【凭证类别="),
                                     QStringLiteral("【凭证号="),   QStringLiteral("【分录号="),
                                     QStringLiteral("【M6凭证号="), QStringLiteral("【凭证期间=")};
    return labels[key - 1];
}

// Writes the report's lines from the values as the document holds them (UTF-8) straight into
// the text, which grows in large steps: keys are mostly plain ASCII and the descriptions of
// many records alike, so that a result of a hundred thousand records reads in about the time of
// parsing it.
class LineWriter {
public:
    explicit LineWriter(QString start)
        : m_text(std::move(start))
        , m_size(m_text.size()) {}

    void line(const QList<QByteArrayView>& values) {
        static const QString succeeded = QStringLiteral("导入、导出成功！");
        static const QString failed = QStringLiteral("导入导出失败！");
        static const QString closing = QStringLiteral("】");
        // UTF-8 never takes fewer bytes than UTF-16 takes characters.
        qsizetype longest = failed.size() + kCrLf.size();
        for (qsizetype key = 1; key <= kDsc; ++key)
            longest += values[key].size() + 8;
        reserve(longest);
        put(values[0] == "0" ? succeeded : failed);
        for (qsizetype key = 1; key < kDsc; ++key) {
            if (values[key].isEmpty())
                continue;
            put(keyLabel(key));
            put(values[key], key);
            put(closing);
        }
        put(values[kDsc], kDsc);
        put(kCrLf);
    }

    // The text with the blank line that closes a report: added in place, since a copy of a
    // hundred thousand lines would touch as much memory again.
    QString take() {
        reserve(kCrLf.size());
        put(kCrLf);
        m_text.resize(m_size);
        return std::move(m_text);
    }

private:
    void reserve(qsizetype more) {
        if (m_size + more > m_text.size())
            m_text.resize(std::max(m_text.size() * 2, m_size + more + 4096));
        m_at = m_text.data() + m_size;
    }

    void put(const QString& text) {
        std::copy(text.constBegin(), text.constEnd(), m_at);
        m_at += text.size();
        m_size += text.size();
    }

    // The value of the attribute in that place of kAttributes.
    void put(QByteArrayView utf8, qsizetype attribute) {
        QChar* const start = m_at;
        for (const char c : utf8) {
            if (static_cast<unsigned char>(c) >= 0x80) {
                m_at = start;
                putDecoded(utf8, m_last[attribute]);
                return;
            }
            *m_at++ = QLatin1Char(c);
        }
        m_size += utf8.size();
    }

    // Decoded once for a run of equal values.
    struct Decoded {
        QByteArray utf8;
        QString text;
    };
    void putDecoded(QByteArrayView utf8, Decoded& last) {
        if (utf8 != last.utf8) {
            last.utf8 = utf8.toByteArray();
            last.text = xmlText(utf8);
        }
        put(last.text);
    }

    QString m_text;
    qsizetype m_size;
    QChar* m_at = nullptr;
    Decoded m_last[kDsc + 1];
};

} // namespace

QString AppendResultReport(const XmlDocument& resultDocument, const QString& title,
                           const QString& report) {
    LineWriter writer(report + title + kCrLf);
    XmlAttributeScan(kAttributes)
        .run(resultDocument, "item",
             [&writer](const QList<QByteArrayView>& values) { writer.line(values); });
    return writer.take();
}

ResultCounts countResults(const XmlDocument& resultDocument) {
    ResultCounts counts;
    XmlAttributeScan({"succeed"})
        .run(resultDocument, "item", [&counts](const QList<QByteArrayView>& values) {
            if (values[0] == "0")
                ++counts.succeeded;
            else
                ++counts.failed;
        });
    return counts;
}

} // namespace kvx

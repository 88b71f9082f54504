#include "conditions/condition_vocabulary.h"

#include <array>
#include <utility>

namespace kvx {

namespace {

struct Word {
    const char16_t* label;
    const char16_t* stored;
};

constexpr std::array<Word, 6> kOperators{{{u"等于", u"="},
                                          {u"大于", u">"},
                                          {u"小于", u"<"},
                                          {u"不等于", u"<>"},
                                          {u"大于等于", u">="},
                                          {u"小于等于", u"<="}}};

const QString kEqual = QStringLiteral("等于");
const QString kOr = QStringLiteral("或者");
const QString kAnd = QStringLiteral("并且");
// A field of this name is only ever compared for equality.
const QString kForecastDate = QStringLiteral("展望到日期");

} // namespace

QString OperatorToSymbol(const QString& label) {
    for (const Word& word : kOperators) {
        if (label == QStringView(word.label))
            return QString::fromUtf16(word.stored);
    }
    return {};
}

QString SymbolToOperator(const QString& symbol) {
    for (const Word& word : kOperators) {
        if (symbol == QStringView(word.stored))
            return QString::fromUtf16(word.label);
    }
    return {};
}

QString ConnectiveToCode(const QString& label) {
    return label == kOr ? QStringLiteral("or") : QStringLiteral("and");
}

QString CodeToConnective(const QString& code) {
    if (code == QLatin1String("or"))
        return kOr;
    if (code == QLatin1String("and"))
        return kAnd;
    return {};
}

QStringList initialOperators() {
    return {QStringLiteral("大于"),     QStringLiteral("小于"),     kEqual,
            QStringLiteral("大于等于"), QStringLiteral("小于等于"), QStringLiteral("不等于")};
}

QStringList connectiveLabels() {
    return {kAnd, kOr};
}

QStringList OperatorsForField(const QString& display, const QString& type,
                              const QStringList& current) {
    QStringList offered = current;
    if (type != FieldType::boolean()) {
        offered = {QStringLiteral("大于"),
                   QStringLiteral("大于等于"),
                   QStringLiteral("小于"),
                   QStringLiteral("小于等于"),
                   kEqual,
                   QStringLiteral("不等于")};
    } else if (offered.size() > 2) {
        offered = {kEqual};
    }
    if (display == kForecastDate)
        offered = {kEqual};
    return offered;
}

bool txtValue_KeyPress(QChar typed) {
    static const QString forbidden = QStringLiteral("'<>:;,?!@#$%^&*()|\\\"");
    return !forbidden.contains(typed);
}

bool cmbCode_KeyPress(QChar typed) {
    static const QString allowed =
        QStringLiteral("1234567890abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ");
    // Editing and navigation keys as the keyboard delivers them, and the hyphen.
    constexpr std::array<char16_t, 12> kept{1, 2, 4, 8, 9, 13, 16, 17, 20, 27, 45, 144};
    return allowed.contains(typed) ||
           std::find(kept.begin(), kept.end(), typed.unicode()) != kept.end();
}

} // namespace kvx

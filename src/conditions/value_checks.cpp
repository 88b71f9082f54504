#include "conditions/value_checks.h"

#include "conditions/condition_vocabulary.h"

#include <QRegularExpression>

namespace kvx {

namespace {

const QString kToday = QStringLiteral("TODAY");

QDate readWithFormat(const QString& text, const QString& format, const QLocale& locale) {
    // Qt reads a two-digit year as 19yy; the window most systems use is 1930 to 2029.
    const bool twoDigitYear = !format.contains(QLatin1String("yyyy"));
    QDate date = locale.toDate(text, format);
    if (date.isValid() && twoDigitYear && date.year() < 1930)
        date = date.addYears(100);
    return date;
}

ValueCheck checkDate(const QString& text, const QLocale& locale) {
    if (text.toUpper() == kToday)
        return {true, text, {}};
    const QDate date = readConditionDate(text, locale);
    if (!date.isValid())
        return {false, text, QStringLiteral("输入的内容不是有效日期！")};
    const QString rewritten = date.toString(QStringLiteral("yyyy-MM-dd"));
    if (date.year() < 1900)
        return {false, rewritten, QStringLiteral("输入的日期年份应大于等于1900")};
    if (date.year() > 2100)
        return {false, rewritten, QStringLiteral("输入的日期年份应小于2100！")};
    return {true, rewritten, {}};
}

// The checks of both kinds once the empty text has been dealt with.
ValueCheck checkByType(const QString& type, const QString& text, const QLocale& locale) {
    if (type == FieldType::decimal()) {
        if (isConditionNumber(text))
            return {true, text, {}};
        return {false, text, QStringLiteral("输入的不是有效的数字！")};
    }
    if (type == FieldType::integer()) {
        if (isConditionNumber(text) && !text.contains(QLatin1Char('.')))
            return {true, text, {}};
        return {false, text, QStringLiteral("输入的不是有效的整数！")};
    }
    if (type == FieldType::date())
        return checkDate(text, locale);
    if (type == FieldType::boolean()) {
        const QString trimmed = text.trimmed();
        if (trimmed == QLatin1String("1") || trimmed == QLatin1String("0"))
            return {true, text, {}};
        return {false, text, QStringLiteral("逻辑值请输入1或0")};
    }
    return {true, text, {}};
}

} // namespace

bool isConditionNumber(const QString& text) {
    static const QRegularExpression number(QStringLiteral(R"(^\s*[+-]?(\d+\.?\d*|\.\d+)\s*$)"));
    return number.match(text).hasMatch();
}

QDate readConditionDate(const QString& text, const QLocale& locale) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return {};
    for (const char* format : {"yyyy-M-d", "yyyy/M/d", "yyyy.M.d"}) {
        const QDate date = QDate::fromString(trimmed, QLatin1String(format));
        if (date.isValid())
            return date;
    }
    const QString shortFormat = locale.dateFormat(QLocale::ShortFormat);
    QString fourDigitYear = shortFormat;
    if (!shortFormat.contains(QLatin1String("yyyy")))
        fourDigitYear.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    // The two-digit form first: the four-digit one would read "26" as the year 26.
    for (const QString& format : {shortFormat, fourDigitYear}) {
        const QDate date = readWithFormat(trimmed, format, locale);
        if (date.isValid())
            return date;
    }
    return {};
}

ValueCheck txtValue_Validate(const QString& type, const QString& text, const QLocale& locale) {
    if (text.isEmpty()) {
        if (type == FieldType::date())
            return {true, QStringLiteral("Today"), {}};
        if (type == FieldType::decimal() || type == FieldType::integer() ||
            type == FieldType::boolean())
            return {true, QStringLiteral("0"), {}};
    }
    return checkByType(type, text, locale);
}

ValueCheck ValidUserInput(const QString& rowType, const QString& text, const QLocale& locale) {
    if (rowType.isEmpty())
        return {false, text, {}};
    return checkByType(rowType, text, locale);
}

} // namespace kvx

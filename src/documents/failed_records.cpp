#include "documents/failed_records.h"

#include "platform/app_folder.h"
#include "platform/xml/xml_child_spans.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QList>
#include <optional>

namespace kvx {

namespace {

// Which records failed, by their position in the file; or why that is not certain.
struct Match {
    QList<bool> failed;
    QString uncertainty;
};

bool itemFailed(const XmlElement& item) {
    return item.attribute(QStringLiteral("succeed")) != QLatin1String("0");
}

// The record's key as the exchange server reads it: the field's text, trimmed; a bare field
// name that is not a child of the record is looked for in its header.
QString keyOf(const XmlElement& record, const QString& field) {
    XmlElement found = record;
    for (const QString& step : field.split(QLatin1Char('/'), Qt::SkipEmptyParts))
        found = found.firstChildElement(step);
    if (found.isNull() && !field.contains(QLatin1Char('/')))
        found = record.firstChildElement(QStringLiteral("header")).firstChildElement(field);
    return found.isNull() ? QString() : found.text().trimmed();
}

// The records' keys, each record read on its own with the file's declaration so that its
// bytes decode as in the file; nullopt when a record does not read alone (a prefix declared
// on the root, say).
std::optional<QStringList> recordKeys(const FailedRecords::Source& source,
                                      const XmlChildSpans& spans) {
    const qsizetype declarationEnd =
        source.bytes.startsWith("<?xml") || source.bytes.startsWith("\xEF\xBB\xBF<?xml")
            ? source.bytes.indexOf("?>") + 2
            : 0;
    const QByteArray declaration = source.bytes.left(declarationEnd);
    QStringList keys;
    keys.reserve(spans.children.size());
    for (const XmlChildSpans::Span& span : spans.children) {
        const XmlDocument record = XmlDocument::fromBytes(
            declaration + source.bytes.mid(span.begin, span.end - span.begin));
        if (record.isNull())
            return std::nullopt;
        keys.append(keyOf(record.root(), source.keyField));
    }
    return keys;
}

Match matchByKey(const FailedRecords::Source& source, const XmlChildSpans& spans,
                 const QList<XmlElement>& items) {
    Match match;
    const std::optional<QStringList> keys = recordKeys(source, spans);
    if (!keys) {
        match.uncertainty = QStringLiteral("文件中的记录无法单独读出关键字");
        return match;
    }
    QHash<QString, QList<int>> positions;
    for (int i = 0; i < keys->size(); ++i)
        positions[keys->at(i)].append(i);
    match.failed = QList<bool>(keys->size(), false);
    QList<bool> answered(keys->size(), false);
    for (const XmlElement& item : items) {
        const QString key = item.attribute(QStringLiteral("key")).trimmed();
        const QList<int> found = positions.value(key);
        if (key.isEmpty())
            match.uncertainty = QStringLiteral("服务器的结果中有未注明关键字的记录");
        else if (found.isEmpty())
            match.uncertainty = QStringLiteral("文件中没有关键字为“%1”的记录").arg(key);
        else if (found.size() > 1)
            match.uncertainty =
                QStringLiteral("文件中关键字为“%1”的记录有 %2 条").arg(key).arg(found.size());
        else if (answered[found.first()])
            match.uncertainty = QStringLiteral("服务器对关键字“%1”给出了不止一个结果").arg(key);
        if (!match.uncertainty.isEmpty())
            return match;
        answered[found.first()] = true;
        match.failed[found.first()] = itemFailed(item);
    }
    return match;
}

Match matchRecords(const FailedRecords::Source& source, const XmlChildSpans& spans,
                   const QList<XmlElement>& items) {
    if (items.size() != spans.children.size())
        return matchByKey(source, spans, items);
    Match match;
    for (const XmlElement& item : items)
        match.failed.append(itemFailed(item));
    return match;
}

QByteArray failedDocument(const QByteArray& bytes, const XmlChildSpans& spans,
                          const QList<bool>& failed) {
    QByteArray document(bytes.constData(), spans.rootStartEnd);
    for (int i = 0; i < spans.children.size(); ++i) {
        const XmlChildSpans::Span& span = spans.children.at(i);
        if (failed.at(i))
            document.append(bytes.constData() + span.leadingBlanks, span.end - span.leadingBlanks);
    }
    document.append(bytes.constData() + spans.rootEndLeadingBlanks,
                    bytes.size() - spans.rootEndLeadingBlanks);
    return document;
}

} // namespace

QString FailedRecords::pathFor(const QString& sourcePath) {
    const QFileInfo source(sourcePath);
    QString name = source.fileName();
    if (name.endsWith(QLatin1String(".xml"), Qt::CaseInsensitive))
        name.chop(4);
    const QString ending = QStringLiteral(".failed");
    if (name.endsWith(ending, Qt::CaseInsensitive))
        name.chop(ending.size());
    return source.dir().filePath(name + ending + QStringLiteral(".xml"));
}

FailedRecords FailedRecords::write(const Source& source, const XmlDocument& result) {
    FailedRecords outcome;
    const QList<XmlElement> items = result.select(QStringLiteral("//item"));
    for (const XmlElement& item : items)
        outcome.count += itemFailed(item) ? 1 : 0;
    if (outcome.count == 0)
        return outcome;
    outcome.outcome = Outcome::NotWritten;

    const XmlChildSpans spans = XmlChildSpans::scan(source.bytes, source.roottag.toUtf8());
    if (!spans.readableEncoding) {
        outcome.reason = QStringLiteral("文件的编码（%1）不能逐字节复制记录")
                             .arg(XmlChildSpans::declaredEncoding(source.bytes));
        return outcome;
    }
    if (!spans.found || spans.children.size() != source.recordCount) {
        outcome.reason = QStringLiteral("无法确定记录在文件中的位置");
        return outcome;
    }
    const Match match = matchRecords(source, spans, items);
    if (!match.uncertainty.isEmpty()) {
        outcome.reason =
            QStringLiteral("服务器的结果有 %1 项，文件有 %2 条记录，且%3，无法确定是哪些记录失败")
                .arg(items.size())
                .arg(spans.children.size())
                .arg(match.uncertainty);
        return outcome;
    }
    const QString path = pathFor(source.path);
    AppFolder::makeWritable(path);
    QString error;
    if (!AppFolder::writeAtomically(path, failedDocument(source.bytes, spans, match.failed),
                                    &error)) {
        outcome.reason = AppFolder::toNative(path) + QStringLiteral("无法写入：") + error;
        return outcome;
    }
    outcome.outcome = Outcome::Written;
    outcome.path = path;
    return outcome;
}

QString FailedRecords::reportLine() const {
    switch (outcome) {
    case Outcome::NoneFailed:
        break;
    case Outcome::Written:
        return QStringLiteral("失败的 %1 条记录已写入%2，修改后可再次导入该文件。")
            .arg(count)
            .arg(AppFolder::toNative(path));
    case Outcome::NotWritten:
        return QStringLiteral("失败的记录未写入文件：%1。").arg(reason);
    }
    return {};
}

} // namespace kvx

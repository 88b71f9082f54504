#include "mail/received_data_store.h"

#include "platform/database.h"
#include "platform/xml/xml_document.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

namespace kvx {

namespace {

// clang-format off
const QString kCreateTable = QStringLiteral("Create Table KVXXml (id char(10) not null,name char(30) not null ,type char(10) not null, texts memo not null) ");
// clang-format on
const QString kInsert = QStringLiteral("insert into KVXXml(id,name,type,texts) values (?,?,?,?)");
const QString kSelectRows = QStringLiteral("select * from KVXXml where type=? and id=? and name=?");
const QString kRootName = QStringLiteral("ztinterface");
const QString kAll = QStringLiteral("all");
const QString kTitle = QStringLiteral("title");
const QString kData = QStringLiteral("data");
constexpr int kWholeLimit = 64000;
constexpr int kNameLength = 30;

// What separates folders in a name from a Windows or a Linux sender.
const QRegularExpression& separators() {
    static const QRegularExpression both(QStringLiteral(R"([\\/])"));
    return both;
}

// Rows are written with one blank after the name and the text, as every sender of this
// table does (the store refuses empty texts); a reader takes the blank off again.
QString stored(const QString& value) {
    return value + QLatin1Char(' ');
}

QString unstored(QString value) {
    if (value.endsWith(QLatin1Char(' ')))
        value.chop(1);
    return value;
}

// The first 30 characters, never half a character: what a sender keeps of a name.
QString cutName(QString name) {
    if (name.size() > kNameLength)
        name.truncate(name.at(kNameLength - 1).isHighSurrogate() ? kNameLength - 1 : kNameLength);
    return name;
}

QString storedName(const QString& path) {
    return cutName(QFileInfo(path).fileName());
}

bool insertRow(Database& db, const QString& id, const QString& name, const QString& type,
               const QString& text, QString* error) {
    return db.execute(kInsert, {id, stored(name), type, stored(text)}, error);
}

// The root's children as rows that each start with "<": text between elements (indentation)
// stays with the node before it, so no row is ever taken for a number by the database and
// the rows put together give the document exactly.
QStringList splitRows(const XmlElement& root, QString* title) {
    QStringList rows;
    *title = root.openingTagXml();
    for (const QString& node : root.childNodesXml()) {
        if (node.startsWith(QLatin1Char('<')))
            rows.append(node);
        else if (rows.isEmpty())
            *title += node;
        else
            rows.last() += node;
    }
    return rows;
}

QString readRows(Database& db, const QString& type, const QString& id, const QString& name,
                 bool* found, QString* error) {
    bool ok = false;
    RecordSet rows = db.query(kSelectRows, {type, id, name}, &ok, error);
    *found = !rows.atEnd();
    QString text;
    for (; ok && !rows.atEnd(); rows.moveNext())
        text += unstored(rows.field(QStringLiteral("texts")));
    return ok ? text : QString();
}

// The document's text as the sender stored it; empty with `error` set when the table cannot
// be read.
QString assemble(Database& db, const QString& id, const QString& name, QString* error) {
    bool found = false;
    error->clear();
    const QString whole = readRows(db, kAll, id, name, &found, error);
    if (found || !error->isEmpty())
        return whole;
    QString text = readRows(db, kTitle, id, name, &found, error);
    if (error->isEmpty())
        text += readRows(db, kData, id, name, &found, error);
    return text + QStringLiteral("</ztinterface>");
}

// A name not yet used by this mail: the second "a.xml" of id 3 becomes "a.3.xml". A name
// given in place of the document's own must not overwrite a file already there either.
QString distinctName(const QString& name, const QString& id, const QDir& folder, bool own,
                     QSet<QString>& used) {
    QString candidate = name;
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString base = dot > 0 ? name.left(dot) : name;
    const QString extension = dot > 0 ? name.mid(dot) : QString();
    for (int round = 1; used.contains(candidate.toLower()) ||
                        (!own && QFileInfo::exists(folder.filePath(candidate)));
         ++round) {
        const QString suffix = round == 1 ? id : id + QLatin1Char('-') + QString::number(round);
        candidate = base + QLatin1Char('.') + suffix + extension;
        own = false;
    }
    used.insert(candidate.toLower());
    return candidate;
}

} // namespace

QString invalidDocumentMessage(const QString& path) {
    return QStringLiteral("文件不存在或文件不合法！") + QDir::toNativeSeparators(path);
}

bool HasStoreTable(const QString& databasePath) {
    Database db;
    return db.open(databasePath) && db.execute(QStringLiteral("select * from KVXXml "));
}

bool openStore(Database& db, const QString& databasePath, QString* error) {
    const bool hasTable = HasStoreTable(databasePath);
    return db.open(databasePath, error) && (hasTable || db.execute(kCreateTable, {}, error));
}

StoreOutcome StoreDocument(const QString& id, const QString& path, Database& db) {
    const XmlDocument document = XmlDocument::fromFile(path);
    if (document.isNull())
        return {StoreOutcome::Kind::Refused, invalidDocumentMessage(path)};
    const XmlElement root = document.root();
    if (root.name() != kRootName)
        return {StoreOutcome::Kind::Refused,
                QStringLiteral("不是KVX合法数据！") + QDir::toNativeSeparators(path)};

    const QString name = storedName(path);
    QString error;
    bool ok = true;
    if (document.toString().size() < kWholeLimit) {
        ok = insertRow(db, id, name, kAll, root.toXml(), &error);
    } else {
        QString title;
        const QStringList rows = splitRows(root, &title);
        ok = insertRow(db, id, name, kTitle, title, &error);
        for (qsizetype i = 0; ok && i < rows.size(); ++i)
            ok = insertRow(db, id, name, kData, rows.at(i), &error);
    }
    if (!ok)
        return {StoreOutcome::Kind::Failed, error};
    return {};
}

ExtractOutcome ExtractDocuments(Database& db, const QString& importPath) {
    ExtractOutcome outcome;
    QList<QPair<QString, QString>> documents;
    {
        bool ok = false;
        RecordSet rows = db.query(QStringLiteral("select distinct id ,name from KVXXml"), {}, &ok,
                                  &outcome.error);
        if (!ok)
            return outcome;
        for (; !rows.atEnd(); rows.moveNext())
            documents.append(
                {rows.field(QStringLiteral("id")), rows.field(QStringLiteral("name"))});
    }
    QSet<QString> used;
    static const QRegularExpression number(QStringLiteral("^[0-9]+$"));
    for (qsizetype position = 0; position < documents.size(); ++position) {
        const auto& [id, name] = documents.at(position);
        const QString text = assemble(db, id, name, &outcome.error);
        if (!outcome.ok())
            return outcome;
        const XmlDocument document = XmlDocument::fromString(
            QStringLiteral("<?xml version='1.0' encoding='gb2312' ?>") + text);
        if (document.isNull()) {
            outcome.refusals.append(QStringLiteral("接收数据不正确！"));
            continue;
        }
        const QString sent = name.trimmed();
        const QString fileName = receivedFileName(name);
        // The id tells equal names apart; one that is no number (a peer's mistake or worse)
        // never becomes part of the path.
        const QString suffix =
            number.match(id.trimmed()).hasMatch() ? id.trimmed() : QString::number(position);
        const QString path = QDir::toNativeSeparators(
            QDir(importPath)
                .filePath(distinctName(fileName, suffix, QDir(importPath),
                                       fileName == sent.section(separators(), -1), used)));
        if (QFileInfo(path).fileName() != sent.section(separators(), -1))
            outcome.renamed.append(renamedDocumentMessage(sent, path));
        QString error;
        if (!document.save(path, &error)) {
            outcome.error = path + QStringLiteral("：") + error;
            return outcome;
        }
        outcome.written.append(path);
    }
    return outcome;
}

QString renamedDocumentMessage(const QString& storedName, const QString& path) {
    return QStringLiteral("收到的文件“%1”已改名写入：%2").arg(storedName, path);
}

QString receivedFileName(const QString& storedName) {
    static const QRegularExpression forbidden(QStringLiteral(R"([<>:"|?*\x00-\x1f])"));
    static const QRegularExpression finalDots(QStringLiteral(R"([. ]+$)"));
    static const QRegularExpression device(
        QStringLiteral(R"(^(con|prn|aux|nul|com\d|lpt\d|conin\$|conout\$)$)"),
        QRegularExpression::CaseInsensitiveOption);
    // A longer name than a sender keeps could pass what the file system takes.
    QString name = cutName(storedName.section(separators(), -1).trimmed());
    name.replace(forbidden, QStringLiteral("_"));
    const QRegularExpressionMatch dots = finalDots.match(name);
    if (dots.hasMatch())
        name.replace(dots.capturedStart(), dots.capturedLength(),
                     QString(dots.capturedLength(), QLatin1Char('_')));
    // A name starting with a dot would make a hidden file that the import dialog does not show.
    if (name.startsWith(QLatin1Char('.')))
        name[0] = QLatin1Char('_');
    const QString base = name.section(QLatin1Char('.'), 0, 0);
    if (base.trimmed().contains(device))
        name.insert(base.size(), QLatin1Char('_'));
    return name.isEmpty() ? QStringLiteral("未命名.xml") : name;
}

} // namespace kvx

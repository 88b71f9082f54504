#include "schedule/schedule_document.h"

#include "catalogue/catalogue.h"
#include "platform/shared_texts.h"
#include "schedule/schedule_file.h"

#include <QHash>

namespace kvx {

namespace {

const QString kSchedule = QStringLiteral("schedule");
const QString kCode = QStringLiteral("code");
const QString kName = QStringLiteral("name");
const QString kFamily = QStringLiteral("family");
const QString kNeedExchanged = QStringLiteral("needexchanged");
const QString kOperation = QStringLiteral("operation");
const QString kImport = QStringLiteral("import");
const QString kExport = QStringLiteral("export");
const QString kDateFormat = QStringLiteral("yyyy-MM-dd");

QList<ScheduledItem> readItems(const XmlElement& list) {
    QList<ScheduledItem> items;
    for (const XmlElement& item : list.childElements())
        items.append({item.name(), item.attribute(kOperation), item.attribute(kNeedExchanged)});
    return items;
}

struct ItemOrigin {
    QString name;
    QString family;
};

// Rebuilds the schedule's list from the editor's entries.
void writeItems(XmlElement& schedule, const QString& listName, const QList<ScheduledItem>& items,
                const Catalogue& catalogue, bool withOperation) {
    XmlElement list = schedule.firstChildElement(listName);
    if (list.isNull())
        list = schedule.appendChild(listName);
    QHash<QString, ItemOrigin> before;
    for (const XmlElement& item : list.childElements())
        before.insert(item.name(), {item.attribute(kName), item.attribute(kFamily)});
    list.removeAllChildren();
    for (const ScheduledItem& entry : items) {
        XmlElement item = list.appendChild(entry.label);
        if (item.isNull())
            continue; // not an element name: never an entry of the catalogue
        const XmlElement found = catalogue.find(entry.label);
        const ItemOrigin origin =
            found.isNull() ? before.value(entry.label)
                           : ItemOrigin{found.attribute(kName), found.parentElement().name()};
        item.setAttribute(kName, origin.name);
        item.setAttribute(kFamily, origin.family);
        item.setAttribute(kNeedExchanged, entry.conversion);
        if (withOperation)
            item.setAttribute(kOperation, entry.operation);
    }
}

} // namespace

ScheduleDocument::ScheduleDocument(AppFolder folder)
    : m_folder(std::move(folder)) {}

QString ScheduleDocument::filePath() const {
    return m_folder.resolve(ScheduleFile::relativePath());
}

QString ScheduleDocument::missingFileMessage() const {
    return SharedText::fileMissing(filePath());
}

XmlDocument* ScheduleDocument::OpenScheduleDocument(Mode mode) {
    if (!m_document.isNull())
        return &m_document;
    const QString path = filePath();
    if (CheckScheduleFile(path))
        m_document = XmlDocument::fromFile(path);
    if (m_document.isNull() && mode == Mode::Write)
        m_document = XmlDocument::fromString(ScheduleFile::newFileTemplate());
    return m_document.isNull() ? nullptr : &m_document;
}

XmlElement ScheduleDocument::findSchedule(const QString& code) const {
    if (m_document.isNull())
        return {};
    return m_document.root().selectFirst(QStringLiteral("schedule[@code=$code]"),
                                         {{QStringLiteral("code"), code}});
}

QStringList ScheduleDocument::codes() const {
    QStringList codes;
    if (m_document.isNull())
        return codes;
    for (const XmlElement& schedule : m_document.select(QStringLiteral("//schedule[@code]")))
        codes.append(schedule.attribute(kCode));
    return codes;
}

std::optional<ScheduleContent> ScheduleDocument::readSchedule(const QString& code) const {
    const XmlElement schedule = findSchedule(code);
    if (schedule.isNull())
        return std::nullopt;
    ScheduleContent content;
    content.type = schedule.attribute(QStringLiteral("type"));
    content.begin = QDate::fromString(schedule.attribute(QStringLiteral("begin")), kDateFormat);
    content.end = QDate::fromString(schedule.attribute(QStringLiteral("end")), kDateFormat);
    content.hour = schedule.attribute(QStringLiteral("hour"));
    content.minute = schedule.attribute(QStringLiteral("minute"));
    content.month = schedule.attribute(QStringLiteral("month"));
    content.day = schedule.attribute(QStringLiteral("day"));
    content.weekday = schedule.attribute(QStringLiteral("weekday"));
    content.imports = readItems(schedule.firstChildElement(kImport));
    content.exports = readItems(schedule.firstChildElement(kExport));
    return content;
}

void ScheduleDocument::BuildScheduleNode(const QString& code, const ScheduleContent& content,
                                         const Catalogue& catalogue) {
    const QString trimmed = code.trimmed();
    OpenScheduleDocument(Mode::Write);
    XmlElement root = m_document.root();
    // Without the file's indentation around the schedules the saved file is laid out afresh
    // where it changed; untouched schedules keep their own layout.
    root.removeIndentation();
    XmlElement schedule = findSchedule(trimmed);
    if (schedule.isNull()) {
        schedule = root.appendChild(kSchedule);
        schedule.setAttribute(kCode, trimmed);
    }
    if (!content.type.isEmpty())
        schedule.setAttribute(QStringLiteral("type"), content.type);
    schedule.setAttribute(QStringLiteral("begin"), content.begin.toString(kDateFormat));
    schedule.setAttribute(QStringLiteral("end"), content.end.toString(kDateFormat));
    schedule.setAttribute(QStringLiteral("hour"), content.hour);
    schedule.setAttribute(QStringLiteral("minute"), content.minute);
    schedule.setAttribute(QStringLiteral("month"), content.month);
    schedule.setAttribute(QStringLiteral("day"), content.day);
    schedule.setAttribute(QStringLiteral("weekday"), content.weekday);
    schedule.removeIndentation();
    writeItems(schedule, kImport, content.imports, catalogue, true);
    writeItems(schedule, kExport, content.exports, catalogue, false);
}

bool ScheduleDocument::SaveSchedule(const QString& code, const ScheduleContent& content,
                                    const Catalogue& catalogue, QString* error) {
    BuildScheduleNode(code, content, catalogue);
    const QString path = filePath();
    CheckScheduleFile(path); // a pending upgrade is done; this document still replaces it
    AppFolder::makeWritable(path);
    QString reason;
    if (m_document.save(path, &reason))
        return true;
    if (error)
        *error = SharedText::saveFailed(path, reason);
    return false;
}

} // namespace kvx

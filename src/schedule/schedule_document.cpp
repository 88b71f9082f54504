#include "schedule/schedule_document.h"

#include "catalogue/catalogue.h"
#include "platform/shared_texts.h"
#include "schedule/schedule_file.h"
#include "schedule/schedule_names.h"

#include <QHash>

namespace kvx {

using namespace ScheduleNames;

namespace {

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

// The refusal to save over a file that does not load.
QString saveRefused(const QString& damage) {
    return damage + QStringLiteral("\n计划未保存：请修复该文件，或将它移到别处后再保存。");
}

} // namespace

ScheduleDocument::ScheduleDocument(AppFolder folder)
    : m_folder(std::move(folder)) {}

QString ScheduleDocument::filePath() const {
    return m_folder.resolve(ScheduleFile::relativePath());
}

XmlDocument* ScheduleDocument::OpenScheduleDocument(Mode mode, QString* error) {
    if (!m_document.isNull())
        return &m_document;
    const QString path = filePath();
    QString mergeFailure;
    CheckScheduleFile(path, &mergeFailure);
    ScheduleFile::Loaded loaded = ScheduleFile::load(path);
    using State = ScheduleFile::Loaded::State;
    if (loaded.state == State::Read) {
        m_document = std::move(loaded.document);
        if (error)
            *error = mergeFailure;
    } else if (loaded.state == State::Missing && mode == Mode::Write) {
        m_document = XmlDocument::fromString(ScheduleFile::newFileTemplate());
    } else if (error) {
        *error = loaded.message;
    }
    return m_document.isNull() ? nullptr : &m_document;
}

XmlElement ScheduleDocument::findSchedule(const QString& code) const {
    if (m_document.isNull())
        return {};
    for (const XmlElement& schedule : m_document.root().childElements()) {
        if (schedule.name() == kSchedule && schedule.attribute(kCode) == code)
            return schedule;
    }
    return {};
}

QStringList ScheduleDocument::codes() const {
    QStringList codes;
    if (m_document.isNull())
        return codes;
    for (const XmlElement& schedule :
         m_document.select(QStringLiteral("//%1[@%2]").arg(kSchedule, kCode)))
        codes.append(schedule.attribute(kCode));
    return codes;
}

std::optional<Schedule> ScheduleDocument::readSchedule(const QString& code) const {
    const XmlElement schedule = findSchedule(code);
    if (schedule.isNull())
        return std::nullopt;
    return Schedule::read(schedule);
}

bool ScheduleDocument::BuildScheduleNode(const QString& code, const Schedule& content,
                                         const Catalogue& catalogue, QString* error) {
    const QString trimmed = code.trimmed();
    QString damage;
    if (!OpenScheduleDocument(Mode::Write, &damage)) {
        if (error)
            *error = saveRefused(damage);
        return false;
    }
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
        schedule.setAttribute(kType, content.type);
    schedule.setAttribute(kBegin, content.begin.toString(kDateFormat));
    schedule.setAttribute(kEnd, content.end.toString(kDateFormat));
    schedule.setAttribute(kHour, content.hour);
    schedule.setAttribute(kMinute, content.minute);
    schedule.setAttribute(kMonth, content.month);
    schedule.setAttribute(kDay, content.day);
    schedule.setAttribute(kWeekday, content.weekday);
    schedule.removeIndentation();
    writeItems(schedule, kImport, content.imports, catalogue, true);
    writeItems(schedule, kExport, content.exports, catalogue, false);
    return true;
}

bool ScheduleDocument::SaveSchedule(const QString& code, const Schedule& content,
                                    const Catalogue& catalogue, QString* error) {
    if (!BuildScheduleNode(code, content, catalogue, error))
        return false;
    const QString path = filePath();
    // The file may have been damaged since it was read: it is still not written over.
    const ScheduleFile::Loaded onDisk = ScheduleFile::load(path);
    if (onDisk.state == ScheduleFile::Loaded::State::Damaged) {
        if (error)
            *error = saveRefused(onDisk.message);
        return false;
    }
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

#pragma once

#include "platform/app_folder.h"
#include "platform/xml/xml_document.h"
#include "schedule/schedule.h"

#include <QStringList>
#include <optional>

namespace kvx {

class Catalogue;

// The schedule file as one editor window holds it: loaded when first needed, kept while the
// window lives, one schedule element rewritten per save and the whole document written back.
// A file that is there but does not load is never written over.
class ScheduleDocument {
public:
    enum class Mode {
        View, // a schedule is to be shown: no document when the file cannot be used
        Write // a schedule is to be written: the new-file template when there is no file
    };

    explicit ScheduleDocument(AppFolder folder);

    // The file's full path (letter case as found on disk).
    QString filePath() const;

    // The held document, loaded (after any pending upgrade merge) on first use. Null, with
    // *error, when the file is damaged, or in View mode missing; then nothing is held, so the
    // next call tries the file again. A document with *error set: the upgrade merge failed
    // and the file was read as it stands.
    XmlDocument* OpenScheduleDocument(Mode mode, QString* error = nullptr);
    bool isOpen() const { return !m_document.isNull(); }

    // The codes of the held document's schedules, in document order.
    QStringList codes() const;
    // The schedule of exactly this code (letter case counts) in the held document.
    std::optional<Schedule> readSchedule(const QString& code) const;

    // Writes the schedule of the trimmed code into the held document (opening it in Write
    // mode): a new element is appended with its attributes in the file's order, an existing
    // one is updated in place, its import and export lists rebuilt from the content. The
    // items' `name` and `family` come from the catalogue; an item the catalogue no longer
    // holds keeps what the file said of it. False, with *error, when the file is damaged.
    bool BuildScheduleNode(const QString& code, const Schedule& content, const Catalogue& catalogue,
                           QString* error = nullptr);
    // BuildScheduleNode, then the whole document replaces the file atomically (a read-only
    // file included). False, with *error, when the file is damaged (it is left as it is) or
    // cannot be written.
    bool SaveSchedule(const QString& code, const Schedule& content, const Catalogue& catalogue,
                      QString* error = nullptr);

private:
    XmlElement findSchedule(const QString& code) const;

    AppFolder m_folder;
    XmlDocument m_document;
};

} // namespace kvx

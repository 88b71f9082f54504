#pragma once

#include "platform/xml/xml_document.h"

#include <QString>

namespace kvx {

// The schedule file "\xml\operation\schedule.xml": for each sender code when the plan agent
// runs exchanges and which items it imports and exports. The console writes it through the
// schedule editor; the plan agent reads it.
namespace ScheduleFile {

QString relativePath();
// The document of a file created from nothing: declaration, comment and an empty root.
QString newFileTemplate();

// The file as it stands, without the upgrade merge.
struct Loaded {
    enum class State {
        Read,
        Missing,
        Damaged // there, but it does not load: never to be written over
    };
    State state = State::Missing;
    XmlDocument document; // when read
    QString message;      // otherwise: the full path and what is wrong with it
};
Loaded load(const QString& path);

// A file that is there but does not load, named by its full path, with the reason.
QString damagedMessage(const QString& path, const QString& reason);

} // namespace ScheduleFile

// True when the file exists. A backup ("<base name>Bak.xml", any letter case) lying beside
// it is consumed first: merged into "schedule.xml" when that is the file, deleted otherwise.
// A merge that fails leaves both files for the next check and says why in *error.
bool CheckScheduleFile(const QString& path, QString* error = nullptr);

// The one-time upgrade of an old-format schedule file: the backup supplies the document shell
// (and, when the old file is empty, its content), the old file supplies the schedules, and
// the old root-level import and export lists move into their schedules. The merged document
// replaces the old file atomically and the backup is deleted only then. False, with *error,
// when one of the files does not load or the merged one cannot be written: both files stay.
bool MergeScheduleBackup(const QString& folder, const QString& backupName, const QString& fileName,
                         QString* error = nullptr);

// Deletes the file, a read-only one included; failures are ignored.
void DeleteFileForce(const QString& path);

} // namespace kvx

#pragma once

#include <QString>

namespace kvx {

// The schedule file "\xml\operation\schedule.xml": for each sender code when the plan agent
// runs exchanges and which items it imports and exports. The console writes it through the
// schedule editor; the plan agent reads it.
namespace ScheduleFile {
QString relativePath();
// The document of a file created from nothing: declaration, comment and an empty root.
QString newFileTemplate();
} // namespace ScheduleFile

// True when the file exists. A backup ("<base name>Bak.xml", any letter case) lying beside
// it is consumed first: merged into "schedule.xml" when that is the file, deleted otherwise.
// Failures along the way are not reported; a step that fails is skipped.
bool CheckScheduleFile(const QString& path);

// The one-time upgrade of an old-format schedule file: the backup supplies the document shell
// (and, when the old file is empty, its content), the old file supplies the schedules, and
// the old root-level import and export lists move into their schedules. The merged document
// replaces the old file atomically; the backup is deleted only once that has succeeded, so a
// failure leaves both files for the next check. Always answers true.
bool MergeScheduleBackup(const QString& folder, const QString& backupName, const QString& fileName);

// Deletes the file, a read-only one included; failures are ignored.
void DeleteFileForce(const QString& path);

} // namespace kvx

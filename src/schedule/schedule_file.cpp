#include "schedule/schedule_file.h"

#include "platform/app_folder.h"
#include "platform/shared_texts.h"
#include "schedule/schedule_names.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace kvx {

using namespace ScheduleNames;

namespace {

// The name of the folder's file that equals the name without regard to letter case; empty
// when there is none.
QString findInFolder(const QString& folder, const QString& name) {
    const QStringList entries = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& entry : entries) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return entry;
    }
    return {};
}

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QList<XmlElement> childElementsNamed(const XmlElement& parent, const QString& name) {
    QList<XmlElement> result;
    for (const XmlElement& child : parent.childElements()) {
        if (sameName(child.name(), name))
            result.append(child);
    }
    return result;
}

void appendScheduleCopies(const XmlElement& oldRoot, XmlElement& newRoot) {
    for (const XmlElement& schedule : childElementsNamed(oldRoot, kSchedule)) {
        const QString code = schedule.attribute(kCode);
        bool known = false;
        for (const XmlElement& existing : newRoot.childElements())
            known = known || sameName(existing.attribute(kCode), code);
        if (!known)
            newRoot.appendCopy(schedule).removeIndentation();
    }
}

// Old root-level `import`/`export` lists go into the schedules of their code; the items take
// the list's conversion flag (and imports the mark "porc" = "add").
void moveOldLists(const XmlElement& oldRoot, XmlElement& newRoot, const QString& listName,
                  bool markAdded) {
    for (const XmlElement& list : childElementsNamed(oldRoot, listName)) {
        if (!list.hasChildNodes())
            continue;
        const QString code = list.attribute(kCode);
        const QString conversion = list.attribute(kNeedExchanged);
        for (XmlElement schedule : newRoot.childElements()) {
            if (!sameName(schedule.attribute(kCode), code))
                continue;
            XmlElement target = schedule.firstChildElement(listName);
            if (target.isNull())
                target = schedule.appendChild(listName);
            for (XmlElement item : list.childElements()) {
                item.setAttribute(kNeedExchanged, conversion);
                if (markAdded)
                    item.setAttribute(kPorc, kPorcAdded);
                target.appendCopy(item);
            }
            target.removeIndentation();
        }
    }
}

XmlDocument loadForMerge(const QString& path, QString* error) {
    QString reason;
    XmlDocument document = XmlDocument::fromFile(path, &reason);
    if (document.isNull() && error)
        *error = ScheduleFile::damagedMessage(path, reason);
    return document;
}

} // namespace

namespace ScheduleFile {

QString relativePath() {
    return QStringLiteral("\\xml\\operation\\schedule.xml");
}

QString newFileTemplate() {
    return QStringLiteral("<?xml version='1.0' encoding='gb2312'?>\r\n"
                          "<!--执行计划文件，该文件记录的是导出导入执行的时间以及相关的执行内容-->"
                          "\r\n<uinterface/>");
}

Loaded load(const QString& path) {
    Loaded loaded;
    if (!QFileInfo::exists(path)) {
        loaded.message = SharedText::fileMissing(path);
        return loaded;
    }
    QString reason;
    loaded.document = XmlDocument::fromFile(path, &reason);
    if (loaded.document.isNull()) {
        loaded.state = Loaded::State::Damaged;
        loaded.message = damagedMessage(path, reason);
    } else {
        loaded.state = Loaded::State::Read;
    }
    return loaded;
}

QString damagedMessage(const QString& path, const QString& reason) {
    return QDir::toNativeSeparators(path) + QStringLiteral("文件已损坏，无法读取：") + reason;
}

} // namespace ScheduleFile

bool CheckScheduleFile(const QString& path, QString* error) {
    const QFileInfo info(path);
    const QString folder = info.absolutePath();
    const QString fileName = findInFolder(folder, info.fileName());
    if (fileName.isEmpty())
        return false;
    const QString baseName = fileName.left(fileName.lastIndexOf(QLatin1Char('.')));
    const QString backupName = findInFolder(folder, baseName + QStringLiteral("Bak.xml"));
    if (backupName.isEmpty())
        return true;
    if (!sameName(fileName, QStringLiteral("schedule.xml")))
        DeleteFileForce(QDir(folder).filePath(backupName));
    else
        MergeScheduleBackup(folder, backupName, fileName, error);
    return true;
}

bool MergeScheduleBackup(const QString& folder, const QString& backupName, const QString& fileName,
                         QString* error) {
    const QDir dir(folder);
    const QString target = dir.filePath(fileName);
    XmlDocument oldDocument = loadForMerge(target, error);
    if (oldDocument.isNull())
        return false;
    XmlDocument newDocument = loadForMerge(dir.filePath(backupName), error);
    if (newDocument.isNull())
        return false;
    const XmlElement oldRoot = oldDocument.root();
    if (oldRoot.hasChildNodes()) {
        XmlElement newRoot = newDocument.root();
        for (XmlElement child : newRoot.childElements())
            child.remove();
        newRoot.removeIndentation();
        appendScheduleCopies(oldRoot, newRoot);
        moveOldLists(oldRoot, newRoot, kImport, true);
        moveOldLists(oldRoot, newRoot, kExport, false);
    }
    // The merged document replaces the old file in one step; only then is the backup spent.
    AppFolder::makeWritable(target);
    QString reason;
    if (!newDocument.save(target, &reason)) {
        if (error)
            *error = SharedText::saveFailed(target, reason);
        return false;
    }
    DeleteFileForce(dir.filePath(backupName));
    return true;
}

void DeleteFileForce(const QString& path) {
    AppFolder::makeWritable(path);
    QFile::remove(path);
}

} // namespace kvx

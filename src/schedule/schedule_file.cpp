#include "schedule/schedule_file.h"

#include "platform/app_folder.h"
#include "platform/xml/xml_document.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace kvx {

namespace {

const QString kSchedule = QStringLiteral("schedule");
const QString kCode = QStringLiteral("code");
const QString kNeedExchanged = QStringLiteral("needexchanged");

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
                    item.setAttribute(QStringLiteral("porc"), QStringLiteral("add"));
                target.appendCopy(item);
            }
            target.removeIndentation();
        }
    }
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

} // namespace ScheduleFile

bool CheckScheduleFile(const QString& path) {
    const QFileInfo info(path);
    const QString folder = info.absolutePath();
    const QString fileName = findInFolder(folder, info.fileName());
    if (fileName.isEmpty())
        return false;
    const QString baseName = fileName.left(fileName.lastIndexOf(QLatin1Char('.')));
    const QString backupName = findInFolder(folder, baseName + QStringLiteral("Bak.xml"));
    if (backupName.isEmpty())
        return true;
    if (!sameName(fileName, QStringLiteral("schedule.xml"))) {
        DeleteFileForce(QDir(folder).filePath(backupName));
        return true;
    }
    return MergeScheduleBackup(folder, backupName, fileName);
}

bool MergeScheduleBackup(const QString& folder, const QString& backupName,
                         const QString& fileName) {
    const QDir dir(folder);
    XmlDocument oldDocument = XmlDocument::fromFile(dir.filePath(fileName));
    XmlDocument newDocument = XmlDocument::fromFile(dir.filePath(backupName));
    if (oldDocument.isNull() || newDocument.isNull())
        return true; // both files stay; the next check tries again
    const XmlElement oldRoot = oldDocument.root();
    if (oldRoot.hasChildNodes()) {
        XmlElement newRoot = newDocument.root();
        for (XmlElement child : newRoot.childElements())
            child.remove();
        newRoot.removeIndentation();
        appendScheduleCopies(oldRoot, newRoot);
        moveOldLists(oldRoot, newRoot, QStringLiteral("import"), true);
        moveOldLists(oldRoot, newRoot, QStringLiteral("export"), false);
    }
    // The merged document replaces the old file in one step; only then is the backup spent.
    const QString target = dir.filePath(fileName);
    AppFolder::makeWritable(target);
    if (newDocument.save(target))
        DeleteFileForce(dir.filePath(backupName));
    return true;
}

void DeleteFileForce(const QString& path) {
    AppFolder::makeWritable(path);
    QFile::remove(path);
}

} // namespace kvx

#pragma once

#include <QDir>
#include <QString>

// Fixed texts that several windows and runs show, each kept here once.
namespace kvx::SharedText {

// The line end of the run reports: they are shown, kept in the run history and copied out as
// Windows text, and a report block is joined to the next at it.
inline QString reportLineEnd() {
    return QStringLiteral("\r\n");
}

// The title of the prompts of the runs and work windows.
inline QString promptTitle() {
    return QStringLiteral("提示");
}

// A file that is not there, named by its full path as a person sees it.
inline QString fileMissing(const QString& path) {
    return QDir::toNativeSeparators(path) + QStringLiteral("文件不存在！");
}

// A file that could not be written, named by its full path, with the reason.
inline QString saveFailed(const QString& path, const QString& reason) {
    return QDir::toNativeSeparators(path) + QStringLiteral("保存失败！") + reason;
}

// An exchange, or its conditions, needs the registration code of the external system first.
inline QString senderCodeRequired() {
    return QStringLiteral("请输入注册编码");
}

// The filter of the dialogs that choose an interface document.
inline QString xmlFileFilter() {
    return QStringLiteral("Xml Fiels (*.xml)|*.xml|All Files (*.*)|*.*");
}

// The titles of the dialogs that choose the file of an exchange item.
inline QString importFileTitle(const QString& itemLabel) {
    return QStringLiteral("选择导入文件：") + itemLabel;
}
inline QString exportFileTitle(const QString& itemLabel) {
    return QStringLiteral("选择导出文件：") + itemLabel;
}

// The question before a running import or export is cancelled.
inline QString cancelRunQuestion() {
    return QStringLiteral("导入导出正在进行，确实想要结束？");
}

// A window's run refused while another window's import or export is under way: a run started
// meanwhile would hold the other's answer back until it ended.
inline QString otherRunUnderway() {
    return QStringLiteral("另一个导入导出正在进行，请等它结束后再执行。");
}

// The condition editor's and the schedule editor's refusal to store for an empty code.
inline QString senderCodeEmpty() {
    return QStringLiteral("注册编码不能为空!");
}

// The schedule editor's refusal while its registration code box is empty.
inline QString senderCodeToChoose() {
    return QStringLiteral("请选择注册编码");
}

} // namespace kvx::SharedText

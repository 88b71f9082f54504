#include "app/work_window_slots.h"

#include <QMdiArea>
#include <QMdiSubWindow>

namespace kvx {

void WorkWindowSlots::setFactory(WorkWindow kind, Factory factory, Preparer beforeShow) {
    m_factories[kind] = std::move(factory);
    m_preparers[kind] = std::move(beforeShow);
}

QString WorkWindowSlots::caption(WorkWindow kind) {
    switch (kind) {
    case WorkWindow::ConditionEditor:
        return QStringLiteral("导入导出设置");
    case WorkWindow::ExchangeWindow:
        return QStringLiteral("导入导出");
    case WorkWindow::ScheduleEditor:
        return QStringLiteral("计划");
    case WorkWindow::MailWindow:
        return QStringLiteral("KVX远程数据传输工具");
    case WorkWindow::RunHistory:
        return QStringLiteral("运行记录");
    case WorkWindow::ReplaceSettings:
        break;
    }
    return QStringLiteral("替换项目设置");
}

QString WorkWindowSlots::windowName(WorkWindow kind) {
    switch (kind) {
    case WorkWindow::ConditionEditor:
        return QStringLiteral("frmCondition");
    case WorkWindow::ExchangeWindow:
        return QStringLiteral("frmImport");
    case WorkWindow::ScheduleEditor:
        return QStringLiteral("frmSchedule");
    case WorkWindow::MailWindow:
        return QStringLiteral("FrmMail");
    case WorkWindow::RunHistory:
        return QStringLiteral("frmRunHistory");
    case WorkWindow::ReplaceSettings:
        break;
    }
    return QStringLiteral("FrmReplace");
}

QMdiSubWindow* WorkWindowSlots::create(WorkWindow kind) {
    const auto factory = m_factories.find(kind);
    QWidget* widget = factory != m_factories.end() && factory->second ? factory->second() : nullptr;
    const bool placeholder = !widget;
    if (placeholder) {
        widget = new QWidget;
        widget->setObjectName(windowName(kind));
        widget->setWindowTitle(caption(kind));
    }
    QMdiSubWindow* subWindow = m_area->addSubWindow(widget);
    subWindow->setAttribute(Qt::WA_DeleteOnClose);
    if (placeholder)
        subWindow->resize(480, 320);
    return subWindow;
}

void WorkWindowSlots::show(WorkWindow kind, QMdiSubWindow* subWindow, const Preparer& beforeShow) {
    const auto preparer = m_preparers.find(kind);
    if (preparer != m_preparers.end() && preparer->second)
        preparer->second(subWindow->widget());
    if (beforeShow)
        beforeShow(subWindow->widget());
    subWindow->show();
    subWindow->widget()->show();
    m_area->setActiveSubWindow(subWindow);
    subWindow->widget()->setFocus();
}

QWidget* WorkWindowSlots::open(WorkWindow kind, const Preparer& beforeShow) {
    QPointer<QMdiSubWindow>& slot = m_slots[kind];
    if (!slot)
        slot = create(kind);
    show(kind, slot, beforeShow);
    return slot->widget();
}

QWidget* WorkWindowSlots::openNew(WorkWindow kind) {
    QMdiSubWindow* subWindow = create(kind);
    show(kind, subWindow);
    return subWindow->widget();
}

QWidget* WorkWindowSlots::window(WorkWindow kind) const {
    const auto slot = m_slots.find(kind);
    return slot != m_slots.end() && slot->second ? slot->second->widget() : nullptr;
}

} // namespace kvx

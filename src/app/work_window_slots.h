#pragma once

#include <QPointer>
#include <QString>
#include <functional>
#include <map>

class QMdiArea;
class QMdiSubWindow;
class QWidget;

namespace kvx {

// The kinds of work window the frame keeps one of.
enum class WorkWindow {
    ConditionEditor,
    ExchangeWindow,
    ScheduleEditor,
    MailWindow,
    ReplaceSettings,
    RunHistory
};

// One slot per kind of work window, each empty until first use. A window is created by the
// factory registered for its kind (until one is registered, by an empty placeholder with the
// window's caption) and shown as a child of the frame. Closing a work window empties its
// slot, so the next use loads it afresh and the frame never holds two of a kind.
class WorkWindowSlots {
public:
    using Factory = std::function<QWidget*()>;
    // Runs each time the slot's window is about to be shown (the condition editor is put
    // back into condition-file mode here).
    using Preparer = std::function<void(QWidget*)>;

    explicit WorkWindowSlots(QMdiArea* area)
        : m_area(area) {}

    void setFactory(WorkWindow kind, Factory factory, Preparer beforeShow = {});

    // The slot's window, created when the slot is empty; shown and given the focus.
    // `beforeShow` runs after the registered preparer.
    QWidget* open(WorkWindow kind, const Preparer& beforeShow = {});
    // A new window of the kind beside the slot's (the mail window from its menu item).
    QWidget* openNew(WorkWindow kind);
    // The slot's window, or null while the slot is empty.
    QWidget* window(WorkWindow kind) const;

    static QString caption(WorkWindow kind);
    static QString windowName(WorkWindow kind);

private:
    QMdiSubWindow* create(WorkWindow kind);
    void show(WorkWindow kind, QMdiSubWindow* subWindow, const Preparer& beforeShow = {});

    QMdiArea* m_area;
    std::map<WorkWindow, Factory> m_factories;
    std::map<WorkWindow, Preparer> m_preparers;
    std::map<WorkWindow, QPointer<QMdiSubWindow>> m_slots;
};

} // namespace kvx

#pragma once

#include "catalogue/operation_entry.h"

#include <QObject>
#include <QStringList>
#include <array>

namespace kvx {

// One of the five option check boxes as the rules see it.
struct OptionBox {
    QString caption;
    bool visible = false;
    bool enabled = true;
    bool checked = false;
};

// Keeps an item's operation and options consistent with the rules of its entry in the
// operations file. It holds the operation list (entries and current index), the five option
// boxes, the option count and the ApplyDefaults flag; windows mirror this state in their
// widgets and forward the operator's actions to it.
//
// Every change of a box's checked state, whether the operator's or a rule's, runs that box's
// click at once (its rules, then the storing of the operation string); selecting an
// operation runs the operation choice. Setting a box to the state it has, and enabling or
// disabling it, run nothing. Storing clears ApplyDefaults.
//
// Rule sets that never come to rest are stopped: a change that is already being worked
// through further up the same chain (box k going to the same state again before the
// consequences of its first going there are finished) is skipped, and no action makes more
// than kMaxChangesPerAction changes. After every action the boxes are consistent: the action
// has returned, each box shows the last state the operator or a rule gave it, among boxes
// 1..n exactly those that the chosen operation excludes are disabled, and the last operation
// string reported is operationString().
class OperationRules : public QObject {
    Q_OBJECT
public:
    static constexpr int kBoxCount = 5;
    static constexpr int kMaxChangesPerAction = 1000;

    explicit OperationRules(QObject* parent = nullptr);

    // Fills the operation list (nothing selected) and shows boxes 1..n with the options'
    // captions, unchecked and enabled; the others are hidden. Runs no rules, stores nothing.
    void showEntry(const OperationEntry& entry);
    // The four default operations and no option boxes.
    void showDefaults();

    const OperationEntry& entry() const { return m_entry; }
    QStringList operationNames() const { return m_entry.operationNames(); }
    int currentIndex() const { return m_currentIndex; }
    QString currentOperation() const;
    int optionCount() const { return m_optionCount; }
    // Boxes are numbered 1 to 5.
    const OptionBox& box(int number) const;
    bool applyDefaults() const { return m_applyDefaults; }
    void setApplyDefaults(bool on) { m_applyDefaults = on; }
    // The chosen operation's name, then "|" and the caption of each visible checked box.
    QString operationString() const;
    // True when the last action's chain of changes had to be stopped.
    bool lastActionStopped() const { return m_stopped; }

    // The operator's actions. Each ends with stateChanged(); slots connected to
    // operationStringChanged must not start another action meanwhile (it would be ignored).
    void chooseOperation(int index);
    // Clicking a visible, enabled box; nothing happens when the state is already the one asked.
    void setBoxChecked(int number, bool checked);
    // Shows a stored operation string: the trimmed first part selects its operation and each
    // later part checks the box of that caption; an empty string or blank first part selects
    // the second operation (the only one, if there is just one) with its defaults. The stored
    // options are taken as they are: an operation's defaults are not applied again over
    // them. A string whose operation the list does not offer selects nothing and stores
    // nothing, so the stored string is kept.
    void restore(const QString& operationString);

Q_SIGNALS:
    // The operation string is to be stored for the item shown (after each operation choice
    // and each box click, also in the middle of a chain).
    void operationStringChanged(const QString& operationString);
    // An action or showEntry has finished; widgets mirror the state now.
    void stateChanged();

private:
    struct Change {
        int box;
        bool checked;
        bool operator==(const Change&) const = default;
    };

    bool beginAction();
    void endAction();
    void selectOperation(int index, bool withDefaults);
    void changeBox(int number, bool checked);
    void clickBox(int number);
    void applyRules(int number);
    // The first box in from..to (numbers) whose caption is `caption`; 0 when none.
    int findBox(const QString& caption, int from, int to) const;
    void storeOperationString();
    OptionBox& boxAt(int number) { return m_boxes[size_t(number - 1)]; }

    OperationEntry m_entry;
    std::array<OptionBox, kBoxCount> m_boxes;
    int m_optionCount = 0;
    int m_currentIndex = -1;
    bool m_applyDefaults = true;
    bool m_acting = false;
    bool m_stopped = false;
    int m_changesLeft = 0;
    QList<Change> m_changesUnderWay;
};

} // namespace kvx

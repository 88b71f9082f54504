#include "catalogue/operation_rules.h"

namespace kvx {

namespace {

const QString kRequired = QStringLiteral("required");
const QString kDefault = QStringLiteral("default");
const QString kExclusive = QStringLiteral("exclusive");
const QString kNoChecked = QStringLiteral("nochecked");

} // namespace

OperationRules::OperationRules(QObject* parent)
    : QObject(parent)
    , m_entry(OperationEntry::defaults()) {}

void OperationRules::showEntry(const OperationEntry& entry) {
    if (m_acting)
        return;
    m_entry = entry;
    m_optionCount = std::min<int>(int(entry.options.size()), kBoxCount);
    m_currentIndex = -1;
    for (int number = 1; number <= kBoxCount; ++number) {
        const bool used = number <= m_optionCount;
        boxAt(number) = {used ? entry.options[number - 1].caption : QString(), used, true, false};
    }
    emit stateChanged();
}

void OperationRules::showDefaults() {
    showEntry(OperationEntry::defaults());
}

QString OperationRules::currentOperation() const {
    return m_currentIndex >= 0 && m_currentIndex < m_entry.operations.size()
               ? m_entry.operations[m_currentIndex].name
               : QString();
}

const OptionBox& OperationRules::box(int number) const {
    static const OptionBox none;
    return number >= 1 && number <= kBoxCount ? m_boxes[size_t(number - 1)] : none;
}

QString OperationRules::operationString() const {
    QString text = currentOperation();
    for (const OptionBox& option : m_boxes) {
        if (option.visible && option.checked)
            text += QLatin1Char('|') + option.caption;
    }
    return text;
}

void OperationRules::chooseOperation(int index) {
    if (index < 0 || index >= m_entry.operations.size() || !beginAction())
        return;
    selectOperation(index, true);
    endAction();
}

void OperationRules::setBoxChecked(int number, bool checked) {
    if (number < 1 || number > m_optionCount || !box(number).enabled || !beginAction())
        return;
    changeBox(number, checked);
    endAction();
}

void OperationRules::restore(const QString& operationString) {
    if (!beginAction())
        return;
    // A fresh start for the boxes, not a change of the operator's: it runs no rules.
    for (int number = 1; number <= kBoxCount; ++number) {
        boxAt(number).checked = false;
        boxAt(number).enabled = true;
    }
    const QStringList parts = operationString.split(QLatin1Char('|'));
    const QString operation = parts.first().trimmed();
    const int count = int(m_entry.operations.size());
    if (operation.isEmpty()) {
        const int index = count >= 2 ? 1 : count - 1;
        if (index >= 0)
            selectOperation(index, true);
        else
            m_currentIndex = -1;
    } else if (const int index = int(m_entry.operationNames().indexOf(operation)); index < 0) {
        m_currentIndex = -1;
    } else {
        selectOperation(index, false);
        for (const QString& caption : parts.mid(1)) {
            for (int number = 1; number <= m_optionCount && !caption.isEmpty(); ++number) {
                if (box(number).caption == caption)
                    changeBox(number, true);
            }
        }
    }
    endAction();
}

bool OperationRules::beginAction() {
    if (m_acting)
        return false;
    m_acting = true;
    m_stopped = false;
    m_changesLeft = kMaxChangesPerAction;
    m_changesUnderWay.clear();
    return true;
}

void OperationRules::endAction() {
    m_acting = false;
    emit stateChanged();
}

void OperationRules::selectOperation(int index, bool withDefaults) {
    m_currentIndex = index;
    for (int number = 1; number <= m_optionCount; ++number) {
        changeBox(number, false);
        boxAt(number).enabled = true;
    }
    m_applyDefaults = withDefaults;
    for (int number = 1; number <= m_optionCount; ++number)
        applyRules(number);
    storeOperationString();
}

void OperationRules::changeBox(int number, bool checked) {
    if (number < 1 || box(number).checked == checked)
        return;
    const Change change{number, checked};
    if (m_changesUnderWay.contains(change) || m_changesLeft == 0) {
        m_stopped = true;
        return;
    }
    --m_changesLeft;
    boxAt(number).checked = checked;
    m_changesUnderWay.append(change);
    clickBox(number);
    m_changesUnderWay.removeLast();
}

void OperationRules::clickBox(int number) {
    applyRules(number);
    if (!box(number).checked) {
        for (const OperationRule& rule : m_entry.options[number - 1].rules) {
            if (rule.kind != kNoChecked)
                continue;
            int target = findBox(rule.target, 1, number - 1);
            if (target == 0)
                target = findBox(rule.target, number + 1, m_optionCount);
            changeBox(target, true);
        }
    }
    storeOperationString();
}

void OperationRules::applyRules(int number) {
    if (const ImportOperation* operation = m_entry.findOperation(currentOperation().trimmed())) {
        for (const OperationRule& rule : operation->rules) {
            const int target = findBox(rule.target, 1, m_optionCount);
            if (rule.kind == kRequired || (rule.kind == kDefault && m_applyDefaults)) {
                changeBox(target, true);
            } else if (rule.kind == kExclusive && target != 0) {
                changeBox(target, false);
                boxAt(target).enabled = false;
            }
        }
    }
    if (!box(number).checked)
        return;
    for (const OperationRule& rule : m_entry.options[number - 1].rules) {
        if (rule.kind == kExclusive)
            changeBox(findBox(rule.target, 1, m_optionCount), false);
    }
}

int OperationRules::findBox(const QString& caption, int from, int to) const {
    for (int number = std::max(from, 1); number <= std::min(to, m_optionCount); ++number) {
        if (box(number).caption == caption)
            return number;
    }
    return 0;
}

void OperationRules::storeOperationString() {
    m_applyDefaults = false;
    emit operationStringChanged(operationString());
}

} // namespace kvx

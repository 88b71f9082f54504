#include "catalogue/operation_panel.h"

#include "catalogue/operations_file.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <cmath>

namespace kvx {

OperationPanel::OperationPanel(QWidget* parent)
    : QGroupBox(QStringLiteral("选项"), parent)
    , m_label(new QLabel(QStringLiteral("操作类型"), this))
    , m_combo(new QComboBox(this)) {
    setObjectName(QStringLiteral("frmOpt"));
    m_label->setObjectName(QStringLiteral("Label4"));
    m_combo->setObjectName(QStringLiteral("cmbOperate"));
    m_rowHeight = twipsToPixels(kTwipsPerOption, logicalDpiY());

    auto* operationRow = new QHBoxLayout;
    operationRow->addWidget(m_label);
    operationRow->addWidget(m_combo, 1);
    // No spacing between the rows: each shown box adds exactly one row height.
    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(0);
    layout->addLayout(operationRow);
    for (int number = 1; number <= OperationRules::kBoxCount; ++number) {
        auto* box = new QCheckBox(this);
        box->setObjectName(QStringLiteral("Check%1").arg(number));
        box->setFixedHeight(m_rowHeight);
        box->hide();
        layout->addWidget(box);
        m_boxes[size_t(number - 1)] = box;
        connect(box, &QCheckBox::toggled, this,
                [this, number](bool checked) { onBoxToggled(number, checked); });
    }
    layout->addStretch();

    // The operator's choice, also of the operation already shown: choosing it again applies
    // it afresh (boxes cleared, defaults applied).
    connect(m_combo, &QComboBox::activated, this, &OperationPanel::onOperationChosen);
    connect(&m_rules, &OperationRules::stateChanged, this, &OperationPanel::mirrorRules);
    connect(&m_rules, &OperationRules::operationStringChanged, this,
            &OperationPanel::operationStringChanged);
    mirrorRules();
}

int OperationPanel::twipsToPixels(int twips, int dotsPerInch) {
    return int(std::lround(double(twips) * dotsPerInch / 1440.0));
}

void OperationPanel::addControl(QWidget* control, bool above) {
    auto* rows = static_cast<QVBoxLayout*>(layout());
    // Below: before the closing stretch.
    rows->insertWidget(above ? 0 : rows->count() - 1, control);
}

QCheckBox* OperationPanel::optionBox(int number) const {
    return number >= 1 && number <= OperationRules::kBoxCount ? m_boxes[size_t(number - 1)]
                                                              : nullptr;
}

bool OperationPanel::showEntry(const QString& label) {
    const std::optional<OperationEntry> entry =
        m_file && m_file->isLoaded() ? m_file->findEntry(label) : std::nullopt;
    m_rules.showEntry(entry.value_or(OperationEntry::defaults(label)));
    setGrowth(m_rules.optionCount());
    return entry.has_value();
}

void OperationPanel::resetToDefaults() {
    m_rules.showDefaults();
    setGrowth(0);
}

void OperationPanel::restoreOperationString(const QString& operationString) {
    m_rules.restore(operationString);
}

void OperationPanel::onOperationChosen(int index) {
    m_rules.chooseOperation(index);
}

void OperationPanel::onBoxToggled(int number, bool checked) {
    m_rules.setBoxChecked(number, checked);
    // A refused click leaves the engine unchanged and so emits nothing: put the box back.
    mirrorRules();
}

void OperationPanel::mirrorRules() {
    const QSignalBlocker comboBlocker(m_combo);
    const QStringList names = m_rules.operationNames();
    QStringList shown;
    for (int i = 0; i < m_combo->count(); ++i)
        shown.append(m_combo->itemText(i));
    if (shown != names) {
        m_combo->clear();
        m_combo->addItems(names);
    }
    m_combo->setCurrentIndex(m_rules.currentIndex());
    for (int number = 1; number <= OperationRules::kBoxCount; ++number) {
        QCheckBox* widget = optionBox(number);
        const OptionBox& state = m_rules.box(number);
        const QSignalBlocker boxBlocker(widget);
        widget->setText(state.caption);
        widget->setChecked(state.checked);
        widget->setEnabled(state.enabled);
        widget->setVisible(state.visible);
    }
}

void OperationPanel::setGrowth(int optionCount) {
    const int growth = optionCount * m_rowHeight;
    if (growth == m_growth)
        return;
    m_growth = growth;
    emit layoutGrowthChanged(growth);
}

} // namespace kvx

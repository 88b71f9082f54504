#pragma once

#include "catalogue/operation_rules.h"

#include <QGroupBox>
#include <array>

class QCheckBox;
class QComboBox;
class QLabel;

namespace kvx {

class OperationsFile;

// The operation and options of the item shown: the frame "选项" (`frmOpt`) with the label
// `Label4` "操作类型", the operation list `cmbOperate` and the option boxes `Check1` to
// `Check5`. It mirrors an OperationRules engine and forwards the operator's choices to it.
// A window that names the controls otherwise renames them through the accessors.
class OperationPanel : public QGroupBox {
    Q_OBJECT
public:
    // Each shown option box adds 400 twips to the frame's height.
    static constexpr int kTwipsPerOption = 400;

    explicit OperationPanel(QWidget* parent = nullptr);

    // The operations file the entries come from; null or not loaded: default operations.
    void setOperationsFile(const OperationsFile* file) { m_file = file; }
    OperationRules& rules() { return m_rules; }
    const OperationRules& rules() const { return m_rules; }

    // Sets up the operation list and option boxes for an item; true when the item has its
    // own entry (otherwise the default operations are offered).
    bool showEntry(const QString& label);
    // Hides the option boxes, restores the layout and offers the default operations.
    void resetToDefaults();
    void restoreOperationString(const QString& operationString);
    QString operationString() const { return m_rules.operationString(); }

    // How much taller than at load the frame is, in pixels: the option count times
    // 400 twips at the screen's resolution.
    int layoutGrowth() const { return m_growth; }
    static int twipsToPixels(int twips, int dotsPerInch);

    // Puts a control of the owning window into the frame: above the operation row, or
    // below the option boxes.
    void addControl(QWidget* control, bool above);

    QLabel* operationLabel() const { return m_label; }
    QComboBox* operationCombo() const { return m_combo; }
    // Boxes are numbered 1 to 5.
    QCheckBox* optionBox(int number) const;

Q_SIGNALS:
    // Store this operation string for the item shown.
    void operationStringChanged(const QString& operationString);
    // The frame grew or shrank: controls below it move by the same amount.
    void layoutGrowthChanged(int pixels);

private:
    void onOperationChosen(int index);
    void onBoxToggled(int number, bool checked);
    void mirrorRules();
    void setGrowth(int optionCount);

    const OperationsFile* m_file = nullptr;
    OperationRules m_rules;
    QLabel* m_label;
    QComboBox* m_combo;
    std::array<QCheckBox*, OperationRules::kBoxCount> m_boxes{};
    int m_rowHeight = 0;
    int m_growth = 0;
};

} // namespace kvx

#pragma once

#include "replace/replace_settings.h"

#include <QWidget>

class QComboBox;
class QPushButton;
class QRadioButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace kvx {

class Prompter;
struct Services;

// The replace settings window `FrmReplace` ("替换项目设置"): for each reference field of a
// replaceable exchange item, whether it is replaced and whether it is matched by code or by
// name. Changes stay in memory until "应用" or "确定" writes the replace file; "退出" drops
// them.
class FrmReplace : public QWidget {
    Q_OBJECT
public:
    explicit FrmReplace(Services& services, QWidget* parent = nullptr);
    QSize sizeHint() const override { return {620, 440}; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    void LoadReplaceFile();
    void FillItemList();
    void ShowItemFields();
    void SelectField(QTreeWidgetItem* row);
    void clearOptions();
    void onReplaceChosen(bool replace);
    void onMatchChosen(bool byCode);
    void optionChanged();
    bool SaveReplaceFile();
    void onApplyClicked();
    void onOkClicked();
    void closeWindow();

    Prompter& m_prompter;
    ReplaceSettings m_settings;
    // False while the window itself sets the option buttons: only the operator's changes
    // enable "应用".
    bool m_ready = true;

    QComboBox* m_items = nullptr;
    QTreeWidget* m_fields = nullptr;
    QRadioButton* m_yes = nullptr;
    QRadioButton* m_no = nullptr;
    QRadioButton* m_code = nullptr;
    QRadioButton* m_name = nullptr;
    QPushButton* m_apply = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_esc = nullptr;
};

} // namespace kvx

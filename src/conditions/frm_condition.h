#pragma once

#include "catalogue/catalogue.h"
#include "conditions/condition_session.h"

#include <QWidget>

class QComboBox;
class QLineEdit;
class QMdiSubWindow;
class QPushButton;
class QTreeWidgetItem;

namespace kvx {

class CatalogueTree;
class ConditionGrid;
struct Services;

// The condition editor `frmCondition` ("导入导出设置"): the operator picks an exchange item in
// the catalogue tree and edits, for the sender code in `cmbCode`, its export conditions in
// the grid and its default import and export paths; saving writes the condition file. In
// plan mode (opened from the schedule editor) it works on the plan condition file instead.
//
// Every opener calls Sche() before the window is used; until then items can be looked at
// but not edited. Changes of the grid go into the condition document when another item or
// sender code is chosen, and into the file on saving; closing asks when something is unsaved.
class FrmCondition : public QWidget {
    Q_OBJECT
    // The mode as a property too, for openers that know the window only as a widget.
    Q_PROPERTY(bool Sche READ isPlanMode WRITE Sche)
public:
    // `loginSenderCode` is the code entered at login: the code box's first entry.
    FrmCondition(Services& services, const QString& loginSenderCode, QWidget* parent = nullptr);
    ~FrmCondition() override;

    // Plan mode (true: the plan condition file, saved by "保存为计划设置") or condition-file
    // mode (false). Takes effect at the first read of the file.
    void Sche(bool vNewValue);
    bool isPlanMode() const { return m_session.planMode(); }
    // The opener's sender code becomes the box's only text, and the box is disabled.
    void fixSenderCode(const QString& code);

    // A new editor beside the opener (in its multiple-document area when it has one), shown
    // and active, in the given mode; in plan mode its caption ends with "(计划)". A non-empty
    // code is fixed.
    static FrmCondition* openNew(QWidget* opener, Services& services,
                                 const QString& loginSenderCode, bool planMode,
                                 const QString& senderCode);
    // What the schedule editor's condition button opens: a new editor in plan mode for the
    // schedule's code; without a code "请选择注册编码" (titled "提示") and no window.
    static FrmCondition* openForSchedule(QWidget* opener, Services& services,
                                         const QString& loginSenderCode,
                                         const QString& scheduleCode);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    QWidget* createSettingsFrame();
    QWidget* createPathRow(QLineEdit*& box, QPushButton*& browse, const QString& boxName,
                           const QString& browseName);

    void InitTree();
    void setEditing(bool grid, bool paths);
    void clearGrid();
    void showItem();
    void readItem(const QString& code);
    bool storeGrid();
    bool save();
    bool refuseWithoutCode();
    QString senderCode() const;
    void closeWindow();

    void onItemChosen();
    void onCodeEntered();
    void onAddLineClicked();
    void onDelLineClicked();
    void onBrowseClicked(QLineEdit* box, bool import);
    void onSaveClicked();
    void onSubWindowActivated(QMdiSubWindow* window);

    Services& m_services;
    ConditionSession m_session;
    Catalogue m_catalogue;
    // The code the grid was read for, under which its changes are stored; empty when the box
    // was, and then nothing is read or stored.
    QString m_gridCode;
    bool m_modeSet = false;

    CatalogueTree* m_tree = nullptr;
    ConditionGrid* m_grid = nullptr;
    QComboBox* m_code = nullptr;
    QLineEdit* m_import = nullptr;
    QLineEdit* m_export = nullptr;
    QPushButton* m_fileIn = nullptr;
    QPushButton* m_fileOut = nullptr;
    QPushButton* m_addLine = nullptr;
    QPushButton* m_delLine = nullptr;
    QPushButton* m_save = nullptr;
    QPushButton* m_saveSche = nullptr;
    QPushButton* m_cancel = nullptr;
};

} // namespace kvx

#pragma once

#include "catalogue/catalogue.h"
#include "catalogue/exchange_selection.h"
#include "catalogue/operations_file.h"

#include <QPointer>
#include <QWidget>
#include <functional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QPushButton;
class QRadioButton;
class QTreeWidgetItem;

namespace kvx {

class AttachmentQueue;
class CatalogueTree;
class ExchangeItemList;
class ExchangeRun;
class ImportFileChecker;
class MailHandOver;
class OperationPanel;
class RunProgressFrame;
struct LoginContext;
struct Services;

// The exchange window `frmImport` ("导入导出"): the operator moves exchange items from the
// catalogue tree into the selection list, chooses import or export, the sender code and, for
// imports, an operation and options per item, and runs the import or export. While a run
// works the window stays responsive and shows how long the server has been working on the
// current item; only cancelling is offered, and it drops a request that is still waiting.
// The selection list's menu checks the listed import items' files before they are sent.
class FrmImport : public QWidget {
    Q_OBJECT
public:
    // Opens the condition editor for the sender code (empty when none is typed).
    using ConditionEditorOpener = std::function<void(const QString& senderCode)>;

    // The sender code and the server's address and credentials come from the session's
    // login; exports for mail queue their files in `attachments`.
    FrmImport(Services& services, const LoginContext& login, AttachmentQueue& attachments,
              QWidget* parent = nullptr);
    ~FrmImport() override;

    // True when some entry of the selection list equals the label.
    bool isSelected(const QString& label) const { return selection().isSelected(label); }
    const ExchangeSelection& selection() const;
    bool isImportMode() const;
    // The window's run, from the operator's execute until it has finished; null otherwise.
    ExchangeRun* run() const;

    void setConditionEditorOpener(ConditionEditorOpener opener) {
        m_openConditionEditor = std::move(opener);
    }
    // The window's own connection to the mail component, which takes the exported files of
    // the attachment queue into its next mail; null: exported files stay queued.
    void setMailTransport(MailHandOver* transport) { m_mailTransport = transport; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    QWidget* createSelector();
    QWidget* createOptionColumn();
    QWidget* createButtons();

    void onMoveInClicked();
    void onTreeDoubleClicked(QTreeWidgetItem* node);
    void onListRowChanged(int row);
    void onImportModeChosen(bool checked);
    void onExportModeChosen(bool checked);
    void onOperationStringChanged(const QString& operationString);
    void onExecuteClicked();
    void onRunFinished();
    void onCancelClicked();
    void onSettingClicked();
    void onQuitClicked();

    void showSelectedEntry();
    void resetOptionControls();
    void setRunning(bool running);
    void closeWindow();

    Services& m_services;
    const LoginContext& m_login;
    AttachmentQueue& m_attachments;
    Catalogue m_catalogue;
    OperationsFile m_operations;
    ConditionEditorOpener m_openConditionEditor;
    MailHandOver* m_mailTransport = nullptr;
    QPointer<ExchangeRun> m_run;

    QGroupBox* m_selector = nullptr;
    CatalogueTree* m_tree = nullptr;
    ExchangeItemList* m_list = nullptr;
    QPushButton* m_moveIn = nullptr;
    QPushButton* m_moveOut = nullptr;
    QRadioButton* m_importMode = nullptr;
    QRadioButton* m_exportMode = nullptr;
    QComboBox* m_code = nullptr;
    OperationPanel* m_panel = nullptr;
    QCheckBox* m_transfer = nullptr;
    QCheckBox* m_mail = nullptr;
    RunProgressFrame* m_waiting = nullptr;
    ImportFileChecker* m_checker = nullptr;
    QPushButton* m_execute = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_setting = nullptr;
    QPushButton* m_quit = nullptr;
};

} // namespace kvx

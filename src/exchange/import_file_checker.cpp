#include "exchange/import_file_checker.h"

#include "catalogue/catalogue.h"
#include "catalogue/exchange_item_list.h"
#include "catalogue/operations_file.h"
#include "documents/import_file_check.h"
#include "documents/operation_check.h"
#include "platform/prompter.h"
#include "platform/services.h"
#include "platform/shared_texts.h"
#include "runs/run_setup.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QRadioButton>
#include <QThread>

namespace kvx {

namespace {

const QString kCrLf = SharedText::reportLineEnd();

// One listed item as the check takes it on its thread.
struct CheckTask {
    ImportFileCheck::Item item;
    QString path;
    QStringList operationFindings;
    QString note; // why the item is not checked
};

QString reportOf(const AppFolder& folder, const QList<CheckTask>& tasks) {
    QString report = QStringLiteral("导入文件检查") + kCrLf;
    for (const CheckTask& task : tasks) {
        report += kCrLf;
        if (!task.note.isEmpty())
            report += task.item.label + QStringLiteral("：") + task.note + kCrLf + kCrLf;
        else
            report +=
                ImportFileCheck::checkFile(folder, task.path, task.item, task.operationFindings)
                    .report(task.item.label, task.path);
    }
    return report;
}

} // namespace

ImportFileChecker::ImportFileChecker(Services& services, const Catalogue& catalogue,
                                     const OperationsFile& operations, ExchangeItemList& list,
                                     QRadioButton& importMode, QComboBox& senderCode)
    : QObject(&list)
    , m_services(services)
    , m_catalogue(catalogue)
    , m_operations(operations)
    , m_list(list)
    , m_importMode(importMode)
    , m_senderCode(senderCode)
    , m_action(new QAction(QStringLiteral("检查导入文件(&K)"), &list)) {
    m_action->setObjectName(QStringLiteral("miCheckImport"));
    list.addAction(m_action);
    list.setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(m_action, &QAction::triggered, this, &ImportFileChecker::check);
    connect(&importMode, &QRadioButton::toggled, this, &ImportFileChecker::updateAction);
    connect(list.model(), &QAbstractItemModel::rowsInserted, this,
            &ImportFileChecker::updateAction);
    connect(list.model(), &QAbstractItemModel::rowsRemoved, this, &ImportFileChecker::updateAction);
    updateAction();
}

ImportFileChecker::~ImportFileChecker() {
    if (m_worker) {
        m_worker->wait();
        delete m_worker;
        QApplication::restoreOverrideCursor();
    }
}

void ImportFileChecker::setRunning(bool running) {
    m_running = running;
    updateAction();
}

void ImportFileChecker::updateAction() {
    m_action->setVisible(m_importMode.isChecked());
    m_action->setEnabled(m_importMode.isChecked() && m_list.count() > 0 && !m_running &&
                         !isChecking());
}

// The files are found in list order, each by the dialog the import run would show; then all
// are checked at once.
void ImportFileChecker::check() {
    if (!m_action->isEnabled())
        return;
    const QString code = m_senderCode.currentText().trimmed();
    RunSetup setup(m_services.folder);
    setup.loadConditions(false); // without a condition file every file is chosen
    QList<CheckTask> tasks;
    for (const SelectedExchangeItem& selected : m_list.selection().items()) {
        CheckTask task;
        QString error;
        const CatalogueItem item = m_catalogue.item(selected.label, &error);
        task.item = {selected.label, item.interfaceName};
        if (item.isNull()) {
            task.note = error;
            tasks.append(task);
            continue;
        }
        task.path = setup.conditionItem(item.interfaceName, selected.label, code)
                        .attribute(QStringLiteral("importfile"))
                        .trimmed();
        if (task.path.isEmpty())
            task.path =
                m_services.prompter.openFile(SharedText::importFileTitle(selected.label),
                                             SharedText::xmlFileFilter(), m_services.folder.root());
        if (task.path.isEmpty())
            task.note = QStringLiteral("没有默认文件，也未选择文件，未检查。");
        task.operationFindings = checkOperationString(selected.operationString, selected.label,
                                                      m_operations, m_services.folder);
        tasks.append(task);
    }
    const AppFolder folder = m_services.folder;
    m_worker = QThread::create([this, folder, tasks] {
        const QString report = reportOf(folder, tasks);
        QMetaObject::invokeMethod(this, [this, report] { show(report); });
    });
    updateAction();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_worker->start();
}

void ImportFileChecker::show(const QString& report) {
    m_worker->wait();
    delete m_worker;
    m_worker = nullptr;
    QApplication::restoreOverrideCursor();
    updateAction();
    m_services.prompter.displayText(report);
    Q_EMIT checked();
}

} // namespace kvx

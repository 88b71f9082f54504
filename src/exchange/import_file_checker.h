#pragma once

#include <QObject>

class QAction;
class QComboBox;
class QRadioButton;
class QThread;

namespace kvx {

class Catalogue;
class ExchangeItemList;
class OperationsFile;
struct Services;

// The exchange window's menu entry "检查导入文件" on its selection list: the dry run of every
// listed import item before anything is sent. Each item's file is found as the import run
// finds it (the item's default import file for the registration code, else one the operator
// chooses); the files are checked against their items on a thread of their own, so that a
// document of many megabytes does not hold the window, and the findings of all of them are
// shown in the report window. Offered in import mode while the list holds items and no run
// or check is under way.
class ImportFileChecker : public QObject {
    Q_OBJECT
public:
    ImportFileChecker(Services& services, const Catalogue& catalogue,
                      const OperationsFile& operations, ExchangeItemList& list,
                      QRadioButton& importMode, QComboBox& senderCode);
    ~ImportFileChecker() override;

    QAction* action() const { return m_action; }
    bool isChecking() const { return m_worker != nullptr; }
    // While the window runs an import or export the entry is not offered.
    void setRunning(bool running);

Q_SIGNALS:
    // The report has been shown.
    void checked();

private:
    void updateAction();
    void check();
    void show(const QString& report);

    Services& m_services;
    const Catalogue& m_catalogue;
    const OperationsFile& m_operations;
    ExchangeItemList& m_list;
    QRadioButton& m_importMode;
    QComboBox& m_senderCode;
    QAction* m_action;
    QThread* m_worker = nullptr;
    bool m_running = false;
};

} // namespace kvx

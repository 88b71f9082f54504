#pragma once

#include "platform/prompter.h"
#include "platform/worker_thread.h"

#include <QList>
#include <QWidget>

class QAction;
class QListWidget;
class QStatusBar;
class QToolBar;

namespace kvx {

class MailSettings;
class MailTransport;
struct MailDocument;
struct MailTransferResult;
struct PathSettings;
struct Services;

// The mail transfer window `FrmMail` ("KVX远程数据传输工具"): it asks the mail component to
// send and receive, fills each new outgoing exchange mail with the interface documents of the
// export folder (one chosen file, or every file of the folder) and writes the documents of
// each arrived exchange mail into the import folder. Both folders come from "\xml.ini" and are
// set in `FrmPath` from the toolbar, where the mail password is asked for as well when the
// system's keyring keeps it.
//
// A transfer runs while the window stays responsive: the component waits for the servers on
// a worker thread, and the documents are stored and written on one. Closing the window during
// a transfer asks, then ends the transfer where nothing is lost and closes.
class FrmMail : public QWidget {
    Q_OBJECT
public:
    FrmMail(Services& services, PathSettings& paths, MailSettings& settings,
            MailTransport& transport, QWidget* parent = nullptr);

    // Connects the window to the transport; with an empty configuration text nothing is
    // connected and no event will arrive.
    void initMail();

    void Mail1_AfterNewMail(const QString& strfilename);
    void Mail1_OnGetFrom(const QString& strfilename);

    // Room for the export folder's list and the whole status bar hint.
    QSize sizeHint() const override { return {560, 320}; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void createToolbar();
    QAction* addButton(const QString& caption, const QString& key, const QString& toolTip,
                       int icon);
    void onReceiveTriggered();
    void onTransferFinished(const MailTransferResult& result);
    // `passwordWanted`: the keyring holds no mail password; the transfer follows once one is
    // typed and kept.
    void openPathDialog(bool passwordWanted);
    void keepPassword(const QString& password, bool transferAfter);
    // Receive and the path dialog wait while a transfer or the password's keeping is under way.
    void setBusy(bool busy);

    // FlbOut: the "*.xml" files of the export folder, in name order.
    void listExportFolder();
    void fillFromChosenFile(const QString& databasePath);
    void fillFromExportFolder(const QString& databasePath);
    // `single`: a mail of one chosen file, which does not go out when the file is refused.
    void fill(const QString& databasePath, const QList<MailDocument>& documents, bool single);
    void showResult(const MailTransferResult& result);
    void inform(const QString& text, Prompter::Icon icon = Prompter::Icon::Information);
    void showRefusals(const QStringList& refusals);

    Services& m_services;
    PathSettings& m_paths;
    MailSettings& m_settings;
    MailTransport& m_transport;
    QToolBar* m_toolbar = nullptr;
    QAction* m_receive = nullptr;
    QAction* m_path = nullptr;
    QListWidget* m_files = nullptr;
    QStatusBar* m_status = nullptr;
    bool m_busy = false;
    bool m_closeWhenIdle = false;
    WorkerThreads m_workers;
};

} // namespace kvx

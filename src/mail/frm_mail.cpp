#include "mail/frm_mail.h"

#include "login/product.h"
#include "mail/init_mail.h"
#include "mail/mail_contents.h"
#include "platform/keyring.h"
#include "platform/mail/mail_transport.h"
#include "platform/services.h"
#include "platform/shared_texts.h"
#include "platform/work_window.h"
#include "settings/frm_path.h"
#include "settings/mail_settings.h"
#include "settings/path_settings.h"

#include <QCloseEvent>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QListWidget>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace kvx {

namespace {

const QString kHint = QStringLiteral("进行数据传输时请关闭其它邮件服务软件（如outlook等）");

} // namespace

FrmMail::FrmMail(Services& services, PathSettings& paths, MailSettings& settings,
                 MailTransport& transport, QWidget* parent)
    : QWidget(parent)
    , m_services(services)
    , m_paths(paths)
    , m_settings(settings)
    , m_transport(transport) {
    setObjectName(QStringLiteral("FrmMail"));
    setWindowTitle(QStringLiteral("KVX远程数据传输工具"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    createToolbar();
    m_files = new QListWidget(this);
    m_files->setObjectName(QStringLiteral("FlbOut"));
    m_files->setToolTip(QStringLiteral("导出目录中的数据文件"));
    m_status = new QStatusBar(this);
    m_status->setObjectName(QStringLiteral("SBar"));
    m_status->setSizeGripEnabled(false);
    layout->addWidget(m_toolbar);
    layout->addWidget(m_files, 1);
    layout->addWidget(m_status);

    connect(&m_transport, &MailTransport::progressed, m_status,
            [this](const QString& text) { m_status->showMessage(text); });
    connect(&m_transport, &MailTransport::finished, this, &FrmMail::onTransferFinished);
    initMail();
    m_paths.load(m_services.folder);
    listExportFolder();
}

void FrmMail::createToolbar() {
    m_toolbar = new QToolBar(this);
    m_toolbar->setObjectName(QStringLiteral("Toolbar1"));
    m_toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_toolbar->installEventFilter(this);
    addButton(QStringLiteral("导出数据"), QStringLiteral("Send"), QStringLiteral("导出数据文件"),
              QStyle::SP_FileIcon);
    m_receive = addButton(QStringLiteral("发送/接收"), QStringLiteral("Receive"),
                          QStringLiteral("发送/接收文件"), QStyle::SP_BrowserReload);
    connect(m_receive, &QAction::triggered, this, &FrmMail::onReceiveTriggered);
    m_path = addButton(QStringLiteral("路径设置"), QStringLiteral("Path"),
                       QStringLiteral("设置默认路径"), QStyle::SP_DirOpenIcon);
    connect(m_path, &QAction::triggered, this, [this] { openPathDialog(false); });
    connect(addButton(QStringLiteral("退出"), QStringLiteral("Quit"), QStringLiteral("退出"),
                      QStyle::SP_DialogCloseButton),
            &QAction::triggered, this, [this] { closeWorkWindow(this); });
}

QAction* FrmMail::addButton(const QString& caption, const QString& key, const QString& toolTip,
                            int icon) {
    QAction* action =
        m_toolbar->addAction(style()->standardIcon(QStyle::StandardPixmap(icon)), caption);
    action->setObjectName(key);
    action->setToolTip(toolTip);
    // Reached with Tab as well as with the mouse.
    QWidget* button = m_toolbar->widgetForAction(action);
    button->setFocusPolicy(Qt::StrongFocus);
    button->installEventFilter(this);
    return action;
}

bool FrmMail::eventFilter(QObject* watched, QEvent* event) {
    if (!m_busy && (event->type() == QEvent::Enter || event->type() == QEvent::MouseMove))
        m_status->showMessage(kHint);
    return QWidget::eventFilter(watched, event);
}

void FrmMail::initMail() {
    m_settings.load(m_services.folder);
    kvx::initMail(m_transport, m_settings.configText(), this, &FrmMail::Mail1_AfterNewMail,
                  &FrmMail::Mail1_OnGetFrom);
}

void FrmMail::listExportFolder() {
    m_files->clear();
    m_files->addItems(
        QDir(m_paths.exportPath)
            .entryList({QStringLiteral("*.xml")}, QDir::Files, QDir::Name | QDir::IgnoreCase));
}

void FrmMail::setBusy(bool busy) {
    m_busy = busy;
    m_receive->setEnabled(!busy);
    m_path->setEnabled(!busy);
    if (!busy && m_closeWhenIdle)
        closeWorkWindow(this);
}

void FrmMail::onReceiveTriggered() {
    if (!m_transport.transfer())
        return;
    setBusy(true);
    m_status->showMessage(QStringLiteral("正在发送和接收邮件……"));
}

void FrmMail::onTransferFinished(const MailTransferResult& result) {
    if (m_closeWhenIdle) {
        setBusy(false);
        return;
    }
    if (result.passwordMissing) {
        m_status->showMessage(QStringLiteral("系统密钥环中没有邮件密码，请输入"));
        openPathDialog(true);
        return;
    }
    setBusy(false);
    showResult(result);
}

void FrmMail::closeEvent(QCloseEvent* event) {
    // The transfer answers its events through this window: it ends first.
    if (m_busy && !m_closeWhenIdle &&
        m_services.prompter.question(QStringLiteral("邮件传输正在进行，确实想要结束？"),
                                     windowTitle(), Prompter::Buttons::OkCancel,
                                     Prompter::Icon::Question) == Prompter::Answer::Ok &&
        m_busy) {
        m_closeWhenIdle = true;
        m_transport.cancel();
        m_status->showMessage(QStringLiteral("正在结束邮件传输，结束后关闭窗口……"));
    }
    // The transfer may have ended while the question was open.
    if (m_busy)
        event->ignore();
    else
        QWidget::closeEvent(event);
}

void FrmMail::showResult(const MailTransferResult& result) {
    if (m_transport.configText().isEmpty()) {
        m_status->showMessage(QStringLiteral("未设置邮件传输方式（") +
                              MailSettings::relativePath().mid(1) + QStringLiteral("）"));
        return;
    }
    QString summary = QStringLiteral("%1；接收 %2 封邮件")
                          .arg(result.newMailSent ? QStringLiteral("已发出 1 封邮件")
                                                  : QStringLiteral("未发出邮件"))
                          .arg(result.taken);
    if (result.left > 0)
        summary += QStringLiteral("，%1 封留待下次接收").arg(result.left);
    m_status->showMessage(summary);
    for (const QString& notice : result.notices)
        inform(notice, Prompter::Icon::Warning);
    if (result.ok())
        return;
    QString errors = result.errors.join(QLatin1Char('\n'));
    if (m_transport.config().usesKeyring())
        errors +=
            QStringLiteral("\n邮件密码保存在系统密钥环中；密码不对时，请在“路径设置”中重新输入。");
    inform(errors);
}

void FrmMail::openPathDialog(bool passwordWanted) {
    auto* dialog = new FrmPath(m_paths, m_services.folder, m_services.prompter, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    if (m_transport.config().usesKeyring())
        dialog->showMailPassword(passwordWanted);
    connect(dialog, &QDialog::finished, this, [this, dialog, passwordWanted](int answer) {
        listExportFolder();
        const QString password = answer == QDialog::Accepted ? dialog->mailPassword() : QString();
        if (!password.isEmpty()) {
            keepPassword(password, passwordWanted);
        } else if (passwordWanted) {
            m_status->showMessage(QStringLiteral("未输入邮件密码，未进行邮件传输"));
            setBusy(false);
        }
    });
    // Modal to the window, without a loop of its own: the answer comes with `finished`.
    dialog->open();
}

void FrmMail::keepPassword(const QString& password, bool transferAfter) {
    setBusy(true);
    Keyring::write(m_transport.config().keyringKey(), password, this,
                   [this, transferAfter](const QString& error) {
                       if (!error.isEmpty()) {
                           setBusy(false);
                           inform(QStringLiteral("无法把邮件密码存入系统密钥环：") + error);
                       } else if (!transferAfter || m_closeWhenIdle || !m_transport.transfer()) {
                           setBusy(false);
                       }
                   });
}

void FrmMail::inform(const QString& text, Prompter::Icon icon) {
    m_services.prompter.message(text, Product::applicationTitle(), icon);
}

// Documents that were not stored or written, one message each.
void FrmMail::showRefusals(const QStringList& refusals) {
    for (const QString& refusal : refusals)
        m_services.prompter.message(refusal, Product::applicationTitle(), Prompter::Icon::None);
}

void FrmMail::Mail1_AfterNewMail(const QString& strfilename) {
    // Only "false" picks one file; any other value sends the whole folder.
    if (m_paths.exportWholeFolder.toUpper() == QLatin1String("FALSE"))
        fillFromChosenFile(strfilename);
    else
        fillFromExportFolder(strfilename);
}

void FrmMail::fillFromChosenFile(const QString& databasePath) {
    const QString chosen = m_services.prompter.openFile(
        QStringLiteral("选择要发送的数据文件"), SharedText::xmlFileFilter(), m_paths.exportPath);
    if (chosen.isEmpty()) {
        inform(QStringLiteral("已取消选择文件，本封邮件不发送。"));
        m_transport.acknowledgeNewMail(true);
        return;
    }
    fill(databasePath, {{QStringLiteral("0"), chosen}}, true);
}

void FrmMail::fillFromExportFolder(const QString& databasePath) {
    if (!QFileInfo(m_paths.exportPath).isDir()) {
        inform(QDir::toNativeSeparators(m_paths.exportPath) +
               QStringLiteral("目录不存在，未发送邮件！"));
        m_transport.acknowledgeNewMail(true);
        return;
    }
    listExportFolder();
    QList<MailDocument> documents;
    const QDir folder(m_paths.exportPath);
    for (int i = 0; i < m_files->count(); ++i)
        documents.append({QString::number(i), folder.filePath(m_files->item(i)->text())});
    fill(databasePath, documents, false);
}

void FrmMail::fill(const QString& databasePath, const QList<MailDocument>& documents, bool single) {
    m_workers.start(
        this, [databasePath, documents] { return fillMail(databasePath, documents); },
        [this, single](const FillOutcome& filled) {
            showRefusals(filled.refusals);
            if (!filled.ok())
                inform(filled.error);
            m_transport.acknowledgeNewMail(!filled.ok() || (single && filled.stored == 0));
        });
}

void FrmMail::Mail1_OnGetFrom(const QString& strfilename) {
    m_workers.start(
        this,
        [strfilename, importPath = m_paths.importPath] {
            return receiveMail(strfilename, importPath);
        },
        [this](const ExtractOutcome& received) {
            if (!received.renamed.isEmpty())
                inform(received.renamed.join(QLatin1Char('\n')));
            showRefusals(received.refusals);
            if (!received.ok())
                inform(received.error);
            // A mail stays in the mailbox until every one of its documents is written.
            m_transport.acknowledgeGetFrom(!received.allWritten());
        });
}

} // namespace kvx

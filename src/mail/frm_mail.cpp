#include "mail/frm_mail.h"

#include "login/product.h"
#include "mail/init_mail.h"
#include "mail/mail_contents.h"
#include "platform/prompter.h"
#include "platform/services.h"
#include "platform/work_window.h"
#include "platform/xml/xml_document.h"
#include "settings/frm_path.h"
#include "settings/mail_settings.h"
#include "settings/path_settings.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QEvent>
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
    connect(addButton(QStringLiteral("路径设置"), QStringLiteral("Path"),
                      QStringLiteral("设置默认路径"), QStyle::SP_DirOpenIcon),
            &QAction::triggered, this, &FrmMail::onPathTriggered);
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
    if (event->type() == QEvent::Enter || event->type() == QEvent::MouseMove)
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

void FrmMail::onReceiveTriggered() {
    m_receive->setEnabled(false);
    m_status->showMessage(QStringLiteral("正在发送和接收邮件……"));
    m_transferring = true;
    const MailTransferResult result = m_transport.transfer();
    m_transferring = false;
    m_receive->setEnabled(true);
    showResult(result);
    if (m_closeWhenIdle)
        closeWorkWindow(this);
}

void FrmMail::closeEvent(QCloseEvent* event) {
    // The transfer on the stack answers its events through this window: close after it.
    if (m_transferring) {
        m_closeWhenIdle = true;
        event->ignore();
        return;
    }
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
    if (!result.ok())
        inform(result.errors.join(QLatin1Char('\n')));
}

void FrmMail::onPathTriggered() {
    FrmPath dialog(m_paths, m_services.folder, m_services.prompter, this);
    dialog.exec();
    listExportFolder();
}

void FrmMail::inform(const QString& text) {
    m_services.prompter.message(text, Product::applicationTitle(), Prompter::Icon::Information);
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
        QStringLiteral("选择要发送的数据文件"),
        QStringLiteral("Xml Fiels (*.xml)|*.xml|All Files (*.*)|*.*"), m_paths.exportPath);
    if (chosen.isEmpty()) {
        inform(QStringLiteral("已取消选择文件，本封邮件不发送。"));
        m_transport.acknowledgeNewMail(true);
        return;
    }
    if (XmlDocument::fromFile(chosen).isNull()) {
        // The mail is neither filled nor acknowledged: it does not go out.
        showRefusals({invalidDocumentMessage(chosen)});
        return;
    }
    fill(databasePath, {{QStringLiteral("0"), chosen}});
}

void FrmMail::fillFromExportFolder(const QString& databasePath) {
    listExportFolder();
    QList<MailDocument> documents;
    const QDir folder(m_paths.exportPath);
    for (int i = 0; i < m_files->count(); ++i)
        documents.append({QString::number(i), folder.filePath(m_files->item(i)->text())});
    fill(databasePath, documents);
}

void FrmMail::fill(const QString& databasePath, const QList<MailDocument>& documents) {
    const FillOutcome filled = fillMail(databasePath, documents);
    showRefusals(filled.refusals);
    if (!filled.ok()) {
        inform(filled.error);
        m_transport.acknowledgeNewMail(true);
        return;
    }
    m_transport.acknowledgeNewMail(false);
}

void FrmMail::Mail1_OnGetFrom(const QString& strfilename) {
    QApplication::processEvents();
    const ExtractOutcome received = receiveMail(strfilename, m_paths.importPath);
    showRefusals(received.refusals);
    if (!received.ok()) {
        inform(received.error);
        m_transport.acknowledgeGetFrom(true);
        return;
    }
    m_transport.acknowledgeGetFrom(false);
}

} // namespace kvx

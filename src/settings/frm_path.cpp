#include "settings/frm_path.h"

#include "platform/app_folder.h"
#include "platform/named_widgets.h"
#include "platform/prompter.h"
#include "settings/path_dlg.h"
#include "settings/path_settings.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace kvx {

FrmPath::FrmPath(PathSettings& settings, const AppFolder& folder, Prompter& prompter,
                 QWidget* parent)
    : QDialog(parent)
    , m_settings(settings)
    , m_folder(folder)
    , m_prompter(prompter)
    , m_importBox(new QLineEdit(this))
    , m_exportBox(new QLineEdit(this))
    , m_importBrowse(makeButton(QStringLiteral("..."), QStringLiteral("Cmdin"), this))
    , m_exportBrowse(makeButton(QStringLiteral("..."), QStringLiteral("Cmdout"), this))
    , m_wholeFolder(new QCheckBox(QStringLiteral("是否导出指定目录下所有数据文件"), this))
    , m_passwordLabel(makeLabel(QStringLiteral("邮件密码："), QStringLiteral("Label3"), this))
    , m_passwordBox(makeBox(QStringLiteral("TxtMailPwd"), this)) {
    setWindowTitle(QStringLiteral("设置导入导出目录"));
    auto* importLabel = new QLabel(QStringLiteral("导入文件路径："), this);
    importLabel->setObjectName(QStringLiteral("Label1"));
    auto* exportLabel = new QLabel(QStringLiteral("导出文件路径："), this);
    exportLabel->setObjectName(QStringLiteral("Label2"));
    m_importBox->setObjectName(QStringLiteral("TxtInXml"));
    m_exportBox->setObjectName(QStringLiteral("TxtOutXml"));
    m_wholeFolder->setObjectName(QStringLiteral("CheckOutPath"));
    QPushButton* ok = makeButton(QStringLiteral("确  定"), QStringLiteral("cmdOk"), this);
    QPushButton* cancel = makeButton(QStringLiteral("取  消"), QStringLiteral("CmdEsc"), this);

    auto* grid = new QGridLayout(this);
    grid->addWidget(importLabel, 0, 0);
    grid->addWidget(m_importBox, 0, 1);
    grid->addWidget(m_importBrowse, 0, 2);
    grid->addWidget(exportLabel, 1, 0);
    grid->addWidget(m_exportBox, 1, 1);
    grid->addWidget(m_exportBrowse, 1, 2);
    grid->addWidget(m_passwordLabel, 2, 0);
    grid->addWidget(m_passwordBox, 2, 1, 1, 2);
    grid->addWidget(m_wholeFolder, 3, 0, 1, 3);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    grid->addLayout(buttons, 4, 0, 1, 3);
    m_passwordBox->setEchoMode(QLineEdit::Password);
    m_passwordLabel->hide();
    m_passwordBox->hide();
    resize(480, sizeHint().height());

    m_importBox->setText(m_settings.importPath);
    m_exportBox->setText(m_settings.exportPath);
    m_wholeFolder->setChecked(m_settings.exportsWholeFolder());

    connect(m_importBox, &QLineEdit::returnPressed, this, &FrmPath::onImportReturnPressed);
    connect(m_exportBox, &QLineEdit::returnPressed, this, &FrmPath::onExportReturnPressed);
    connect(m_importBrowse, &QPushButton::clicked, this, &FrmPath::onImportBrowseClicked);
    connect(m_exportBrowse, &QPushButton::clicked, this, &FrmPath::onExportBrowseClicked);
    connect(ok, &QPushButton::clicked, this, &FrmPath::onOkClicked);
    connect(m_passwordBox, &QLineEdit::returnPressed, ok, &QPushButton::click);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void FrmPath::showMailPassword(bool required) {
    m_passwordRequired = required;
    m_passwordBox->setPlaceholderText(required ? QString() : QStringLiteral("不改密码请留空"));
    m_passwordLabel->show();
    m_passwordBox->show();
    m_passwordBox->setFocus();
}

QString FrmPath::mailPassword() const {
    return m_passwordBox->text();
}

void FrmPath::onImportReturnPressed() {
    if (m_importBox->text().isEmpty())
        m_importBrowse->click();
    else
        focusNextChild();
}

void FrmPath::onExportReturnPressed() {
    if (m_exportBox->text().isEmpty())
        m_exportBrowse->click();
    else
        focusNextChild();
}

void FrmPath::onImportBrowseClicked() {
    browseInto(m_importBox);
}

void FrmPath::onExportBrowseClicked() {
    browseInto(m_exportBox);
}

void FrmPath::browseInto(QLineEdit* box) {
    if (!m_pathDlg)
        m_pathDlg = new PathDlg(this);
    const QString chosen = m_pathDlg->openPath(this, box->text());
    if (!chosen.isEmpty())
        box->setText(chosen);
}

QString FrmPath::checkFolders(const QString& importFolder, const QString& exportFolder) const {
    if (importFolder.isEmpty())
        return QStringLiteral("导入路径为空！");
    if (exportFolder.isEmpty())
        return QStringLiteral("导出路径为空！");
    if (!QFileInfo::exists(importFolder))
        return QStringLiteral("导入路径不存在！请修改！");
    if (!QFileInfo::exists(exportFolder))
        return QStringLiteral("导出路径不存在！请修改！");
    // "\xml.ini" cannot hold a double quote; such a folder would not read back.
    if (importFolder.contains(QLatin1Char('"')))
        return QStringLiteral("导入路径中不能含有双引号！请修改！");
    if (exportFolder.contains(QLatin1Char('"')))
        return QStringLiteral("导出路径中不能含有双引号！请修改！");
    return {};
}

void FrmPath::onOkClicked() {
    const QString importFolder = m_importBox->text().trimmed();
    const QString exportFolder = m_exportBox->text().trimmed();
    const QString refusal = checkFolders(importFolder, exportFolder);
    if (!refusal.isEmpty()) {
        m_prompter.message(refusal, windowTitle(), Prompter::Icon::Information);
        return;
    }
    if (m_passwordRequired && m_passwordBox->text().isEmpty()) {
        m_prompter.message(QStringLiteral("请输入邮件密码！"), windowTitle(),
                           Prompter::Icon::Information);
        m_passwordBox->setFocus();
        return;
    }
    m_settings.importPath = importFolder;
    m_settings.exportPath = exportFolder;
    m_settings.exportWholeFolder =
        m_wholeFolder->isChecked() ? QStringLiteral("true") : QStringLiteral("false");
    QString error;
    if (!m_settings.save(m_folder, &error)) {
        // The folders stay in force for this session; the operator learns they were not kept.
        m_prompter.message(error, QStringLiteral("KVX工具"), Prompter::Icon::Information);
    }
    accept();
}

} // namespace kvx

#include "catalogue/catalogue_tree.h"
#include "catalogue/exchange_item_list.h"
#include "catalogue/operation_panel.h"
#include "exchange/frm_import.h"
#include "platform/named_widgets.h"
#include "runs/run_progress_frame.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

// The controls of the exchange window and where they sit; what they do is in frm_import.cpp.

namespace kvx {

void FrmImport::createControls() {
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(createSelector(), 1);
    layout->addWidget(createOptionColumn());
}

QWidget* FrmImport::createSelector() {
    m_selector = named(new QGroupBox(this), QStringLiteral("frmSelector"));
    m_tree = named(new CatalogueTree(m_selector), QStringLiteral("Dir"));
    m_tree->setHeaderHidden(true);
    // Long labels scroll rather than being cut short.
    m_tree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_tree->header()->setStretchLastSection(false);
    m_list = named(new ExchangeItemList(m_selector), QStringLiteral("lstSelected"));
    m_moveIn = named(new QPushButton(QStringLiteral(">"), m_selector), QStringLiteral("cmdMoveIn"));
    m_moveOut =
        named(new QPushButton(QStringLiteral("<"), m_selector), QStringLiteral("cmdMoveOut"));
    m_importMode = named(new QRadioButton(QStringLiteral("外部XML文件数据导入M6"), m_selector),
                         QStringLiteral("OptIn"));
    m_exportMode = named(new QRadioButton(QStringLiteral("M6数据导出XML文件"), m_selector),
                         QStringLiteral("OptOut"));
    m_code = named(new QComboBox(m_selector), QStringLiteral("cmbCode"));
    m_code->setEditable(true);
    m_code->setInsertPolicy(QComboBox::NoInsert);

    auto* moveButtons = new QVBoxLayout;
    moveButtons->addStretch();
    moveButtons->addWidget(m_moveIn);
    moveButtons->addWidget(m_moveOut);
    moveButtons->addStretch();

    auto* lists = new QGridLayout;
    lists->addWidget(new QLabel(QStringLiteral("可选项目"), m_selector), 0, 0);
    lists->addWidget(new QLabel(QStringLiteral("已选项目"), m_selector), 0, 2);
    lists->addWidget(m_tree, 1, 0);
    lists->addLayout(moveButtons, 1, 1);
    lists->addWidget(m_list, 1, 2);
    lists->setColumnStretch(0, 3);
    lists->setColumnStretch(2, 2);

    auto* modes = new QHBoxLayout;
    modes->addWidget(m_importMode);
    modes->addWidget(m_exportMode);
    modes->addStretch();
    auto* code = new QHBoxLayout;
    code->addWidget(new QLabel(QStringLiteral("注册编码"), m_selector));
    code->addWidget(m_code, 1);

    auto* layout = new QVBoxLayout(m_selector);
    layout->addLayout(lists, 1);
    layout->addLayout(modes);
    layout->addLayout(code);
    return m_selector;
}

QWidget* FrmImport::createOptionColumn() {
    auto* column = new QWidget(this);
    m_panel = new OperationPanel(column);
    m_transfer = named(new QCheckBox(QStringLiteral("根据数据映射转换"), column),
                       QStringLiteral("chkTransfer"));
    m_mail =
        named(new QCheckBox(QStringLiteral("邮件发送导出"), column), QStringLiteral("chkMail"));
    m_waiting = new RunProgressFrame(column);
    // Option boxes make the options frame taller; what follows it moves down in the layout.
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_panel);
    layout->addWidget(m_transfer);
    layout->addWidget(m_mail);
    layout->addWidget(m_waiting);
    layout->addStretch();
    layout->addWidget(createButtons());
    column->setMinimumWidth(260);
    return column;
}

QWidget* FrmImport::createButtons() {
    auto* buttons = new QWidget(this);
    m_execute =
        named(new QPushButton(QStringLiteral("执行(&E)"), buttons), QStringLiteral("cmdExcute"));
    m_cancel = named(new QPushButton(QStringLiteral("取消"), buttons), QStringLiteral("cmdCancel"));
    m_setting =
        named(new QPushButton(QStringLiteral("设置(&S)"), buttons), QStringLiteral("cmdSetting"));
    m_quit = named(new QPushButton(QStringLiteral("退出(&X)"), buttons), QStringLiteral("cmdQuit"));
    auto* layout = new QGridLayout(buttons);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_execute, 0, 0);
    layout->addWidget(m_cancel, 0, 1);
    layout->addWidget(m_setting, 1, 0);
    layout->addWidget(m_quit, 1, 1);
    return buttons;
}

} // namespace kvx

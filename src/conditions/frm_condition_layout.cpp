#include "catalogue/catalogue_tree.h"
#include "conditions/condition_grid.h"
#include "conditions/frm_condition.h"
#include "login/product.h"
#include "platform/named_widgets.h"
#include "platform/services.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>

// The controls of the condition editor and where they sit; what they do is in
// frm_condition.cpp.

namespace kvx {

void FrmCondition::createControls() {
    auto* items = new QVBoxLayout;
    items->addWidget(makeLabel(QStringLiteral("导入导出项目："), QStringLiteral("lblItems"), this));
    m_tree = named(new CatalogueTree(this), QStringLiteral("Dir"));
    // Long labels scroll rather than being cut short.
    m_tree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_tree->header()->setStretchLastSection(false);
    items->addWidget(m_tree);

    // Created in the order of the Tab key: tree, settings frame, buttons.
    QWidget* settings = createSettingsFrame();
    m_save = makeButton(QStringLiteral("保存(&S)"), QStringLiteral("cmdSave"), this);
    m_saveSche = makeButton(QStringLiteral("保存为计划设置"), QStringLiteral("cmdSaveSche"), this);
    m_cancel = makeButton(QStringLiteral("退出(&X)"), QStringLiteral("cmdCancel"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_save);
    buttons->addWidget(m_saveSche);
    buttons->addWidget(m_cancel);

    auto* right = new QVBoxLayout;
    right->addWidget(settings, 1);
    right->addLayout(buttons);

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(items, 1);
    layout->addLayout(right, 3);
    // The design size, 10050 x 6330 twips; smaller, the controls would not fit.
    setMinimumSize(670, 422);
    resize(840, 480);
}

QWidget* FrmCondition::createSettingsFrame() {
    auto* frame = named(new QGroupBox(QStringLiteral("设置"), this), QStringLiteral("Frame1"));
    m_code = named(new QComboBox(frame), QStringLiteral("cmbCode"));
    m_code->setEditable(true);
    m_code->setInsertPolicy(QComboBox::NoInsert);
    // A code is chosen whole: completing "00" to "001" would choose another system's code.
    m_code->setCompleter(nullptr);
    auto* code = new QHBoxLayout;
    code->addWidget(makeLabel(QStringLiteral("注册编码:"), QStringLiteral("lblCode"), frame));
    code->addWidget(m_code, 1);

    m_grid = named(new ConditionGrid(m_services.prompter, Product::applicationTitle(), frame),
                   QStringLiteral("Grid"));
    m_grid->InitGrid();
    m_addLine = makeButton(QStringLiteral("添加行"), QStringLiteral("cmdAddLine"), frame);
    m_delLine = makeButton(QStringLiteral("删除行"), QStringLiteral("cmdDelLine"), frame);
    auto* rowButtons = new QVBoxLayout;
    rowButtons->addWidget(m_addLine);
    rowButtons->addWidget(m_delLine);
    rowButtons->addStretch();
    auto* grid = new QHBoxLayout;
    grid->addWidget(m_grid, 1);
    grid->addLayout(rowButtons);

    auto* layout = new QVBoxLayout(frame);
    layout->addLayout(code);
    layout->addWidget(makeLabel(QStringLiteral("导出数据筛选条件设置："),
                                QStringLiteral("lblConditions"), frame));
    layout->addLayout(grid, 1);
    layout->addWidget(
        makeLabel(QStringLiteral("导入文件默认路径设置："), QStringLiteral("lblImport"), frame));
    layout->addWidget(createPathRow(m_import, m_fileIn, QStringLiteral("txtImport"),
                                    QStringLiteral("cmdFileIn")));
    layout->addWidget(
        makeLabel(QStringLiteral("导出文件默认路径设置："), QStringLiteral("lblExport"), frame));
    layout->addWidget(createPathRow(m_export, m_fileOut, QStringLiteral("txtExport"),
                                    QStringLiteral("cmdFileOut")));
    return frame;
}

QWidget* FrmCondition::createPathRow(QLineEdit*& box, QPushButton*& browse, const QString& boxName,
                                     const QString& browseName) {
    auto* row = new QWidget(this);
    box = makeBox(boxName, row);
    browse = makeButton(QStringLiteral("..."), browseName, row);
    browse->setFixedWidth(browse->fontMetrics().horizontalAdvance(QStringLiteral("...")) + 16);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(box, 1);
    layout->addWidget(browse);
    return row;
}

} // namespace kvx

#include "catalogue/catalogue_tree.h"
#include "catalogue/exchange_item_list.h"
#include "catalogue/operation_panel.h"
#include "conditions/condition_vocabulary.h"
#include "conditions/typing_filter.h"
#include "platform/named_widgets.h"
#include "schedule/frm_schedule.h"
#include "schedule/numeric_ctr.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

// The controls of the schedule editor and where they sit; what they do is in frm_schedule.cpp.

namespace kvx {

namespace {

NumericCtr* spinField(const QString& name, short min, short max, QWidget* parent) {
    auto* field = named(new NumericCtr(parent), name);
    field->setMin(min);
    field->setMax(max);
    field->setMinimumWidth(64);
    return field;
}

QDateEdit* datePicker(const QString& name, QWidget* parent) {
    auto* picker = named(new QDateEdit(parent), name);
    picker->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    picker->setCalendarPopup(true);
    return picker;
}

QVBoxLayout* moveButtons(QPushButton* in, QPushButton* out) {
    auto* layout = new QVBoxLayout;
    layout->addStretch();
    layout->addWidget(in);
    layout->addWidget(out);
    layout->addStretch();
    return layout;
}

} // namespace

void FrmSchedule::createControls() {
    m_code = named(new QComboBox(this), QStringLiteral("cmbCode"));
    m_code->setEditable(true);
    m_code->setInsertPolicy(QComboBox::NoInsert);
    // A code is chosen whole and with its letter case: completing "00" to "001", or taking
    // "ABC" for "abc", would show and save another system's schedule.
    m_code->setCompleter(nullptr);
    // Registration codes are letters, digits and hyphens, as in the condition editor.
    TypingFilter::install(m_code, cmbCode_KeyPress);
    auto* codeRow = new QHBoxLayout;
    auto* codeLabel = new QLabel(QStringLiteral("注册编码："), this);
    codeLabel->setBuddy(m_code);
    codeRow->addWidget(codeLabel);
    codeRow->addWidget(m_code, 1);

    auto* left = new QVBoxLayout;
    left->addLayout(codeRow);
    left->addWidget(createFrequencyFrame());
    left->addWidget(createPeriodFrame());
    left->addStretch();

    auto* top = new QHBoxLayout;
    top->addLayout(left);
    top->addWidget(createOptionFrame(), 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(createLists(), 1);
    layout->addWidget(createButtons());
}

QWidget* FrmSchedule::createFrequencyFrame() {
    m_frequencyFrame =
        named(new QGroupBox(QStringLiteral("执行频率"), this), QStringLiteral("frmFreq"));
    QGroupBox* frame = m_frequencyFrame;
    m_year = named(new QRadioButton(QStringLiteral("按年执行"), frame), QStringLiteral("optYear"));
    m_month =
        named(new QRadioButton(QStringLiteral("按月执行"), frame), QStringLiteral("optMonth"));
    m_week =
        named(new QRadioButton(QStringLiteral("按星期执行"), frame), QStringLiteral("optWeek"));
    m_day = named(new QRadioButton(QStringLiteral("按日执行"), frame), QStringLiteral("optDay"));
    m_monthField = spinField(QStringLiteral("txtMonth"), 1, 12, frame);
    m_dayField = spinField(QStringLiteral("txtDay"), 1, 31, frame);
    m_weekdayField = spinField(QStringLiteral("txtWeekDay"), 1, 7, frame);
    m_hourField = spinField(QStringLiteral("txtHour"), 0, 23, frame);
    m_minuteField = spinField(QStringLiteral("txtMinute"), 0, 59, frame);
    m_monthLabel = makeLabel(QStringLiteral("月份"), QStringLiteral("labMonth"), frame);
    m_dayLabel = makeLabel(QStringLiteral("日期"), QStringLiteral("LabDay"), frame);
    m_weekdayLabel = makeLabel(QStringLiteral("星期"), QStringLiteral("LabWeek"), frame);

    auto* options = new QGridLayout;
    options->addWidget(m_year, 0, 0);
    options->addWidget(m_month, 0, 1);
    options->addWidget(m_week, 1, 0);
    options->addWidget(m_day, 1, 1);
    auto* fields = new QGridLayout;
    fields->addWidget(m_monthLabel, 0, 0);
    fields->addWidget(m_monthField, 0, 1);
    fields->addWidget(m_dayLabel, 0, 2);
    fields->addWidget(m_dayField, 0, 3);
    fields->addWidget(m_weekdayLabel, 0, 4);
    fields->addWidget(m_weekdayField, 0, 5);
    auto* time = new QHBoxLayout;
    time->addWidget(new QLabel(QStringLiteral("时间"), frame));
    time->addWidget(m_hourField);
    time->addWidget(new QLabel(QStringLiteral("时"), frame));
    time->addWidget(m_minuteField);
    time->addWidget(new QLabel(QStringLiteral("分"), frame));
    time->addStretch();
    auto* layout = new QVBoxLayout(frame);
    layout->addLayout(options);
    layout->addLayout(fields);
    layout->addLayout(time);
    return frame;
}

QWidget* FrmSchedule::createPeriodFrame() {
    m_periodFrame =
        named(new QGroupBox(QStringLiteral("执行期间"), this), QStringLiteral("frmPerio"));
    m_begin = datePicker(QStringLiteral("begindate"), m_periodFrame);
    m_end = datePicker(QStringLiteral("enddate"), m_periodFrame);
    auto* layout = new QGridLayout(m_periodFrame);
    layout->addWidget(new QLabel(QStringLiteral("起始日期："), m_periodFrame), 0, 0);
    layout->addWidget(m_begin, 0, 1);
    layout->addWidget(new QLabel(QStringLiteral("终止日期："), m_periodFrame), 1, 0);
    layout->addWidget(m_end, 1, 1);
    return m_periodFrame;
}

QWidget* FrmSchedule::createLists() {
    auto* area = new QWidget(this);
    m_tree = named(new CatalogueTree(area), QStringLiteral("Dir"));
    m_tree->setHeaderHidden(true);
    m_tree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_tree->header()->setStretchLastSection(false);
    m_imports = named(new ExchangeItemList(area), QStringLiteral("lstImport"));
    m_exports = named(new ExchangeItemList(area), QStringLiteral("lstExport"));
    m_importIn = makeButton(QStringLiteral(">"), QStringLiteral("cmdImportIn"), area);
    m_importOut = makeButton(QStringLiteral("<"), QStringLiteral("cmdImportOut"), area);
    m_exportIn = makeButton(QStringLiteral(">"), QStringLiteral("cmdExportIn"), area);
    m_exportOut = makeButton(QStringLiteral("<"), QStringLiteral("cmdExportOut"), area);

    auto* layout = new QGridLayout(area);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(QStringLiteral("可选项目："), area), 0, 0);
    layout->addWidget(m_tree, 1, 0, 3, 1);
    layout->addWidget(new QLabel(QStringLiteral("外部数据导入M6项目："), area), 0, 2);
    layout->addLayout(moveButtons(m_importIn, m_importOut), 1, 1);
    layout->addWidget(m_imports, 1, 2);
    layout->addWidget(new QLabel(QStringLiteral("M6数据导出项目："), area), 2, 2);
    layout->addLayout(moveButtons(m_exportIn, m_exportOut), 3, 1);
    layout->addWidget(m_exports, 3, 2);
    layout->setColumnStretch(0, 3);
    layout->setColumnStretch(2, 2);
    // Tab goes from the tree to the buttons that move its item, then to their list.
    const QList<QWidget*> order = {m_tree,     m_importIn,  m_importOut, m_imports,
                                   m_exportIn, m_exportOut, m_exports};
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
    return area;
}

// The frame "选项" of the exchange window's operation panel, with which list the selected
// entry belongs to above and the conversion boxes below.
QWidget* FrmSchedule::createOptionFrame() {
    m_panel = named(new OperationPanel(this), QStringLiteral("frameOperate"));
    m_panel->operationLabel()->setObjectName(QStringLiteral("lblOperate"));
    m_panel->operationLabel()->setText(QStringLiteral("操作："));
    m_importShown = named(new QRadioButton(QStringLiteral("外部XML文件数据导入M6"), m_panel),
                          QStringLiteral("OptIn"));
    m_exportShown = named(new QRadioButton(QStringLiteral("M6数据导出XML文件"), m_panel),
                          QStringLiteral("OptOut"));
    // They show which list the selected entry is in; choosing an entry sets them.
    for (QRadioButton* shown : {m_importShown, m_exportShown}) {
        shown->setAttribute(Qt::WA_TransparentForMouseEvents);
        shown->setFocusPolicy(Qt::NoFocus);
    }
    m_importConversion = named(new QCheckBox(QStringLiteral("根据对照表转换"), m_panel),
                               QStringLiteral("chkImport"));
    m_exportConversion = named(new QCheckBox(QStringLiteral("根据对照表转换"), m_panel),
                               QStringLiteral("chkExport"));
    m_panel->addControl(m_exportShown, true);
    m_panel->addControl(m_importShown, true);
    m_panel->addControl(m_importConversion, false);
    m_panel->addControl(m_exportConversion, false);
    return m_panel;
}

QWidget* FrmSchedule::createButtons() {
    auto* row = new QWidget(this);
    m_condition = makeButton(QStringLiteral("条件设置(&C)"), QStringLiteral("cmdCondition"), row);
    m_save = makeButton(QStringLiteral("保存(&S)"), QStringLiteral("cmdSave"), row);
    m_ok = makeButton(QStringLiteral("退出(&X)"), QStringLiteral("cmdOk"), row);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addStretch();
    layout->addWidget(m_condition);
    layout->addWidget(m_save);
    layout->addWidget(m_ok);
    return row;
}

} // namespace kvx

#include "replace/frm_replace.h"

#include "login/product.h"
#include "platform/named_widgets.h"
#include "platform/prompter.h"
#include "platform/services.h"
#include "platform/work_window.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <functional>

namespace kvx {

namespace {

QRadioButton* makeOption(const QString& caption, const QString& name, QWidget* parent) {
    return named(new QRadioButton(caption, parent), name);
}

// A frame holding the two option buttons of one choice.
QGroupBox* makeChoiceFrame(const QString& caption, const QString& name, QRadioButton* first,
                           QRadioButton* second, QWidget* parent) {
    QGroupBox* frame = named(new QGroupBox(caption, parent), name);
    auto* layout = new QHBoxLayout(frame);
    layout->addWidget(first);
    layout->addWidget(second);
    layout->addStretch();
    return frame;
}

void whenChecked(QRadioButton* option, QObject* context, std::function<void()> action) {
    QObject::connect(option, &QRadioButton::toggled, context, [action](bool checked) {
        if (checked)
            action();
    });
}

// Shows the choice, or none (an exclusive pair cannot be unchecked while exclusive).
void showChoice(QRadioButton* yes, QRadioButton* no, std::optional<bool> choice) {
    for (QRadioButton* option : {yes, no}) {
        option->setEnabled(choice.has_value());
        option->setAutoExclusive(false);
        option->setChecked(choice.has_value() && *choice == (option == yes));
        option->setAutoExclusive(true);
    }
}

} // namespace

FrmReplace::FrmReplace(Services& services, QWidget* parent)
    : QWidget(parent)
    , m_prompter(services.prompter)
    , m_settings(services.folder) {
    setObjectName(QStringLiteral("FrmReplace"));
    setWindowTitle(QStringLiteral("替换项目设置"));
    createControls();
    LoadReplaceFile();
}

void FrmReplace::createControls() {
    m_items = named(new QComboBox(this), QStringLiteral("CmbRep"));
    m_fields = named(new QTreeWidget(this), QStringLiteral("LvwRep"));
    m_fields->setHeaderLabels({QStringLiteral("替换属性"), QStringLiteral("对照表")});
    m_fields->header()->setSectionResizeMode(QHeaderView::Stretch);
    m_fields->setRootIsDecorated(false);
    m_fields->setAllColumnsShowFocus(true);
    m_yes = makeOption(QStringLiteral("是"), QStringLiteral("OptYes"), this);
    m_no = makeOption(QStringLiteral("否"), QStringLiteral("OptNo"), this);
    m_code = makeOption(QStringLiteral("编码"), QStringLiteral("OptCode"), this);
    m_name = makeOption(QStringLiteral("名称"), QStringLiteral("OptName"), this);
    QGroupBox* replace = makeChoiceFrame(QStringLiteral("是否替换"), QStringLiteral("FrmEnReplace"),
                                         m_yes, m_no, this);
    QGroupBox* match = makeChoiceFrame(QStringLiteral("按编码还是名称"), QStringLiteral("Frame2"),
                                       m_code, m_name, this);
    m_apply = makeButton(QStringLiteral("应用"), QStringLiteral("CmdApply"), this);
    m_ok = makeButton(QStringLiteral("确定"), QStringLiteral("cmdOk"), this);
    m_esc = makeButton(QStringLiteral("退出"), QStringLiteral("CmdEsc"), this);
    m_apply->setEnabled(false);

    auto* options = new QVBoxLayout;
    options->addWidget(replace);
    options->addWidget(match);
    options->addStretch();
    auto* lists = new QHBoxLayout;
    lists->addWidget(m_fields, 1);
    lists->addLayout(options);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton* button : {m_apply, m_ok, m_esc})
        buttons->addWidget(button);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(
        makeLabel(QStringLiteral("替换项目列表："), QStringLiteral("LblReplace"), this));
    layout->addWidget(m_items);
    layout->addWidget(makeLabel(QStringLiteral("子项目列表："), QStringLiteral("LblItems"), this));
    layout->addLayout(lists, 1);
    layout->addLayout(buttons);
    // The frame gives the window the focus when it opens or comes to the front.
    setFocusProxy(m_items);

    connect(m_items, &QComboBox::currentIndexChanged, this, &FrmReplace::ShowItemFields);
    connect(m_fields, &QTreeWidget::currentItemChanged, this, &FrmReplace::SelectField);
    whenChecked(m_yes, this, [this] { onReplaceChosen(true); });
    whenChecked(m_no, this, [this] { onReplaceChosen(false); });
    whenChecked(m_code, this, [this] { onMatchChosen(true); });
    whenChecked(m_name, this, [this] { onMatchChosen(false); });
    connect(m_apply, &QPushButton::clicked, this, &FrmReplace::onApplyClicked);
    connect(m_ok, &QPushButton::clicked, this, &FrmReplace::onOkClicked);
    connect(m_esc, &QPushButton::clicked, this, &FrmReplace::closeWindow);
}

void FrmReplace::LoadReplaceFile() {
    clearOptions();
    QString error;
    if (!m_settings.open(&error)) {
        m_prompter.message(error, Product::applicationTitle(), Prompter::Icon::None);
        return;
    }
    FillItemList();
}

void FrmReplace::FillItemList() {
    const QSignalBlocker quiet(m_items);
    m_items->clear();
    m_items->addItems(m_settings.items());
    if (m_items->count() > 0) {
        m_items->setCurrentIndex(0);
        ShowItemFields();
    }
}

void FrmReplace::ShowItemFields() {
    QString error;
    const bool listed = m_settings.chooseItem(m_items->currentText(), &error);
    {
        const QSignalBlocker quiet(m_fields);
        m_fields->clear();
        for (const ReplaceFieldRow& row : m_settings.rows())
            m_fields->addTopLevelItem(new QTreeWidgetItem({row.label, row.target}));
        m_fields->setCurrentItem(nullptr);
    }
    clearOptions();
    if (!listed)
        m_prompter.message(error, Product::applicationTitle(), Prompter::Icon::None);
}

void FrmReplace::SelectField(QTreeWidgetItem* row) {
    if (!row)
        return;
    // The list may make a row current without selecting it (on taking the focus).
    row->setSelected(true);
    const std::optional<ReplaceChoices> choices =
        m_settings.chooseField(m_fields->indexOfTopLevelItem(row));
    if (!choices)
        return;
    m_ready = false;
    showChoice(m_yes, m_no, choices->replace);
    showChoice(m_code, m_name, choices->matchByCode);
    m_ready = true;
}

void FrmReplace::clearOptions() {
    showChoice(m_yes, m_no, std::nullopt);
    showChoice(m_code, m_name, std::nullopt);
}

void FrmReplace::onReplaceChosen(bool replace) {
    m_settings.setReplace(replace);
    optionChanged();
}

void FrmReplace::onMatchChosen(bool byCode) {
    m_settings.setMatchByCode(byCode);
    optionChanged();
}

void FrmReplace::optionChanged() {
    if (m_ready && m_settings.hasCurrentField())
        m_apply->setEnabled(true);
}

bool FrmReplace::SaveReplaceFile() {
    QString error;
    if (m_settings.save(&error))
        return true;
    m_prompter.message(error, windowTitle(), Prompter::Icon::Warning);
    return false;
}

void FrmReplace::onApplyClicked() {
    if (SaveReplaceFile())
        m_apply->setEnabled(false);
}

void FrmReplace::onOkClicked() {
    if (SaveReplaceFile())
        closeWindow();
}

void FrmReplace::closeWindow() {
    closeWorkWindow(this);
}

void FrmReplace::closeEvent(QCloseEvent* event) {
    m_settings.close();
    QWidget::closeEvent(event);
}

} // namespace kvx

#include "platform/frm_display.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kvx {

FrmDisplay::FrmDisplay(QWidget* parent)
    : QDialog(parent)
    , m_text(new QPlainTextEdit(this)) {
    setWindowTitle(QStringLiteral("结果显示"));
    m_text->setObjectName(QStringLiteral("txtDisplay"));
    m_text->setReadOnly(true);
    m_text->setUndoRedoEnabled(false);
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);

    auto* ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setObjectName(QStringLiteral("cmdOk"));
    ok->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text, 1);
    layout->addLayout(buttons);
    resize(640, 480);

    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

void FrmDisplay::setDisplayText(const QString& text) {
    m_text->setPlainText(text);
}

QString FrmDisplay::displayText() const {
    return m_text->toPlainText();
}

} // namespace kvx

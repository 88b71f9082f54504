#include "schedule/numeric_ctr.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

namespace kvx {

namespace {

QToolButton* arrowButton(Qt::ArrowType arrow, const QString& name, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setArrowType(arrow);
    button->setAutoRepeat(true);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

} // namespace

NumericCtr::NumericCtr(QWidget* parent)
    : QWidget(parent)
    , m_text(new QLineEdit(this))
    , m_arrows(new QWidget(m_text))
    , m_up(arrowButton(Qt::UpArrow, QStringLiteral("UpDown1Up"), m_arrows))
    , m_down(arrowButton(Qt::DownArrow, QStringLiteral("UpDown1Down"), m_arrows)) {
    m_text->setObjectName(QStringLiteral("txtValue"));
    m_arrows->setObjectName(QStringLiteral("UpDown1"));
    m_text->setText(m_rules.lastValid());
    auto* arrows = new QVBoxLayout(m_arrows);
    arrows->setContentsMargins(0, 0, 0, 0);
    arrows->setSpacing(0);
    arrows->addWidget(m_up);
    arrows->addWidget(m_down);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_text);
    setFocusProxy(m_text);
    m_text->installEventFilter(this);

    connect(m_text, &QLineEdit::textChanged, this, &NumericCtr::onTextChanged);
    connect(m_up, &QToolButton::clicked, this, [this] { displayText(m_rules.stepUp()); });
    connect(m_down, &QToolButton::clicked, this, [this] { displayText(m_rules.stepDown()); });
    applyBounds(0, 10);
}

void NumericCtr::setMax(short max) {
    applyBounds(Min(), max);
}

void NumericCtr::setMin(short min) {
    applyBounds(min, Max());
}

void NumericCtr::applyBounds(short min, short max) {
    displayText(m_rules.setBounds(min, max));
}

QString NumericCtr::Value() const {
    return m_text->text();
}

void NumericCtr::setValue(const QString& value) {
    if (m_rules.acceptsValue(value))
        displayText(value);
}

void NumericCtr::displayText(const QString& text) {
    m_text->setText(text);
}

// Putting the last accepted text back is itself a change: a refused edit raises Change twice.
void NumericCtr::onTextChanged(const QString& text) {
    const QString accepted = m_rules.textChanged(text);
    if (accepted != text)
        m_text->setText(accepted);
    emit Change();
}

bool NumericCtr::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_text && event->type() == QEvent::KeyPress && isEnabled()) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            displayText(key == Qt::Key_Up ? m_rules.stepUp() : m_rules.stepDown());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

// The arrows sit inside the box's right end, a little in from its edges.
void NumericCtr::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int height = m_text->height();
    const int inset = std::max(1, height / 12);
    const int width = std::max(12, height * 2 / 3);
    m_arrows->setGeometry(m_text->width() - width - inset, inset, width, height - 2 * inset);
    m_text->setTextMargins(0, 0, width + inset, 0);
}

} // namespace kvx

#include "platform/frm_display.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCursor>
#include <QVBoxLayout>

namespace kvx {

namespace {

// Lines taken in at once: more than a screen, few enough to take a few milliseconds.
constexpr int kLinesAtOnce = 500;
// While the window waits, text is added in pieces of this many milliseconds, so that it stays
// responsive.
constexpr int kPieceMs = 15;

// Where the piece of `lines` lines starting at `from` ends (after its last line break).
qsizetype endOfLines(const QString& text, qsizetype from, int lines) {
    qsizetype at = from;
    for (int line = 0; line < lines; ++line) {
        at = text.indexOf(QLatin1Char('\n'), at);
        if (at < 0)
            return text.size();
        ++at;
    }
    return at;
}

bool isOperatorInput(QEvent::Type type) {
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::InputMethod:
        return true;
    default:
        return false;
    }
}

} // namespace

FrmDisplay::FrmDisplay(QWidget* parent)
    : QDialog(parent)
    , m_text(new QPlainTextEdit(this)) {
    setWindowTitle(QStringLiteral("结果显示"));
    m_text->setObjectName(QStringLiteral("txtDisplay"));
    m_text->setReadOnly(true);
    m_text->setUndoRedoEnabled(false);
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    for (QObject* input :
         std::initializer_list<QObject*>{m_text, m_text->viewport(), m_text->verticalScrollBar(),
                                         m_text->horizontalScrollBar()})
        input->installEventFilter(this);

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

    m_adding.setInterval(0);
    connect(&m_adding, &QTimer::timeout, this, [this] { addMissing(kPieceMs); });
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

void FrmDisplay::setDisplayText(const QString& text) {
    const qsizetype first = endOfLines(text, 0, kLinesAtOnce);
    m_text->setPlainText(text.first(first));
    m_missing = first < text.size() ? text : QString();
    m_missingFrom = first;
    if (!m_missing.isEmpty())
        m_adding.start();
}

QString FrmDisplay::displayText() const {
    const_cast<FrmDisplay*>(this)->addMissing(-1);
    return m_text->toPlainText();
}

bool FrmDisplay::eventFilter(QObject* watched, QEvent* event) {
    if (!m_missing.isEmpty() && isOperatorInput(event->type()))
        addMissing(-1);
    return QDialog::eventFilter(watched, event);
}

void FrmDisplay::addMissing(int budgetMs) {
    if (m_missing.isEmpty())
        return;
    QElapsedTimer timer;
    timer.start();
    // A cursor of its own adds at the end, after the operator's place and selection, which
    // stay as they are.
    QTextCursor end(m_text->document());
    end.movePosition(QTextCursor::End);
    do {
        const qsizetype to =
            budgetMs < 0 ? m_missing.size() : endOfLines(m_missing, m_missingFrom, kLinesAtOnce);
        end.insertText(QStringView(m_missing).sliced(m_missingFrom, to - m_missingFrom).toString());
        m_missingFrom = to;
    } while (m_missingFrom < m_missing.size() && timer.elapsed() < budgetMs);
    if (m_missingFrom < m_missing.size()) {
        m_adding.start();
        return;
    }
    m_missing.clear();
    m_adding.stop();
}

} // namespace kvx

#include "conditions/typing_filter.h"

#include <QComboBox>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>

namespace kvx {

TypingFilter::TypingFilter(QObject* parent, Accepts accepts)
    : QObject(parent)
    , m_accepts(std::move(accepts)) {}

void TypingFilter::install(QWidget* box, Accepts accepts) {
    auto* filter = new TypingFilter(box, std::move(accepts));
    box->installEventFilter(filter);
    if (auto* combo = qobject_cast<QComboBox*>(box); combo && combo->lineEdit())
        combo->lineEdit()->installEventFilter(filter);
}

QString TypingFilter::kept(const QString& typed) const {
    QString result;
    for (QChar c : typed) {
        if (m_accepts(c))
            result.append(c);
    }
    return result;
}

bool TypingFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const QString text = key->text();
        // Control characters are editing keys or shortcuts; only printable text is filtered.
        const bool printable = !text.isEmpty() && text.at(0).isPrint();
        const bool shortcut = key->modifiers() & (Qt::ControlModifier | Qt::AltModifier);
        if (printable && !shortcut && kept(text) != text)
            return true;
    } else if (event->type() == QEvent::InputMethod) {
        auto* input = static_cast<QInputMethodEvent*>(event);
        if (!input->commitString().isEmpty())
            input->setCommitString(kept(input->commitString()), input->replacementStart(),
                                   input->replacementLength());
    }
    return QObject::eventFilter(watched, event);
}

} // namespace kvx

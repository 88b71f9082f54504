#pragma once

#include <QObject>
#include <functional>

class QWidget;

namespace kvx {

// Discards the characters a box does not take, as they are typed or come from an input
// method. Keys that type nothing and shortcuts (Ctrl+C, Ctrl+V, ...) pass; pasted text is
// not filtered.
class TypingFilter : public QObject {
public:
    using Accepts = std::function<bool(QChar)>;

    // Filters what is typed into the widget (and, for an editable combo box, its line edit).
    static void install(QWidget* box, Accepts accepts);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TypingFilter(QObject* parent, Accepts accepts);
    QString kept(const QString& typed) const;

    Accepts m_accepts;
};

} // namespace kvx

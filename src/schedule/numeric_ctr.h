#pragma once

#include "schedule/numeric_ctr_rules.h"

#include <QWidget>

class QLineEdit;
class QToolButton;

namespace kvx {

// The program's own input for a whole number in a range: the text box `txtValue` with the
// up/down arrows `UpDown1` inside its right end. An edit that would leave the range, or is
// not a whole number, falls back to the last accepted text; every change of the text raises
// Change. The Up and Down keys in the box work as the arrows.
class NumericCtr : public QWidget {
    Q_OBJECT
public:
    explicit NumericCtr(QWidget* parent = nullptr);

    short Max() const { return m_rules.max(); }
    short Min() const { return m_rules.min(); }
    // Bounds that exclude the shown text bring it into range (which is a change).
    void setMax(short max);
    void setMin(short min);

    QString Value() const;
    // Shown only when it is a whole number within the bounds; anything else is ignored.
    void setValue(const QString& value);

    QLineEdit* textBox() const { return m_text; }

Q_SIGNALS:
    void Change();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void onTextChanged(const QString& text);
    void applyBounds(short min, short max);
    void displayText(const QString& text);

    NumericCtrRules m_rules;
    QLineEdit* m_text;
    QWidget* m_arrows;
    QToolButton* m_up;
    QToolButton* m_down;
};

} // namespace kvx

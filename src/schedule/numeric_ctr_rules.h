#pragma once

#include <QString>

namespace kvx {

// What the numeric spin control accepts, without the widget: whole numbers from Min to Max,
// a text no longer than the decimal form of Max, the last accepted text to fall back on, and
// the arrows' own position, which does not follow typed text.
class NumericCtrRules {
public:
    // A text box created with the arrows' minimum at that moment (0) shows "0".
    NumericCtrRules();

    short min() const { return m_min; }
    short max() const { return m_max; }
    // New bounds; the shown text and the arrows' position are brought into range, so that a
    // field whose minimum lies above the creation text never keeps an impossible value.
    // Returns the text to show.
    QString setBounds(short min, short max);

    // The text-change steps for the text now in the box. Returns the text the box must show:
    // the text itself when it is accepted (it becomes LastValid), else LastValid.
    QString textChanged(const QString& text);
    QString lastValid() const { return m_lastValid; }

    // Setting Value: true when the text is a whole number within the bounds (the box is
    // then to show it); anything else is ignored.
    bool acceptsValue(const QString& text) const;

    // An arrow click: one step within the bounds; returns the text to show.
    QString stepUp();
    QString stepDown();

private:
    bool isAcceptable(const QString& text) const;

    short m_min = 0;
    short m_max = 10;
    int m_position = 0;
    QString m_lastValid;
};

} // namespace kvx

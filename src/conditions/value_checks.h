#pragma once

#include <QDate>
#include <QLocale>
#include <QString>

namespace kvx {

// The outcome of checking a condition value: whether it passes, the text as the value box
// then holds it (a date is rewritten as yyyy-mm-dd, an empty value may be filled in) and the
// message to show when it fails (none when empty). Value messages are shown with an OK
// button and no icon.
struct ValueCheck {
    bool passed = false;
    QString text;
    QString message;
};

// A number: optional blanks, an optional sign, digits with an optional fraction after a
// point (".5" and "5." included). No exponent and no group separators.
bool isConditionNumber(const QString& text);

// The day a condition value names: yyyy-m-d (also with "/" or "."), or any notation the
// locale's short date format reads, where a two-digit year means 1930 to 2029. Invalid when
// the text reads as no date.
QDate readConditionDate(const QString& text, const QLocale& locale = QLocale::system());

// The check made when the operator leaves the value box, for the type of the field chosen
// in the field list (empty when none is chosen: the text passes unchecked). An empty
// decimal, integer or boolean becomes "0", an empty date "Today".
ValueCheck txtValue_Validate(const QString& type, const QString& text,
                             const QLocale& locale = QLocale::system());

// The same check for a row whose value box is open during the grid check, by the row's own
// stored type: an empty text is not filled in, and a row without type fails silently.
ValueCheck ValidUserInput(const QString& rowType, const QString& text,
                          const QLocale& locale = QLocale::system());

} // namespace kvx

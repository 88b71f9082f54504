#pragma once

// Controls are found by their given names (tests, the command dispatcher), so every window
// creates them named.

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QString>

namespace kvx {

template <typename Widget> Widget* named(Widget* widget, const QString& name) {
    widget->setObjectName(name);
    return widget;
}

inline QLabel* makeLabel(const QString& caption, const QString& name, QWidget* parent) {
    return named(new QLabel(caption, parent), name);
}

inline QLineEdit* makeBox(const QString& name, QWidget* parent) {
    return named(new QLineEdit(parent), name);
}

// Enter in a text box has its own meaning in these windows; it must not press a button that
// merely had the focus before.
inline QPushButton* makeButton(const QString& caption, const QString& name, QWidget* parent) {
    QPushButton* button = named(new QPushButton(caption, parent), name);
    button->setAutoDefault(false);
    return button;
}

} // namespace kvx

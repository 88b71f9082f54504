#pragma once

#include <QObject>
#include <QString>

// A window's control found by its given name; a missing one ends the test at once, naming it.
template <typename T = QWidget> T* findControl(const QObject* window, const QString& name) {
    T* control = window->findChild<T*>(name);
    if (!control)
        qFatal("no control %s", qPrintable(name));
    return control;
}

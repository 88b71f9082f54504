#pragma once

#include <QMdiSubWindow>
#include <QWidget>

namespace kvx {

// Closes a work window: the frame's child window that holds it, or the window itself when it
// stands alone.
inline void closeWorkWindow(QWidget* window) {
    if (auto* subWindow = qobject_cast<QMdiSubWindow*>(window->parentWidget()))
        subWindow->close();
    else
        window->close();
}

} // namespace kvx

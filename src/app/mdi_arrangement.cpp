#include "app/mdi_arrangement.h"

#include <QMdiArea>
#include <QMdiSubWindow>

namespace kvx {

namespace {

QList<QMdiSubWindow*> windows(QMdiArea* area, bool minimized) {
    QList<QMdiSubWindow*> result;
    for (QMdiSubWindow* window : area->subWindowList(QMdiArea::CreationOrder)) {
        if (window->isVisible() && window->isMinimized() == minimized)
            result.append(window);
    }
    return result;
}

// Horizontal tiling stacks the windows one above the other, each as wide as the area;
// vertical tiling puts them side by side, each as high as the area.
void tile(QMdiArea* area, Qt::Orientation stacking) {
    const QList<QMdiSubWindow*> open = windows(area, false);
    if (open.isEmpty())
        return;
    const QRect space = area->viewport()->rect();
    const int count = int(open.size());
    for (int i = 0; i < count; ++i) {
        QMdiSubWindow* window = open.at(i);
        if (window->isMaximized())
            window->showNormal();
        if (stacking == Qt::Vertical) {
            const int top = space.height() * i / count;
            window->setGeometry(0, top, space.width(), space.height() * (i + 1) / count - top);
        } else {
            const int left = space.width() * i / count;
            window->setGeometry(left, 0, space.width() * (i + 1) / count - left, space.height());
        }
    }
}

void lineUpMinimized(QMdiArea* area) {
    const QRect space = area->viewport()->rect();
    int left = 0;
    int bottom = space.height();
    for (QMdiSubWindow* window : windows(area, true)) {
        const QSize size = window->size();
        if (left > 0 && left + size.width() > space.width()) {
            left = 0;
            bottom -= size.height();
        }
        window->move(left, bottom - size.height());
        left += size.width();
    }
}

} // namespace

void arrange(QMdiArea* area, Arrangement arrangement) {
    switch (arrangement) {
    case Arrangement::Cascade:
        area->cascadeSubWindows();
        return;
    case Arrangement::TileHorizontally:
        tile(area, Qt::Vertical);
        return;
    case Arrangement::TileVertically:
        tile(area, Qt::Horizontal);
        return;
    case Arrangement::ArrangeIcons:
        lineUpMinimized(area);
        return;
    }
}

} // namespace kvx

// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MdiChildWindow.h"

#include <QCloseEvent>
#include <QMdiArea>
#include <algorithm>
#include <cmath>

namespace hz70 {

void TMdiChildWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    showMinimized();
}

namespace {

// Lines the minimised windows up from the bottom left corner, a row above another when one row is full;
// returns the height they take.
int LineUpMinimised(const QList<QMdiSubWindow*>& minimised, const QRect& area) {
    int x = 0;
    int rowTop = area.bottom() + 1;
    int rowHeight = 0;
    for (QMdiSubWindow* window : minimised) {
        const QSize size = window->size();
        if (x > 0 && x + size.width() > area.width()) {
            rowTop -= rowHeight;
            x = 0;
            rowHeight = 0;
        }
        rowHeight = std::max(rowHeight, size.height());
        window->move(x, rowTop - size.height());
        x += size.width();
    }
    return area.bottom() + 1 - (rowTop - rowHeight);
}

} // namespace

void TileHorizontally(QMdiArea& area) {
    QList<QMdiSubWindow*> minimised;
    for (QMdiSubWindow* window : area.subWindowList(QMdiArea::CreationOrder)) {
        if (window->isMinimized() && !window->isHidden()) {
            minimised.append(window);
        }
    }
    QList<QMdiSubWindow*> tiled;
    const QList<QMdiSubWindow*> stacked = area.subWindowList(QMdiArea::StackingOrder);
    for (auto window = stacked.rbegin(); window != stacked.rend(); ++window) {
        if ((*window)->isHidden() || (*window)->isMinimized()) {
            continue;
        }
        if ((*window)->isMaximized()) {
            (*window)->showNormal();
        }
        tiled.append(*window);
    }
    const QRect viewport = area.viewport()->rect();
    const int barsHeight = LineUpMinimised(minimised, viewport);
    if (tiled.isEmpty()) {
        return;
    }
    // Tiles that would be no taller than the bars below them may cover the bars instead.
    const int height =
        viewport.height() > 2 * barsHeight ? viewport.height() - barsHeight : viewport.height();
    const int count = static_cast<int>(tiled.size());
    const int columns = static_cast<int>(std::sqrt(static_cast<double>(count)));
    const int width = viewport.width() / columns;
    int next = 0;
    for (int column = 0; column < columns; ++column) {
        const int rows = column == columns - 1 ? count - next : count / columns;
        for (int row = 0; row < rows; ++row, ++next) {
            tiled[next]->setGeometry(column * width, row * (height / rows), width, height / rows);
        }
    }
}

} // namespace hz70

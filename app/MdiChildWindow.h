// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMdiSubWindow>

class QMdiArea;

namespace hz70 {

// The frame of a view window inside the main window. Closing it only minimises it: the views live from
// start to end and keep receiving every poll result.
class TMdiChildWindow : public QMdiSubWindow {
    Q_OBJECT
public:
    using QMdiSubWindow::QMdiSubWindow;

protected:
    void closeEvent(QCloseEvent* event) override;
};

// Tiles the child windows of `area` as an MDI frame tiles them horizontally: the shown windows, the
// topmost first, fill columns of rows, with floor(sqrt(n)) columns and the last column taking what is
// left, so that two or three windows lie one above the other across the whole width and four make two
// columns of two. A maximised window is restored first. Minimised windows are lined up along the bottom
// edge, and the tiles end above them, so that no minimised bar covers a tiled window.
void TileHorizontally(QMdiArea& area);

} // namespace hz70

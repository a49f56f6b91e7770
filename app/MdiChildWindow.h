// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMdiSubWindow>

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

} // namespace hz70

// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MdiChildWindow.h"

#include <QCloseEvent>

namespace hz70 {

void TMdiChildWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    showMinimized();
}

} // namespace hz70

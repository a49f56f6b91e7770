// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/ViewWindow.h"

namespace hz70 {

void TViewWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Restoring a minimised window shows it again; only the first show builds the contents, later
    // rebuilds come from the controller list.
    if (!shown_) {
        shown_ = true;
        FormShow();
    }
}

} // namespace hz70

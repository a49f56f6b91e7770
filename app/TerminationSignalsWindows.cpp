// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/TerminationSignals.h"

#include <QGuiApplication>
#include <QSessionManager>
#include <QWidget>

namespace hz70 {

// Windows sends no SIGTERM: a session that ends asks every program first (WM_QUERYENDSESSION), which
// Qt hands on as commitDataRequest. Closing the window there ends the program as the operator would,
// while the session still waits for it. Ctrl+C reaches no window-only program.
TerminationSignals::TerminationSignals(QWidget* windowToClose) : window_(windowToClose) {
    connect(qGuiApp, &QGuiApplication::commitDataRequest, this, &TerminationSignals::Deliver);
}

TerminationSignals::~TerminationSignals() = default;

void TerminationSignals::Deliver() {
    window_->close();
}

} // namespace hz70

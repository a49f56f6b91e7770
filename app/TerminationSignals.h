// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class QSocketNotifier;

namespace hz70 {

// Turns SIGTERM and SIGINT (logout, kill, Ctrl+C; on Windows the session's end) into an ordinary close of a
// window, so that the program ends as when the operator closes it: the port is handed back and changed
// settings are written. The handler only writes a byte to a pipe; the close happens in the event loop.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QWidget* windowToClose);
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

private:
    void Deliver();

    QWidget* window_;
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace hz70

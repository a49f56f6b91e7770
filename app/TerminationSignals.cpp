// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/TerminationSignals.h"

#include <QSocketNotifier>
#include <QWidget>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace hz70 {
namespace {

int signalPipe[2] = {-1, -1};

extern "C" void WriteSignalByte(int signalNumber) {
    const char byte = static_cast<char>(signalNumber);
    // Nothing else is safe in a signal handler; a full pipe already holds a pending close.
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[0], &byte, 1);
}

void Handle(int signalNumber, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(signalNumber, &action, nullptr);
}

} // namespace

TerminationSignals::TerminationSignals(QWidget* windowToClose) : window_(windowToClose) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalPipe) != 0) {
        return;
    }
    notifier_ = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TerminationSignals::Deliver);
    Handle(SIGTERM, WriteSignalByte);
    Handle(SIGINT, WriteSignalByte);
}

TerminationSignals::~TerminationSignals() {
    Handle(SIGTERM, SIG_DFL);
    Handle(SIGINT, SIG_DFL);
    for (int& fd : signalPipe) {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    }
}

void TerminationSignals::Deliver() {
    char bytes[16];
    while (::read(signalPipe[1], bytes, sizeof bytes) > 0) {
    }
    window_->close();
}

} // namespace hz70

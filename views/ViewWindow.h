// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

namespace hz70 {

struct TRegulator;

// A view window inside the main window: it lives from start to end, is refreshed after every poll step
// with the record just polled, and rebinds to the records whenever the device list is rebuilt.
class TViewWindow : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;

    // The record of slot `slot` as the poll timer has just left it. Windows that sample on their own clock
    // leave it alone.
    virtual void UpdateZone(int /*slot*/, const TRegulator& /*record*/) {}
    // Builds the window's contents from the device list; runs at first show and after every rebuild.
    virtual void FormShow() = 0;

protected:
    void showEvent(QShowEvent* event) override;

private:
    bool shown_ = false;
};

} // namespace hz70

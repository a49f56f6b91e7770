// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "views/ViewWindow.h"

namespace hz70 {

class AppState;

// One bar per zone: measured temperatures or load currents.
class TOBarg : public TViewWindow {
    Q_OBJECT
public:
    explicit TOBarg(AppState& state, QWidget* parent = nullptr);

    void UpdateZone(TRegulator* record) override;
    void FormShow() override;

private:
    AppState& state_;
};

} // namespace hz70

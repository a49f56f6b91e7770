// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "views/ViewWindow.h"

namespace hz70 {

class AppState;

// Time curves of temperature, setpoint, power and current per zone.
class TOWykres : public TViewWindow {
    Q_OBJECT
public:
    explicit TOWykres(AppState& state, QWidget* parent = nullptr);

    void UpdateZone(TRegulator* record) override;
    void FormShow() override;

private:
    AppState& state_;
};

} // namespace hz70

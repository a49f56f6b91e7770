// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "views/ViewWindow.h"

namespace hz70 {

class AppState;

// Measured values, alarm and status bits, and all settings of every zone.
class TOTabela : public TViewWindow {
    Q_OBJECT
public:
    explicit TOTabela(AppState& state, QWidget* parent = nullptr);

    void UpdateZone(TRegulator* record) override;
    void FormShow() override;

private:
    AppState& state_;
};

} // namespace hz70

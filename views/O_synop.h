// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "views/ViewWindow.h"

#include <vector>

class QScrollArea;

namespace hz70 {

class ZoneOperations;
class TStrefa;

// "Obrazy synoptyczne": one front panel per configured zone, side by side.
class TOsynop : public TViewWindow {
    Q_OBJECT
public:
    explicit TOsynop(ZoneOperations& zones, QWidget* parent = nullptr);

    // Refreshes the panel of the zone just polled.
    void UpdateZone(int slot, const TRegulator& record) override;
    // Replaces all panels with one per record of the device list.
    void FormShow() override;

    // The panels in zone order: panel j shows device list entry j.
    [[nodiscard]] const std::vector<TStrefa*>& panels() const { return panels_; }

private:
    void RemovePanels();

    ZoneOperations& zones_;
    QScrollArea* scrollArea_ = nullptr;
    QWidget* panelRow_ = nullptr;
    std::vector<TStrefa*> panels_;
};

} // namespace hz70

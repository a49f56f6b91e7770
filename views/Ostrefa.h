// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "views/core/ZonePanelState.h"

#include <QFrame>
#include <array>

class QLabel;
class QPushButton;

namespace hz70 {

class ZoneOperations;
struct TRegulator;

// The front panel of one zone: its name, the no-transmission sign, alarm, unit, mode and function lamps,
// the measured values, and buttons for the zone's parameters and for stop/automatic mode.
class TStrefa : public QFrame {
    Q_OBJECT
public:
    explicit TStrefa(ZoneOperations& zones, QWidget* parent = nullptr);

    // Shows the zone name as the title (cut to its first characters; the tooltip carries it whole).
    void SetTitle(const std::string& name);
    // Refreshes every control from `record`, the panel's zone as the poll timer has just left it.
    void ShowValues(const TRegulator& record);
    // Opens the zone parameters dialog for `regulator`.
    void Button1Click();
    // Switches the controller between stop and automatic control.
    void Button2Click();

    [[nodiscard]] QLabel* LampLabel(Lamp lamp) const { return lamps_[static_cast<std::size_t>(lamp)]; }

    TRegulator* regulator = nullptr; // not owned

    QFrame* Panel1 = nullptr;
    QLabel* Label1 = nullptr;       // zone title
    QLabel* Image21 = nullptr;      // no-transmission sign
    QLabel* StaticText1 = nullptr;  // measured temperature
    QLabel* StaticText2 = nullptr;  // current setpoint
    QLabel* StaticText3 = nullptr;  // output power
    QLabel* StaticText4 = nullptr;  // load current
    QPushButton* Button1 = nullptr; // "Parametry"
    QPushButton* Button2 = nullptr; // "S" / "AUTO"
    QFrame* Bevel1 = nullptr;

private:
    void CreatePictograms();
    void CreateLamps();
    void CreateValueFields();
    void CreateButtons();
    void ShowTransmission(bool missing);
    static void Paint(QLabel* lamp, Rgb colour);

    ZoneOperations& zones_;
    std::array<QLabel*, kLampCount> lamps_{};
    std::array<QLabel*, kValueFieldCount> fields_{};
};

} // namespace hz70

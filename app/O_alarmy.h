// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "views/ViewWindow.h"

class QCheckBox;
class QPushButton;
class QTableWidget;

namespace hz70 {

class AlarmLog;

// The alarm log, newest first: time, zone, name, what came or went, and whether it was acknowledged.
// "Potwierdź" acknowledges the selected events, or all when none is selected.
class TOAlarmy : public TViewWindow {
    Q_OBJECT
public:
    // `sound`: whether a new alarm sounds, as the operator last chose.
    TOAlarmy(AlarmLog& log, bool sound, QWidget* parent = nullptr);

    // Shows the log as it is now.
    void FormShow() override;

    QTableWidget* Lista = nullptr;
    QPushButton* BtnPotwierdz = nullptr;
    QCheckBox* Dzwiek = nullptr;

Q_SIGNALS:
    // Some events were acknowledged.
    void acknowledged();
    // The operator turned the sound on a new alarm on or off.
    void soundChosen(bool on);

private:
    void BtnPotwierdzClick();

    AlarmLog& log_;
};

// "2 niepotwierdzone alarmy", in the right plural; empty for none.
[[nodiscard]] QString UnacknowledgedText(std::size_t count);

} // namespace hz70

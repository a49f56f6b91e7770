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
    explicit TOAlarmy(AlarmLog& log, QWidget* parent = nullptr);

    // Shows the log as it is now.
    void FormShow() override;
    // Whether a new alarm sounds; off until the operator turns it on.
    [[nodiscard]] bool soundOn() const;

    QTableWidget* Lista = nullptr;
    QPushButton* BtnPotwierdz = nullptr;
    QCheckBox* Dzwiek = nullptr;

Q_SIGNALS:
    // Some events were acknowledged.
    void acknowledged();

private:
    void BtnPotwierdzClick();

    AlarmLog& log_;
};

// "2 niepotwierdzone alarmy", in the right plural; empty for none.
[[nodiscard]] QString UnacknowledgedText(std::size_t count);

} // namespace hz70

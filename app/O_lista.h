// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

namespace hz70 {

class TOmain;

// "Lista urządzeń": the configured controllers, edited by hand or found by a bus search.
class TOListaUrz : public QDialog {
    Q_OBJECT
public:
    explicit TOListaUrz(TOmain& main, QWidget* parent = nullptr);

private:
    TOmain& main_;
};

} // namespace hz70

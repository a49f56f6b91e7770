// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace hz70 {

class AppState;

// "Ustawienia portu": the port, baud rate, framing mode and reply time-out of the link. OK closes the
// port and hands the link the new settings; the next exchange opens the port with them.
class TOPort : public QDialog {
    Q_OBJECT
public:
    explicit TOPort(AppState& state, QWidget* parent = nullptr);

    QComboBox* ComboBoxP = nullptr;
    QComboBox* ComboBoxB = nullptr;
    QLineEdit* EditTm = nullptr;
    QComboBox* ComboBoxT = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
    QLabel* DeviceLabel = nullptr; // where the chosen COM name leads on this machine

private:
    void CreateControls();
    void FormShow();
    void Button1Click();
    void ShowDevice();

    AppState& state_;
};

} // namespace hz70

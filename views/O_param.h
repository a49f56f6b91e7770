// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace hz70 {

class ZoneOperations;
struct TRegulator;

// "Parametry w strefie": reads one controller's settings when shown, lists them with their values, and
// writes one setting at a time; every outcome goes to the status line.
class TDlgProg : public QDialog {
    Q_OBJECT
public:
    explicit TDlgProg(ZoneOperations& zones, QWidget* parent = nullptr);

    // Reads the settings block and lists it; runs when the dialog is shown.
    void FormShow();
    // Offers the selected setting's value for editing.
    void ListBox1Click();
    // Checks the typed value and writes it to the selected setting.
    void BtnZastosujClick();
    // Selects the whole input, so that typing replaces it.
    void Edit1Click();

    TRegulator* regulator = nullptr; // set by the opener; not owned

    QLabel* Label1 = nullptr;
    QLabel* Label3 = nullptr;
    QListWidget* ListBox1 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QPushButton* BtnZastosuj = nullptr;
    QPushButton* BtnZamknij = nullptr;
    QLabel* Label4 = nullptr; // status line

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SetStatus(const char* text);
    void RefuseInput(const char* text);

    ZoneOperations& zones_;
};

} // namespace hz70

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/core/ZoneListEditor.h"

#include <QDialog>
#include <QTimer>

class QLineEdit;
class QListWidget;
class QPushButton;

namespace hz70 {

class TOmain;

// A magnifier moving along a row of controllers while the bus search runs; it stands where the
// address being tried lies in the address range, and sways on its own timer between steps.
class TSearchAnimation : public QWidget {
public:
    explicit TSearchAnimation(QWidget* parent = nullptr);

    void Play();
    void Stop();
    [[nodiscard]] bool isRunning() const { return frameTimer_.isActive(); }
    void SetAddress(int address);

    [[nodiscard]] QSize sizeHint() const override { return {160, 36}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QTimer frameTimer_;
    int frame_ = 0;
    int address_ = kFirstSlaveAddress;
};

// "Lista urządzeń": the configured controllers, edited by hand or found by a bus search. OK hands the
// list to the main window, which rebuilds its records and re-shows the views.
class TOListaUrz : public QDialog {
    Q_OBJECT
public:
    explicit TOListaUrz(TOmain& main, QWidget* parent = nullptr);

    // One search step; Timer1 runs it every 100 ms while the search steps.
    void Timer1Timer();
    [[nodiscard]] const ZoneListEditor& entries() const { return editor_; }
    [[nodiscard]] const BusSearch& search() const { return search_; }

    // Ends a running search first: closing the dialog must give the bus back to the poll timer.
    void done(int result) override;

    QListWidget* ListBox1 = nullptr;
    QLineEdit* EditAddr = nullptr;
    QLineEdit* EditName = nullptr;
    QPushButton* BtnDodaj = nullptr;
    QPushButton* BtnModyf = nullptr;
    QPushButton* BtnUsun = nullptr;
    QPushButton* BtnOK = nullptr;
    QPushButton* BtnAnuluj = nullptr;
    QPushButton* BitBtnSzukaj = nullptr;
    TSearchAnimation* Animate1 = nullptr;
    QTimer* Timer1 = nullptr;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void CreateControls();
    void CreateLayout();
    void FormShow();
    void ListBox1Click();
    // The selected line, -1 for none.
    [[nodiscard]] int SelectedLine() const;
    void BtnDodajClick();
    void BtnModyfClick();
    void BtnUsunClick();
    void BtnOKClick();
    void BitBtnSzukajClick();

    void StartSearch();
    // The end of the address range: a "nothing found" message comes before the searching look goes.
    void FinishRange();
    // "Zatrzymaj": the searching look goes first, then any message. Polling resumes last in both.
    void StopSearch();
    // No address could be asked: the port's reason, then the list as it was before the search.
    void AbandonSearch();
    void ShowProbe();
    void ShowNothingFound();
    void ShowIdleLook();
    // The list after a search: the one entry at address 1 when nothing was found; line 0 in the fields.
    void ShowOutcome(bool nothingFound);
    void SetEditable(bool editable);
    // One line per entry, line 0 selected and in the fields.
    void ShowEntries();
    void AppendLine(int entry);
    void RewriteLine(int entry);
    void SelectFirstLine();
    void FillFields(int entry);
    void RefuseAddress();

    TOmain& main_;
    ZoneListEditor editor_;
    BusSearch search_;
};

} // namespace hz70

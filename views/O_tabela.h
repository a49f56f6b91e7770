// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/SettingsSet.h"
#include "views/ViewWindow.h"

#include <optional>
#include <string>
#include <vector>

class QAction;
class QPushButton;
class QTabWidget;
class QTableWidget;

namespace hz70 {

class TDZestaw;
class ZoneOperations;

// Measured values, alarm and status bits, and all settings of every zone.
//
// Both grids have one fixed row and one fixed column. The fixed row is the grids' header, so that it
// stays in view and the operator can widen every column by its edge; Cells reads either kind of cell.
class TOTabela : public TViewWindow {
    Q_OBJECT
public:
    explicit TOTabela(ZoneOperations& zones, QWidget* parent = nullptr);

    void UpdateZone(int slot, const TRegulator& record) override;
    void FormShow() override;

    // Opening the settings page reads every zone's settings.
    void PageControl1Change(int page);
    void BtnOdswClick();
    // Reads the settings of every zone in turn (blocking), with a message for each zone that failed
    // and one at the end when the last zone was read.
    void ReadAllSettings();
    void FillSettingsColumn(const TRegulator& record, int zoneIndex);

    // The text of a grid cell, counting the fixed row as row 0 and the fixed column as column 0.
    [[nodiscard]] static QString Cells(const QTableWidget& grid, int column, int row);

    QTabWidget* PageControl1 = nullptr;
    QWidget* TabSheet1 = nullptr;
    QWidget* TabSheet2 = nullptr;
    QTableWidget* StringGrid1 = nullptr;
    QTableWidget* StringGrid2 = nullptr;
    QPushButton* BtnOdsw = nullptr;

    // The settings sets, from the settings grid's context menu: the page has no room for more buttons.
    void SaveSettingsSet();
    // Opens a set and lists, zone by zone, what differs from the zones now; the zones ticked in the list
    // are written once confirmed.
    void CompareAndRestore();
    // Copies one zone's settings to the zones chosen, the same way.
    void CopyZone();
    QAction* AkcjaZapisz = nullptr;
    QAction* AkcjaPorownaj = nullptr;
    QAction* AkcjaKopiuj = nullptr;

private:
    [[nodiscard]] int ZoneCount() const;
    void LayOutGrid(QTableWidget& grid, const QStringList& rowNames, int firstColumnWidth);
    QAction* AddSetAction(const char* caption, void (TOTabela::*slot)());
    // Reads every zone's settings without a message; the grid shows those read.
    // Reads every zone's settings but those the poll cycle finds silent; which zones answered, by slot.
    [[nodiscard]] std::vector<bool> ReadEveryZoneQuietly();
    [[nodiscard]] QString ChooseSetFile(bool forSaving);
    // A zone with the settings it is to hold.
    struct SetTarget {
        TRegulator* zone = nullptr;
        ZoneSettings wanted;
    };
    // A zone of the list: what it is to hold, if anything, and the lines that say how it was paired
    // with the file or why it could not be.
    struct ListedZone {
        TRegulator* zone = nullptr;
        std::optional<ZoneSettings> wanted;
        std::vector<std::string> notes;
        bool ticked = false;  // at first, if it can be written
        bool answered = true; // its settings were read just now
    };
    [[nodiscard]] static ListedZone PairWithFile(const SettingsSet& set, TRegulator& zone);
    // Lists every zone with its differences, a heading ticked or not, after `lines`; the zones ticked
    // are written once confirmed. `faultyFile` says the operator must pick the zones.
    void ListForChoice(TDZestaw& list, const std::vector<std::string>& lines, std::vector<ListedZone> zones,
                       bool faultyFile);
    // Once confirmed, writes the differences one setting per turn of the event loop and lists how each
    // went.
    void WriteAfterQuestion(TDZestaw& list, const std::vector<SetTarget>& targets);
    struct SetWriting;
    // Writes the next setting and lists the result; false when none is left.
    bool WriteNextSetting(TDZestaw& list, SetWriting& writing);

    ZoneOperations& zones_;
};

} // namespace hz70

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/SettingsSet.h"
#include "model/Slohz70.h"

#include <array>
#include <cstdint>
#include <string>

namespace hz70 {

// The measured-values grid: a heading row, five values, the alarm word with its ten bits and the status
// word with its eight bits. Row 0 of every zone column holds the zone name.
inline constexpr int kMeasuredGridRows = 26;
// The settings grid: a heading row and the sixteen settings of the block read.
inline constexpr int kSettingsGridRows = 17;

inline constexpr const char* kParameterNameHeading = "Nazwa parametru";
inline constexpr const char* kNoValueText = "----";

// Column 0 of the measured-values grid, row by row.
[[nodiscard]] const std::array<const char*, kMeasuredGridRows>& MeasuredRowNames();
// Column 0 of the settings grid, row by row: the heading, then the description of each setting.
[[nodiscard]] std::array<std::string, kSettingsGridRows> SettingsRowNames();

// Rows 1..25 of one zone's column of the measured-values grid; index = grid row - 1.
using MeasuredCells = std::array<std::string, kMeasuredGridRows - 1>;
// Rows 1..16 of one zone's column of the settings grid; index = setting = grid row - 1.
using SettingsCells = std::array<std::string, kSettingsBlock>;

[[nodiscard]] MeasuredCells MeasuredColumn(const TRegulator& record);
[[nodiscard]] SettingsCells SettingsColumn(const TRegulator& record);

// A measured value with its unit, or the no-value text.
[[nodiscard]] std::string MeasuredValueText(const TParametr& row);
// A bit word as a signed number, right-aligned in four places.
[[nodiscard]] std::string SignedWordText(std::int16_t word);
// One bit of a word: "  1" or "  0".
[[nodiscard]] std::string BitText(std::int16_t word, int bit);
// One setting as the settings grid shows it; `setting` = register - 4000.
[[nodiscard]] std::string SettingText(const TParametr& row, int setting);

// Messages of the settings read.
inline constexpr const char* kSettingsReadDoneText = "Parametry zostały odczytane";
// The text names the zone by its 1-based number.
[[nodiscard]] std::string SettingsReadFailedText(int zoneNumber);

// Texts of the settings sets, one line of the list per zone or setting.
inline constexpr const char* kSaveSetsCaption = "Zapisz nastawy...";
inline constexpr const char* kCompareSetsCaption = "Porównaj i przywróć...";
inline constexpr const char* kCopyZoneCaption = "Kopiuj strefę...";
inline constexpr const char* kWriteDifferencesQuestion = "Zapisać różnice?";
inline constexpr const char* kNothingToWriteText = "Nastawy regulatorów są takie same";
inline constexpr const char* kNothingWrittenText = "Nic nie zapisano: plik zawiera błędy";
inline constexpr const char* kPickZonesText = "Plik zawiera błędy — zaznacz strefy do zapisania";
inline constexpr const char* kWriteTickedCaption = "Zapisz zaznaczone";
// "Strefa 1 (adres 5, Piec 1)".
[[nodiscard]] std::string ZoneTitleText(const TRegulator& zone);
// The lines under a zone's heading: "SP 180 °C, ma być 200" (in the zone's unit), or why there is
// nothing to write.
[[nodiscard]] std::string DifferenceText(const TRegulator& zone, const SettingDifference& difference);
inline constexpr const char* kNoDifferenceText = "bez różnic";
inline constexpr const char* kNothingSavedText = "w pliku brak nastaw tej strefy";
inline constexpr const char* kZoneSilentText = "regulator nie odpowiada";
// "Strefa 1 (...): SP 200: zapisano" / "odmowa (...)" / "brak odpowiedzi" / "pominięto (...)"; a zone
// that stopped answering adds that its other settings were not tried.
[[nodiscard]] std::string WriteResultText(const TRegulator& zone, const SettingWriteResult& result);
// "Wiersz 7: SP: 900 poza zakresem 0..537" for a line of the file that was refused.
[[nodiscard]] std::string RefusalText(const SetRefusal& refusal);
// "w pliku strefa 1 ma adres 6" when the file's entry does not fit the zone.
[[nodiscard]] std::string PairingRefusalText(const TRegulator& zone, const ZonePairing& pairing);
// "porównano ze strefą 2 z pliku, o tym samym adresie".
[[nodiscard]] std::string PairedByAddressText(const ZoneSettings& saved);

} // namespace hz70

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "comm/Trans.h"
#include "model/PollingState.h"
#include "model/Slohz70.h"
#include "model/ZoneList.h"

#include <optional>
#include <string>
#include <string_view>

namespace hz70 {

inline constexpr int kFirstSlaveAddress = 1;
inline constexpr int kLastSlaveAddress = 247;

inline constexpr const char* kBadAddressText = "Błędne dane. Ma być 1...247.";
inline constexpr const char* kNotFoundText = "NIE ZNALEZIONO REGULATORA";
// The settings file separates the names with it, so a name must not hold one.
inline constexpr char kNameSeparator = ';';
// The name field takes one character more than a name keeps; the extra one is cut off.
inline constexpr int kNameFieldLength = 30;

// "Może być maksymalnie  8 stref": the refusal of a ninth zone.
[[nodiscard]] std::string ListFullText();

// One line of the list: " 1  \tSTREFA  1". The name is copied as it is, never read as a format.
[[nodiscard]] std::string ZoneLine(int address, std::string_view name);

// A number typed into a dialog field: leading blanks, an optional sign and decimal digits, nothing else
// (no blank after it, no "$" or "0x"), fitting 32 bits.
[[nodiscard]] std::optional<int> ParseDecimalField(std::string_view field);

// The address field: a decimal field in 1..247.
[[nodiscard]] std::optional<int> ParseZoneAddress(std::string_view field);

// The field without what a zone name cannot hold: the settings file separates the names with ";" and its
// lines with line breaks, and keeps Windows-1250 only (anything else would come back as "?"). Control
// characters go too.
[[nodiscard]] std::string ZoneNameCharacters(std::string_view field);

// The name field as a zone name: ZoneNameCharacters, cut to kZoneNameLength characters (UTF-8).
[[nodiscard]] std::string ZoneNameFromField(std::string_view field);

// The dialog's working copy of the configured zones, one list line per entry. Nothing reaches the
// program's zone list until Applied() is taken.
class ZoneListEditor {
public:
    enum class EditResult { kDone, kBadAddress, kListFull, kNoLine };

    // Lines for the leading entries up to DevCount, stopping at the first empty slot.
    explicit ZoneListEditor(const ZoneList& zones);

    [[nodiscard]] int lineCount() const { return lineCount_; }
    [[nodiscard]] const ZoneAddresses& Addr() const { return Addr_; }
    [[nodiscard]] const ZoneNames& Names() const { return Names_; }
    [[nodiscard]] std::string Line(int line) const;

    // Appends an entry from the fields; refused when the list is full or the address is bad.
    EditResult Add(std::string_view addressField, std::string_view nameField);
    // Replaces the entry of `line` (-1 = none selected) from the fields.
    EditResult Modify(int line, std::string_view addressField, std::string_view nameField);
    // Removes the entry of `line` and moves the later ones up; refused for no line and for the last one.
    bool Remove(int line);

    // A bus search starts: every address is cleared and the list emptied; the names stay for the
    // controllers to be found, the k-th found taking the name of slot k.
    void BeginSearch();
    void AppendFound(int address);
    // Ends a search; when nothing was found, leaves one entry at address 1 and returns true.
    bool EndSearch();
    // Ends a search that could not ask the bus: the entries are those it started from.
    void AbandonSearch();

    // The zone list to hand to the program: one zone per line, every slot past the lines empty.
    [[nodiscard]] ZoneList Applied() const;

private:
    [[nodiscard]] bool IsLine(int line) const { return line >= 0 && line < lineCount_; }
    EditResult Store(int slot, std::string_view addressField, std::string_view nameField);

    ZoneAddresses Addr_{};
    ZoneNames Names_;
    int lineCount_ = 0;
    ZoneAddresses addrBeforeSearch_{};
    int lineCountBeforeSearch_ = 0;
};

// Asks the bus, one address per Next(), which slaves are HZ70 controllers. The poll timer is paused
// from Start() until the 8th controller is found, Stop() or destruction. Passing the last address, or a
// port that does not open, ends the stepping but leaves the pause to Stop(), so that the caller can
// report the outcome before the poll cycle may open a message of its own.
class BusSearch {
public:
    enum class Outcome {
        kIdle,        // not stepping: nothing was asked
        kNone,        // the address gave no HZ70
        kFound,       // an HZ70 answered at `address`
        kFoundAll,    // the 8th HZ70 answered at `address`; stepping is over
        kRangeEnd,    // every address was asked; stepping is over
        kPortNotOpen, // the port cannot be opened, so no address can be asked; stepping is over
    };
    struct Step {
        Outcome outcome = Outcome::kIdle;
        int address = 0;
    };

    BusSearch(TTrans& trans, PollingState& polling);

    void Start();
    // One identification exchange (blocking, up to the link's reply time-out).
    Step Next();
    // Ends the stepping and resumes polling.
    void Stop();

    [[nodiscard]] bool stepping() const { return stepping_; }
    // The address the next step asks.
    [[nodiscard]] int address() const { return Probe.address; }
    [[nodiscard]] int FoundCount() const { return foundCount_; }

    TRegulator Probe;

private:
    TTrans& trans_;
    PollingState& polling_;
    std::optional<PollingPause> pause_;
    bool stepping_ = false;
    int foundCount_ = 0;
};

} // namespace hz70

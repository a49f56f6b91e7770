// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "views/core/ChartAxis.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hz70 {

inline constexpr const char* kAxisDialogErrorCaption = "Błąd";
inline constexpr const char* kBadAxisData = "Nieprawidłowe dane - oś Y.";
inline constexpr const char* kBadLeftAxisData = "Nieprawidłowe dane lewej osi Y.";
inline constexpr const char* kBadRightAxisData = "Nieprawidłowe dane prawej osi Y.";
inline constexpr const char* kAxisRangeReversed = "Wartość minimum osi musi być <= maksimum.";

// One axis as the Y-axis dialog holds it while open (flags are 0 or 1).
struct AxisSettings {
    int visible = 0;
    int automatic = 0;
    int logarithmic = 0;
    int autoMaximum = 0;
    int autoMinimum = 0;
    int maximum = 0;
    int minimum = 0;
    std::string format;

    friend bool operator==(const AxisSettings&, const AxisSettings&) = default;
};

// The axis as the dialog opens on it; the ends read back, truncated toward zero.
[[nodiscard]] AxisSettings ReadAxisSettings(const ChartAxis& axis);

// What the dialog's controls hold for the shown axis.
struct AxisControls {
    bool visible = false;
    bool logarithmic = false;
    bool automatic = false;
    bool autoMaximum = false;
    bool autoMinimum = false;
    std::string maximumText;
    std::string minimumText;
    std::string format;
};

// A limit typed by the operator: a real number with the locale's decimal separator, blanks around it
// and an exponent allowed, truncated toward zero. None when it is no number or lies outside 32 bits.
[[nodiscard]] std::optional<int> ParseAxisLimit(std::string_view text, std::string_view decimalSeparator);

// Stores the controls into `settings`: the flags, then the minimum and the maximum (each only when
// its end is not automatic), then the format. A limit that is no number stops the reading there and
// gives false; what was not read yet keeps its value.
[[nodiscard]] bool StoreAxisControls(const AxisControls& controls, AxisSettings& settings,
                                     std::string_view decimalSeparator);

// Which scale controls the operator may use.
struct AxisControlsEnabled {
    bool maximumEdit = false;
    bool minimumEdit = false;
    bool automaticEnds = false; // "auto maks" and "auto min"

    friend bool operator==(const AxisControlsEnabled&, const AxisControlsEnabled&) = default;
};
[[nodiscard]] AxisControlsEnabled EnabledAxisControls(bool automatic, bool autoMaximum, bool autoMinimum);

// What applying the dialog brought: its own messages in order, and the axis's refusal that stopped it.
struct AxisDialogOutcome {
    std::vector<std::string> messages;
    AxisRefusal refusal = AxisRefusal::kNone;

    // Every step was carried out.
    [[nodiscard]] bool complete() const { return refusal == AxisRefusal::kNone; }
};

// Applies both axes as the dialog's OK does, left before right at each step: visible; logarithmic;
// automatic; automatic maximum; automatic minimum; the ranges, right axis first (a maximum below the
// minimum is reported and that range left as it was); the formats. The logarithmic flag is judged
// against the axis's range before this change, and a refusal stops the steps there.
[[nodiscard]] AxisDialogOutcome ApplyAxisSettings(ChartAxis& left, ChartAxis& right, const AxisSettings& l,
                                                  const AxisSettings& r);

} // namespace hz70

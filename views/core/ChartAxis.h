// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hz70 {

// Settings an axis refuses, and the error each gives.
enum class AxisRefusal {
    kNone,
    kMaximumBelowMinimum,
    kMinimumAboveMaximum,
    kLogarithmicBelowZero,
};

// "Axis Maximum Value must be >= Minimum" and the others; "" for kNone.
[[nodiscard]] const char* AxisRefusalText(AxisRefusal refusal);

// A closed interval of values on an axis.
struct ValueSpan {
    double lower = 0.0;
    double upper = 0.0;

    friend bool operator==(const ValueSpan&, const ValueSpan&) = default;
};

// One value axis of the trend chart: whether it shows, its scale (fixed, automatic at either end,
// logarithmic), its fixed range and its label format. Automatic scale couples the two automatic ends:
// switching it sets both, switching an end off switches it off, and switching an end on while the
// other is on switches it on.
class ChartAxis {
public:
    ChartAxis(double minimum, double maximum) : fixed_{minimum, maximum} {}

    [[nodiscard]] bool visible() const { return visible_; }
    void SetVisible(bool on) { visible_ = on; }

    [[nodiscard]] bool logarithmic() const { return logarithmic_; }
    // Switching it on is refused while the minimum or maximum read back is below 0.
    [[nodiscard]] AxisRefusal SetLogarithmic(bool on);

    [[nodiscard]] bool automatic() const { return automatic_; }
    void SetAutomatic(bool on);
    [[nodiscard]] bool automaticMaximum() const { return automaticMaximum_; }
    void SetAutomaticMaximum(bool on);
    [[nodiscard]] bool automaticMinimum() const { return automaticMinimum_; }
    void SetAutomaticMinimum(bool on);

    // The ends read back: worked out from the shown series while that end is automatic (until any are
    // worked out, the fixed end), otherwise the fixed end.
    [[nodiscard]] double maximum() const;
    [[nodiscard]] double minimum() const;
    // The fixed ends, kept also while automatic. A maximum below the fixed minimum and a minimum above
    // the fixed maximum are refused. Comparing with the fixed ends, not the worked-out ones, lets an
    // automatic axis keep any valid fixed range for later.
    [[nodiscard]] AxisRefusal SetMaximum(double value);
    [[nodiscard]] AxisRefusal SetMinimum(double value);
    [[nodiscard]] ValueSpan fixedSpan() const { return fixed_; }

    [[nodiscard]] const std::string& labelFormat() const { return labelFormat_; }
    void SetLabelFormat(std::string format) { labelFormat_ = std::move(format); }

    // The range of the shown series' values; nothing (no points) keeps the last one worked out.
    void WorkOut(std::optional<ValueSpan> data);

    // What the axis draws: the ends read back, apart when equal, and positive on a logarithmic scale.
    [[nodiscard]] ValueSpan Shown() const;
    // Where a value goes along the axis: the value itself, or its decimal logarithm on a logarithmic
    // scale, which puts values of 0 and below at the shown lower end.
    [[nodiscard]] double Coordinate(double value) const;
    // Shown(), as coordinates.
    [[nodiscard]] ValueSpan ShownCoordinates() const;

private:
    bool visible_ = true;
    bool logarithmic_ = false;
    bool automatic_ = false;
    bool automaticMaximum_ = false;
    bool automaticMinimum_ = false;
    ValueSpan fixed_;
    std::optional<ValueSpan> workedOut_;
    std::string labelFormat_ = "###0.###";
};

// Sets both fixed ends in the order that lets every range with maximum >= minimum through, whatever
// the range before; a range with maximum < minimum is refused.
[[nodiscard]] AxisRefusal SetAxisRange(ChartAxis& axis, double minimum, double maximum);

// Labelled points along an axis: values inside `shown`, at most `ticks` steps apart, at 1, 2 or 5
// times a power of ten (decades first on a logarithmic scale). Ascending.
[[nodiscard]] std::vector<double> AxisTicks(ValueSpan shown, bool logarithmic, int ticks);

// The tick labels in `format`, made distinct (a category axis needs distinct texts) by zero-width
// spaces, which do not show.
[[nodiscard]] std::vector<std::string> AxisTickLabels(const std::vector<double>& ticks,
                                                      std::string_view format,
                                                      std::string_view decimalSeparator,
                                                      std::string_view groupSeparator);

// The option bits of an axis in the settings file.
enum AxisOptionBit : int {
    kAxisVisibleBit = 1,
    kAxisLogarithmicBit = 2,
    kAxisAutomaticBit = 4,
    kAxisAutomaticMaximumBit = 8,
    kAxisAutomaticMinimumBit = 16,
};

// An axis as the settings file stores it.
struct StoredAxis {
    int options = 0;
    int maximum = 0;
    int minimum = 0;
    std::string format;

    friend bool operator==(const StoredAxis&, const StoredAxis&) = default;
};

// Applies stored settings: visible, the automatic flags, the range, logarithmic, the format. The range
// goes before the logarithmic flag so that a logarithmic axis stored with its range comes back. What
// the axis refuses is left as it was and listed.
[[nodiscard]] std::vector<AxisRefusal> ApplyStoredAxis(ChartAxis& axis, const StoredAxis& stored);
// The axis as stored: option bits, the ends read back truncated toward zero, the format.
[[nodiscard]] StoredAxis StoreAxis(const ChartAxis& axis);

// Truncates toward zero into the 32-bit range (NaN gives 0).
[[nodiscard]] int TruncateToInt(double value);

} // namespace hz70

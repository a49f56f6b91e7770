// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/core/ChartAxis.h"

#include "views/core/FloatMask.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace hz70 {
namespace {

constexpr const char* kZeroWidthSpace = "\u200B";

// A logarithmic axis whose minimum is 0 starts this many decades below its maximum.
constexpr double kDecadesBelowMaximum = 3.0;

// A tick step: 1, 2 or 5 times a power of ten.
struct TickStep {
    double factor = 1.0;
    int exponent = 0;

    [[nodiscard]] double size() const { return factor * std::pow(10.0, exponent); }
    // The n-th multiple, divided rather than multiplied by a negative power of ten so that decimal
    // ticks come out as the doubles nearest to them (20.4, not 20.400000000000002).
    [[nodiscard]] double Multiple(double n) const {
        return exponent >= 0 ? n * factor * std::pow(10.0, exponent) : n * factor / std::pow(10.0, -exponent);
    }
};

// The smallest step that is at least `raw`.
TickStep NiceStep(double raw) {
    const int exponent = static_cast<int>(std::floor(std::log10(raw)));
    for (const double factor : {1.0, 2.0, 5.0}) {
        const TickStep step{factor, exponent};
        if (step.size() >= raw * (1.0 - 1e-9)) {
            return step;
        }
    }
    return {1.0, exponent + 1};
}

std::vector<double> LinearTicks(ValueSpan shown, int ticks) {
    const TickStep step = NiceStep((shown.upper - shown.lower) / std::max(ticks, 1));
    std::vector<double> values;
    const double slack = step.size() * 1e-9;
    for (double n = std::ceil(shown.lower / step.size() - 1e-9);; n += 1.0) {
        const double value = step.Multiple(n) + 0.0; // + 0.0 turns -0 into 0
        if (value > shown.upper + slack) {
            break;
        }
        values.push_back(value);
    }
    return values;
}

// Decades, thinned to fit; within a single decade 1, 2 and 5 times powers of ten; else linear.
std::vector<double> LogarithmicTicks(ValueSpan shown, int ticks) {
    const double first = std::ceil(std::log10(shown.lower) - 1e-9);
    const double last = std::floor(std::log10(shown.upper) + 1e-9);
    const int decades = static_cast<int>(last - first) + 1;
    std::vector<double> values;
    if (decades >= 2) {
        const int every = (decades + std::max(ticks, 1) - 1) / std::max(ticks, 1);
        for (double k = first; k <= last; k += every) {
            values.push_back(std::pow(10.0, k));
        }
        return values;
    }
    for (double k = first - 1; k <= last; k += 1.0) {
        for (const double factor : {1.0, 2.0, 5.0}) {
            const double value = factor * std::pow(10.0, k);
            if (value >= shown.lower * (1 - 1e-9) && value <= shown.upper * (1 + 1e-9)) {
                values.push_back(value);
            }
        }
    }
    if (values.size() >= 2 && static_cast<int>(values.size()) <= ticks) {
        return values;
    }
    return LinearTicks(shown, ticks);
}

} // namespace

const char* AxisRefusalText(AxisRefusal refusal) {
    switch (refusal) {
    case AxisRefusal::kNone:
        return "";
    case AxisRefusal::kMaximumBelowMinimum:
        return "Axis Maximum Value must be >= Minimum";
    case AxisRefusal::kMinimumAboveMaximum:
        return "Axis Minimum Value must be <= Maximum";
    case AxisRefusal::kLogarithmicBelowZero:
        return "Logarithmic Axis Min and Max values should be >= 0";
    }
    return "";
}

AxisRefusal ChartAxis::SetLogarithmic(bool on) {
    if (on && (minimum() < 0 || maximum() < 0)) {
        return AxisRefusal::kLogarithmicBelowZero;
    }
    logarithmic_ = on;
    return AxisRefusal::kNone;
}

void ChartAxis::SetAutomatic(bool on) {
    automatic_ = on;
    automaticMaximum_ = on;
    automaticMinimum_ = on;
}

void ChartAxis::SetAutomaticMaximum(bool on) {
    automaticMaximum_ = on;
    automatic_ = on && automaticMinimum_;
}

void ChartAxis::SetAutomaticMinimum(bool on) {
    automaticMinimum_ = on;
    automatic_ = on && automaticMaximum_;
}

double ChartAxis::maximum() const {
    return automaticMaximum_ && workedOut_ ? workedOut_->upper : fixed_.upper;
}

double ChartAxis::minimum() const {
    return automaticMinimum_ && workedOut_ ? workedOut_->lower : fixed_.lower;
}

AxisRefusal ChartAxis::SetMaximum(double value) {
    if (value < fixed_.lower) {
        return AxisRefusal::kMaximumBelowMinimum;
    }
    fixed_.upper = value;
    return AxisRefusal::kNone;
}

AxisRefusal ChartAxis::SetMinimum(double value) {
    if (value > fixed_.upper) {
        return AxisRefusal::kMinimumAboveMaximum;
    }
    fixed_.lower = value;
    return AxisRefusal::kNone;
}

void ChartAxis::WorkOut(std::optional<ValueSpan> data) {
    if (data) {
        workedOut_ = data;
    }
}

ValueSpan ChartAxis::Shown() const {
    double lower = std::min(minimum(), maximum());
    double upper = std::max(minimum(), maximum());
    if (logarithmic_) {
        if (upper <= 0) {
            return {1.0, 10.0};
        }
        if (lower <= 0) {
            lower = upper / std::pow(10.0, kDecadesBelowMaximum);
        }
        if (lower == upper) {
            return {lower / 2, upper * 2};
        }
        return {lower, upper};
    }
    if (lower == upper) {
        return {lower - 1, upper + 1};
    }
    return {lower, upper};
}

double ChartAxis::Coordinate(double value) const {
    if (!logarithmic_) {
        return value;
    }
    return std::log10(value > 0 ? value : Shown().lower);
}

ValueSpan ChartAxis::ShownCoordinates() const {
    const ValueSpan shown = Shown();
    return {Coordinate(shown.lower), Coordinate(shown.upper)};
}

AxisRefusal SetAxisRange(ChartAxis& axis, double minimum, double maximum) {
    if (maximum < minimum) {
        return AxisRefusal::kMaximumBelowMinimum;
    }
    if (maximum >= axis.fixedSpan().lower) {
        (void)axis.SetMaximum(maximum); // cannot be refused: checked just above
        return axis.SetMinimum(minimum);
    }
    (void)axis.SetMinimum(minimum); // below the fixed maximum, since maximum < the fixed minimum
    return axis.SetMaximum(maximum);
}

std::vector<double> AxisTicks(ValueSpan shown, bool logarithmic, int ticks) {
    if (!(shown.upper > shown.lower)) {
        return {shown.lower};
    }
    if (logarithmic && shown.lower > 0) {
        return LogarithmicTicks(shown, ticks);
    }
    return LinearTicks(shown, ticks);
}

std::vector<std::string> AxisTickLabels(const std::vector<double>& ticks, std::string_view format,
                                        std::string_view decimalSeparator, std::string_view groupSeparator) {
    std::vector<std::string> labels;
    labels.reserve(ticks.size());
    for (const double tick : ticks) {
        std::string label = FormatFloatMask(format, tick, decimalSeparator, groupSeparator);
        while (std::find(labels.begin(), labels.end(), label) != labels.end()) {
            label += kZeroWidthSpace;
        }
        labels.push_back(std::move(label));
    }
    return labels;
}

std::vector<AxisRefusal> ApplyStoredAxis(ChartAxis& axis, const StoredAxis& stored) {
    std::vector<AxisRefusal> refusals;
    const auto note = [&refusals](AxisRefusal refusal) {
        if (refusal != AxisRefusal::kNone) {
            refusals.push_back(refusal);
        }
    };
    axis.SetVisible((stored.options & kAxisVisibleBit) != 0);
    axis.SetAutomatic((stored.options & kAxisAutomaticBit) != 0);
    axis.SetAutomaticMaximum((stored.options & kAxisAutomaticMaximumBit) != 0);
    axis.SetAutomaticMinimum((stored.options & kAxisAutomaticMinimumBit) != 0);
    note(SetAxisRange(axis, stored.minimum, stored.maximum));
    note(axis.SetLogarithmic((stored.options & kAxisLogarithmicBit) != 0));
    axis.SetLabelFormat(stored.format);
    return refusals;
}

StoredAxis StoreAxis(const ChartAxis& axis) {
    StoredAxis stored;
    stored.options = (axis.visible() ? kAxisVisibleBit : 0) | (axis.logarithmic() ? kAxisLogarithmicBit : 0) |
                     (axis.automatic() ? kAxisAutomaticBit : 0) |
                     (axis.automaticMaximum() ? kAxisAutomaticMaximumBit : 0) |
                     (axis.automaticMinimum() ? kAxisAutomaticMinimumBit : 0);
    stored.maximum = TruncateToInt(axis.maximum());
    stored.minimum = TruncateToInt(axis.minimum());
    stored.format = axis.labelFormat();
    return stored;
}

int TruncateToInt(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    const double truncated = std::trunc(value);
    return static_cast<int>(std::clamp(truncated, static_cast<double>(std::numeric_limits<int>::min()),
                                       static_cast<double>(std::numeric_limits<int>::max())));
}

} // namespace hz70

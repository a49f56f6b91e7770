// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/core/BarSeries.h"

#include "views/core/BarLabels.h"

#include <algorithm>
#include <cmath>

namespace hz70 {
namespace {

// Below this span (in the values' units) a flat row of bars would get a needlessly fine axis.
constexpr double kSmallestSpan = 10.0;
// Share of the span added above the highest bar so that its value label stays inside.
constexpr double kLabelRoom = 0.1;
constexpr double kTicksWanted = 5.0;

BarPoint PointOf(const TRegulator& record, double value, std::string label) {
    BarPoint point;
    point.x = record.zoneNumber - 1;
    point.label = std::move(label);
    point.empty = IsNoValue(value);
    point.y = point.empty ? 0.0 : value;
    return point;
}

// The step of 1, 2 or 5 times a power of ten nearest to `roughStep`.
double NiceStep(double roughStep) {
    const double power = std::pow(10.0, std::floor(std::log10(roughStep)));
    const double factor = roughStep / power;
    if (factor < 1.5) {
        return power;
    }
    if (factor < 3.5) {
        return 2.0 * power;
    }
    return factor < 7.5 ? 5.0 * power : 10.0 * power;
}

// The next step of the 1, 2, 5 series above `step`.
double CoarserStep(double step) {
    const double power = std::pow(10.0, std::floor(std::log10(step)));
    const double factor = step / power;
    if (factor < 1.5) {
        return 2.0 * power;
    }
    return factor < 3.5 ? 5.0 * power : 10.0 * power;
}

// Ticks at the multiples of `step` (the axis anchors them at 0) within the range.
int TickCount(const AxisRange& range, double step) {
    return static_cast<int>(std::floor(range.max / step) - std::ceil(range.min / step)) + 1;
}

// Share of its slot a bar takes.
constexpr double kBarWidth = 0.5;

} // namespace

BarPoint TemperaturePoint(const TRegulator& record) {
    return PointOf(record, record.measured[kMeasuredTemperature].value, TemperatureBarLabel(record));
}

BarPoint CurrentPoint(const TRegulator& record) {
    return PointOf(record, record.measured[kLoadCurrent].value, CurrentBarLabel(record));
}

void BarSeries::Rebuild(int zoneCount) {
    points_.clear();
    for (int zone = 0; zone < zoneCount; ++zone) {
        points_.push_back(BarPoint{zone, 0.0, DefaultBarLabel(zone), false});
    }
}

bool BarSeries::Replace(BarPoint point) {
    const auto slot = std::find_if(points_.begin(), points_.end(),
                                   [&point](const BarPoint& bar) { return bar.x == point.x; });
    if (slot == points_.end()) {
        return false;
    }
    *slot = std::move(point);
    return true;
}

std::vector<std::string> BarSeries::Labels() const {
    std::vector<std::string> labels;
    labels.reserve(points_.size());
    for (const BarPoint& point : points_) {
        labels.push_back(point.label);
    }
    return labels;
}

AxisRange AutomaticAxisRange(const std::vector<BarPoint>& points) {
    double low = 0.0;
    double high = 0.0;
    for (const BarPoint& point : points) {
        if (!point.empty) {
            low = std::min(low, point.y);
            high = std::max(high, point.y);
        }
    }
    if (high - low < kSmallestSpan) {
        high = low + kSmallestSpan;
    }
    if (high > 0.0) {
        high += kLabelRoom * (high - low);
    }
    const double step = NiceStep((high - low) / kTicksWanted);
    return {std::floor(low / step) * step, std::ceil(high / step) * step, step};
}

Box BarBox(const Box& plot, int slots, int slot, double value, const AxisRange& range) {
    const double bottom = plot.top + plot.height;
    const auto yOf = [&](double v) {
        const double y = bottom - (v - range.min) / (range.max - range.min) * plot.height;
        return std::clamp(y, plot.top, bottom);
    };
    const double slotWidth = plot.width / slots;
    const double top = yOf(std::max(value, 0.0));
    return {plot.left + slotWidth * (slot + (1.0 - kBarWidth) / 2.0), top, slotWidth * kBarWidth,
            yOf(std::min(value, 0.0)) - top};
}

AxisRange FitTicks(const AxisRange& range, double length, double tickRoom) {
    AxisRange fitted = range;
    if (fitted.step <= 0.0) {
        return fitted;
    }
    while (TickCount(fitted, fitted.step) > 2 && TickCount(fitted, fitted.step) * tickRoom > length) {
        fitted.step = CoarserStep(fitted.step);
    }
    return fitted;
}

} // namespace hz70

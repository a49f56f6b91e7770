// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/Slohz70.h"

#include <string>
#include <vector>

namespace hz70 {

// One bar: its slot (the zone index), its height and label. An empty point keeps its slot and label
// but draws neither a bar nor a value label.
struct BarPoint {
    int x = 0;
    double y = 0.0;
    std::string label;
    bool empty = false;

    friend bool operator==(const BarPoint&, const BarPoint&) = default;
};

// The measured temperature of the record's zone, labelled with the name and the unit.
[[nodiscard]] BarPoint TemperaturePoint(const TRegulator& record);
// The load current of the record's zone, labelled with the name.
[[nodiscard]] BarPoint CurrentPoint(const TRegulator& record);

// The bars of one series, one per zone, kept in ascending order of slot.
class BarSeries {
public:
    // One zero bar per zone, labelled "STREFA1".. by zone index.
    void Rebuild(int zoneCount);
    // Puts `point` in place of the bar of its slot. A slot the series does not hold (a record that is
    // not one of the configured zones) is refused with false.
    bool Replace(BarPoint point);

    [[nodiscard]] const std::vector<BarPoint>& points() const { return points_; }
    [[nodiscard]] std::vector<std::string> Labels() const;

private:
    std::vector<BarPoint> points_;
};

// A value-axis range with the distance between its ticks.
struct AxisRange {
    double min = 0.0;
    double max = 0.0;
    double step = 0.0;

    friend bool operator==(const AxisRange&, const AxisRange&) = default;
};

// The range at program start, before the window is first shown.
inline constexpr AxisRange kDesignAxisRange{0.0, 313.0, 50.0};
// The fixed range of the currents, in amperes; larger currents are cut off at the top.
inline constexpr AxisRange kCurrentAxisRange{0.0, 20.0, 2.0};

// A rectangle in the chart's coordinates, y growing downwards.
struct Box {
    double left = 0.0;
    double top = 0.0;
    double width = 0.0;
    double height = 0.0;

    friend bool operator==(const Box&, const Box&) = default;
};

// Where the bar of `slot` is drawn among `slots` equal slots across `plot`: half its slot wide and
// centred in it, from 0 to `value` on the value axis `range`, cut off at the plot's edges.
[[nodiscard]] Box BarBox(const Box& plot, int slots, int slot, double value, const AxisRange& range);

// The automatic range: from the bars' base at 0 to the highest (or lowest) bar, with room above the
// highest for its value label, rounded outward to about five ticks of 1, 2 or 5 times a power of ten.
// The range spans at least 10, so the ticks are whole numbers. Empty points do not count.
[[nodiscard]] AxisRange AutomaticAxisRange(const std::vector<BarPoint>& points);

// `range` with its step widened (to 1, 2 or 5 times a power of ten) until each tick has `tickRoom`
// along an axis `length` long, or only the ticks at 0 and one end are left. A chart cuts a tick label
// that lacks room to an ellipsis, so a short axis gets fewer, readable ticks.
[[nodiscard]] AxisRange FitTicks(const AxisRange& range, double length, double tickRoom);

} // namespace hz70

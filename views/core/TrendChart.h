// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/ChartSettings.h"
#include "model/Slohz70.h"
#include "views/core/ChartAxis.h"
#include "views/core/TrendRecorder.h"

#include <array>
#include <optional>
#include <string>

namespace hz70 {

inline constexpr std::array<const char*, kCurvesPerZone> kCurveTitles{"Temp.", "SP", "Moc [%]", "Prad [A]"};
// The left title before the zone on the selected tab has taken a sample: no unit yet.
inline constexpr const char* kTemperatureAxisTitle = "Temp.mierzona / SP ";
inline constexpr const char* kPowerAxisTitle = "Moc [%] / Prad [A]";
inline constexpr const char* kTimeLabelFormat = "hh:mm:ss";

// The axes before the stored settings are applied.
inline constexpr ValueSpan kLeftDesignSpan{-5.0, 200.0};
inline constexpr ValueSpan kRightDesignSpan{-2.5, 100.0};

// Curves 0 and 1 (temperatures) use the left axis, 2 and 3 (power, current) the right one.
[[nodiscard]] constexpr bool OnLeftAxis(int kind) {
    return kind == kTemperatureCurve || kind == kSetpointCurve;
}

// "Temp.mierzona / SP [°C]" or "... [°F]" after the record's unit flag.
[[nodiscard]] std::string TemperatureAxisTitle(const TRegulator& record);

// The stored settings of each axis, and the chart's state written back into them at the end.
[[nodiscard]] StoredAxis LeftStoredAxis(const ChartSettings& settings);
[[nodiscard]] StoredAxis RightStoredAxis(const ChartSettings& settings);
void StoreChartState(ChartSettings& settings, const ChartAxis& left, const ChartAxis& right, int periodIndex);

// The range of the values of two curves, for an automatic axis; a logarithmic axis counts only
// positive values, which are the ones it can draw. Nothing when no value counts.
[[nodiscard]] std::optional<ValueSpan> CurvesValueSpan(const CurveBuffer& first, const CurveBuffer& second,
                                                       bool positiveOnly);

// The time axis spans the shown curves' points; a single moment gets a second on each side, and no
// points at all the last minute before `now`.
[[nodiscard]] ValueSpan TimeAxisSpan(const std::array<const CurveBuffer*, kCurvesPerZone>& curves,
                                     double now);

// How many labelled ticks the time axis gets over a plot `width` pixels wide: about one per 45 pixels,
// 2 to 24 of them, and never closer than a second, which "hh:mm:ss" could not tell apart.
[[nodiscard]] int TimeTickCount(double width, double spanMs);

} // namespace hz70

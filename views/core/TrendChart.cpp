// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/core/TrendChart.h"

#include <algorithm>
#include <cmath>

namespace hz70 {
namespace {

constexpr double kSecondMs = 1000.0;
constexpr double kMinuteMs = 60'000.0;
constexpr double kTimeTickSpacing = 45.0;
constexpr int kMostTimeTicks = 24;

void Widen(std::optional<ValueSpan>& span, double value) {
    if (!span) {
        span = ValueSpan{value, value};
        return;
    }
    span->lower = std::min(span->lower, value);
    span->upper = std::max(span->upper, value);
}

} // namespace

std::string TemperatureAxisTitle(const TRegulator& record) {
    return std::string("Temp.mierzona / SP ") + (record.fahrenheit != 0 ? "[°F]" : "[°C]");
}

StoredAxis LeftStoredAxis(const ChartSettings& settings) {
    return {settings.CheckL, settings.MaxL, settings.MinL, settings.FormatL};
}

StoredAxis RightStoredAxis(const ChartSettings& settings) {
    return {settings.CheckR, settings.MaxR, settings.MinR, settings.FormatR};
}

void StoreChartState(ChartSettings& settings, const ChartAxis& left, const ChartAxis& right,
                     int periodIndex) {
    const StoredAxis l = StoreAxis(left);
    const StoredAxis r = StoreAxis(right);
    settings.CheckL = l.options;
    settings.CheckR = r.options;
    settings.MaxL = l.maximum;
    settings.MaxR = r.maximum;
    settings.MinL = l.minimum;
    settings.MinR = r.minimum;
    settings.FormatL = l.format;
    settings.FormatR = r.format;
    settings.Okres = periodIndex;
}

std::optional<ValueSpan> CurvesValueSpan(const CurveBuffer& first, const CurveBuffer& second,
                                         bool positiveOnly) {
    std::optional<ValueSpan> span;
    for (const CurveBuffer* curve : {&first, &second}) {
        for (std::size_t i = 0; i < curve->size(); ++i) {
            const double value = (*curve)[i].value;
            if (!positiveOnly || value > 0) {
                Widen(span, value);
            }
        }
    }
    return span;
}

ValueSpan TimeAxisSpan(const std::array<const CurveBuffer*, kCurvesPerZone>& curves, double now) {
    std::optional<ValueSpan> span;
    for (const CurveBuffer* curve : curves) {
        if (!curve->empty()) {
            Widen(span, (*curve)[0].time);
            Widen(span, curve->back().time);
        }
    }
    if (!span) {
        return {now - kMinuteMs, now};
    }
    if (span->lower == span->upper) {
        return {span->lower - kSecondMs, span->upper + kSecondMs};
    }
    return *span;
}

int TimeTickCount(double width, double spanMs) {
    const double byWidth = std::floor(width / kTimeTickSpacing);
    const double bySeconds = std::floor(spanMs / kSecondMs) + 1;
    return static_cast<int>(
        std::clamp(std::min(byWidth, bySeconds), 2.0, static_cast<double>(kMostTimeTicks)));
}

} // namespace hz70

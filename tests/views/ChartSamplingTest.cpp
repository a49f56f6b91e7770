// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/SettingsFile.h"
#include "views/core/TrendChart.h"
#include "views/core/TrendRecorder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <limits>

namespace hz70 {
namespace {

using ::testing::ElementsAre;

constexpr double kStart = 1.7e12; // milliseconds since the epoch

TRegulator Record(double temperature, double setpoint, double power, double current) {
    TRegulator record;
    InitRegulator(record);
    record.measured[kMeasuredTemperature].value = temperature;
    record.measured[kCurrentSetpoint].value = setpoint;
    record.measured[kOutputPower].value = power;
    record.measured[kLoadCurrent].value = current;
    return record;
}

std::vector<double> Values(const CurveBuffer& curve) {
    std::vector<double> values;
    for (std::size_t i = 0; i < curve.size(); ++i) {
        values.push_back(curve[i].value);
    }
    return values;
}

std::vector<double> Times(const CurveBuffer& curve) {
    std::vector<double> times;
    for (std::size_t i = 0; i < curve.size(); ++i) {
        times.push_back(curve[i].time - kStart);
    }
    return times;
}

TEST(ChartSampling, TinyValuesBecomeZeroAndTheNoValueMarkAddsNoPoint) {
    TrendRecorder recorder;
    ASSERT_TRUE(recorder.SampleZone(2, kStart, Record(0.00005, -0.00005, 25.3, kNoValue)));
    EXPECT_THAT(Values(recorder.curve(2, kTemperatureCurve)), ElementsAre(0.0));
    EXPECT_THAT(Values(recorder.curve(2, kSetpointCurve)), ElementsAre(0.0));
    EXPECT_THAT(Values(recorder.curve(2, kPowerCurve)), ElementsAre(static_cast<double>(25.3f)));
    EXPECT_EQ(recorder.curve(2, kCurrentCurve).size(), 0u);
    EXPECT_EQ(recorder.curve(2, kTemperatureCurve)[0].time, kStart); // all curves share the moment

    EXPECT_EQ(CurveValue(-1e20), std::nullopt);
    EXPECT_EQ(CurveValue(1e300), std::nullopt);
    EXPECT_EQ(CurveValue(std::numeric_limits<double>::quiet_NaN()), std::nullopt);
    EXPECT_EQ(CurveValue(9.99999999e19), std::nullopt); // narrows onto the mark
    EXPECT_EQ(CurveValue(0.0001), static_cast<double>(0.0001f));
}

TEST(ChartSampling, ACurveHolds901PointsAndANoValueStillDropsTheOldest) {
    TrendRecorder recorder;
    recorder.ChoosePeriod(0);
    double now = kStart;
    for (int i = 0; i < 1000; ++i, now += 1000) {
        ASSERT_TRUE(recorder.SampleZone(0, now, Record(i, i, i, i)));
    }
    const CurveBuffer& curve = recorder.curve(0, kTemperatureCurve);
    EXPECT_EQ(curve.size(), 901u);
    EXPECT_EQ(curve[0].value, 99);
    EXPECT_EQ(curve.back().value, 999);
    EXPECT_EQ(curve.capacity(), 901u); // no growth past the bound

    ASSERT_TRUE(recorder.SampleZone(0, now, Record(kNoValue, kNoValue, kNoValue, kNoValue)));
    EXPECT_EQ(curve.size(), 900u);
    ASSERT_TRUE(recorder.SampleZone(0, now + 1000, Record(kNoValue, kNoValue, kNoValue, kNoValue)));
    EXPECT_EQ(curve.size(), 900u); // stays there while no values come
    EXPECT_EQ(curve[0].value, 100);
}

TEST(ChartSampling, AZoneIsDueOnePeriodAfterItsLastSample) {
    TrendRecorder recorder; // "2 s" by default
    const TRegulator record = Record(1, 2, 3, 4);
    EXPECT_TRUE(recorder.SampleZone(0, kStart, record)); // due at start
    EXPECT_FALSE(recorder.SampleZone(0, kStart + 1999, record));
    EXPECT_TRUE(recorder.SampleZone(0, kStart + 2500, record));  // a late tick...
    EXPECT_FALSE(recorder.SampleZone(0, kStart + 4499, record)); // ...moves the next due time
    EXPECT_TRUE(recorder.SampleZone(0, kStart + 4500, record));
    EXPECT_EQ(recorder.nextSampleTime(0), kStart + 6500);

    recorder.ChoosePeriod(0); // "1 s"
    double now = kStart + 10'000;
    EXPECT_TRUE(recorder.SampleZone(0, now, record));
    EXPECT_FALSE(recorder.SampleZone(0, now + 999, record)); // 1 ms early: no sample...
    EXPECT_TRUE(recorder.SampleZone(0, now + 2000, record)); // ...so these two are 2 s apart
    EXPECT_THAT(Times(recorder.curve(0, kTemperatureCurve)), ElementsAre(0, 2500, 4500, 10'000, 12'000));
}

TEST(ChartSampling, ChoosingAPeriodMakesEveryZoneDueAtOnceAndKeepsOlderPoints) {
    TrendRecorder recorder;
    const TRegulator record = Record(1, 2, 3, 4);
    for (int zone = 0; zone < kZoneSlots; ++zone) {
        ASSERT_TRUE(recorder.SampleZone(zone, kStart, record));
    }
    recorder.ChoosePeriod(10); // "15 min"
    for (int zone = 0; zone < kZoneSlots; ++zone) {
        EXPECT_TRUE(recorder.SampleZone(zone, kStart + 1, record)) << zone;
        EXPECT_EQ(recorder.curve(zone, kPowerCurve).size(), 2u);
    }
    EXPECT_FALSE(recorder.SampleZone(3, kStart + 899'999, record));
    EXPECT_TRUE(recorder.SampleZone(3, kStart + 900'001, record));
}

// After samples at "1 s" from 0 to 9 s, the clock reads `setBackTo`, then `later`; `choose` chooses a
// tracking time in between. The curve ends with the points at `times`, the new sample's value 99.
struct ClockSetBack {
    const char* name;
    double setBackTo;
    bool choose;
    double later;
    std::vector<double> times;
};

TEST(ChartSampling, AClockSetBackNeverRunsACurveBackwards) {
    const std::vector<ClockSetBack> cases{
        // A few seconds back: no sample until the clock reaches the due time again.
        {"small step waits", 6500, false, 9999, {0, 1000, 2000, 3000, 4000, 5000, 6000, 7000, 8000, 9000}},
        {"small step, then due",
         6500,
         false,
         10'000,
         {0, 1000, 2000, 3000, 4000, 5000, 6000, 7000, 8000, 9000, 10'000}},
        // A tracking time chosen meanwhile: due at once, and placed among the points by time.
        {"small step, period chosen",
         6500,
         true,
         6500,
         {0, 1000, 2000, 3000, 4000, 5000, 6000, 6500, 7000, 8000, 9000}},
        // Further back: the points after the new reading go, and the curve goes on from it.
        {"large step", 3500, false, 3999, {0, 1000, 2000, 3000, 3500}},
        {"before every point", -60'000, false, -60'000, {-60'000}},
    };
    for (const ClockSetBack& c : cases) {
        TrendRecorder recorder;
        recorder.ChoosePeriod(0);
        for (int i = 0; i < 10; ++i) {
            ASSERT_TRUE(recorder.SampleZone(0, kStart + i * 1000.0, Record(i, 0, 0, 0)));
        }
        (void)recorder.SampleZone(0, kStart + c.setBackTo, Record(99, 0, 0, 0));
        if (c.choose) {
            recorder.ChoosePeriod(0);
        }
        (void)recorder.SampleZone(0, kStart + c.later, Record(99, 0, 0, 0));
        const CurveBuffer& curve = recorder.curve(0, kTemperatureCurve);
        EXPECT_EQ(Times(curve), c.times) << c.name;
        for (std::size_t i = 0; i < curve.size(); ++i) {
            const bool old = curve[i].time - kStart <= 9000 && curve[i].time - kStart != c.setBackTo;
            EXPECT_EQ(curve[i].value, old ? (curve[i].time - kStart) / 1000 : 99) << c.name << " at " << i;
        }
    }
}

TEST(ChartSampling, TheRevisionCountsChangesToTheCurvesOnly) {
    TrendRecorder recorder;
    recorder.ChoosePeriod(0);
    const TRegulator none = Record(kNoValue, kNoValue, kNoValue, kNoValue);
    unsigned last = recorder.revision(0);
    const auto changed = [&recorder, &last] {
        const bool result = recorder.revision(0) != last;
        last = recorder.revision(0);
        return result;
    };
    ASSERT_TRUE(recorder.SampleZone(0, kStart, none));
    EXPECT_FALSE(changed()); // sampled, but nothing to draw
    EXPECT_FALSE(recorder.SampleZone(0, kStart + 500, Record(1, 1, 1, 1)));
    EXPECT_FALSE(changed());
    ASSERT_TRUE(recorder.SampleZone(0, kStart + 1000, Record(1, kNoValue, kNoValue, kNoValue)));
    EXPECT_TRUE(changed());
    EXPECT_EQ(recorder.revision(1), 0u); // per zone
    ASSERT_TRUE(recorder.SampleZone(0, kStart - kClockSetBackMs, none));
    EXPECT_TRUE(changed()); // the set-back clock dropped the points
}

TEST(ChartSampling, FullBufferKeepsTimeOrderAcrossTheWrap) {
    CurveBuffer buffer;
    for (int i = 0; i < 1000; ++i) {
        buffer.Add({i * 10.0, static_cast<double>(i)});
    }
    EXPECT_EQ(buffer.size(), kMaxCurvePoints); // full: the oldest goes first
    buffer.Add({9985.0, -1.0});                // between the two newest
    EXPECT_EQ(buffer.size(), kMaxCurvePoints);
    EXPECT_EQ(buffer[0].value, 100);
    EXPECT_EQ(buffer[kMaxCurvePoints - 2], (CurvePoint{9985.0, -1.0}));
    EXPECT_EQ(buffer.back(), (CurvePoint{9990.0, 999.0}));
    for (std::size_t i = 1; i < buffer.size(); ++i) {
        ASSERT_LE(buffer[i - 1].time, buffer[i].time) << i;
    }
}

TEST(ChartSampling, ZonesOutsideTheChartAreNotSampled) {
    TrendRecorder recorder;
    EXPECT_FALSE(recorder.SampleZone(8, kStart, Record(1, 1, 1, 1)));
    EXPECT_FALSE(recorder.SampleZone(-1, kStart, Record(1, 1, 1, 1)));
    EXPECT_TRUE(recorder.curve(-1, 0).empty());
    EXPECT_TRUE(recorder.curve(0, 4).empty());
}

TEST(ChartSampling, PeriodTableAndStoredIndexes) {
    std::vector<std::string> captions;
    for (const TrackingPeriod& period : kTrackingPeriods) {
        captions.emplace_back(period.caption);
    }
    EXPECT_THAT(captions, ElementsAre("1 s", "2 s", "5 s", "10 s", "15 s", "30 s", "1 min", "2 min", "5 min",
                                      "10 min", "15 min"));
    EXPECT_EQ(kTrackingPeriods[10].seconds, 900);
    EXPECT_EQ(TrackingPeriodIndex(10), 10);
    EXPECT_EQ(TrackingPeriodIndex(11), kDefaultPeriodIndex);
    EXPECT_EQ(TrackingPeriodIndex(-1), kDefaultPeriodIndex);
    TrendRecorder recorder;
    recorder.SetPeriodIndex(4);
    EXPECT_EQ(recorder.periodMs(), 15'000);
}

TEST(ChartSampling, DefaultSettingsGiveHiddenFixedAxesAndTwoSeconds) {
    const ChartSettings defaults;
    ChartAxis left(kLeftDesignSpan.lower, kLeftDesignSpan.upper);
    ChartAxis right(kRightDesignSpan.lower, kRightDesignSpan.upper);
    EXPECT_TRUE(ApplyStoredAxis(left, LeftStoredAxis(defaults)).empty());
    EXPECT_TRUE(ApplyStoredAxis(right, RightStoredAxis(defaults)).empty());
    EXPECT_FALSE(left.visible());
    EXPECT_FALSE(right.visible());
    EXPECT_FALSE(left.automatic() || left.automaticMaximum() || left.automaticMinimum());
    EXPECT_EQ(left.Shown(), (ValueSpan{0, 400}));
    EXPECT_EQ(right.Shown(), (ValueSpan{0, 100}));
    EXPECT_STREQ(kTrackingPeriods[static_cast<std::size_t>(TrackingPeriodIndex(defaults.Okres))].caption,
                 "2 s");
}

TEST(ChartSampling, ChartStateSurvivesARunThroughTheSettingsFile) {
    ChartAxis left(kLeftDesignSpan.lower, kLeftDesignSpan.upper);
    ChartAxis right(kRightDesignSpan.lower, kRightDesignSpan.upper);
    ASSERT_EQ(SetAxisRange(left, 1, 1000), AxisRefusal::kNone);
    ASSERT_EQ(left.SetLogarithmic(true), AxisRefusal::kNone);
    right.SetAutomaticMaximum(true);
    right.WorkOut(ValueSpan{0, 87.6});
    right.SetLabelFormat("0.0 \"%\"");
    ProgramSettings settings;
    StoreChartState(settings.chart, left, right, 7);
    EXPECT_EQ(settings.chart.CheckL, kAxisVisibleBit | kAxisLogarithmicBit);
    EXPECT_EQ(settings.chart.CheckR, kAxisVisibleBit | kAxisAutomaticMaximumBit);
    EXPECT_EQ(settings.chart.MaxR, 87);

    const ProgramSettings read = ParseSettingsFile(FormatSettingsFile(settings));
    EXPECT_EQ(read.chart, settings.chart);
    ChartAxis leftAgain(kLeftDesignSpan.lower, kLeftDesignSpan.upper);
    ChartAxis rightAgain(kRightDesignSpan.lower, kRightDesignSpan.upper);
    EXPECT_TRUE(ApplyStoredAxis(leftAgain, LeftStoredAxis(read.chart)).empty());
    EXPECT_TRUE(ApplyStoredAxis(rightAgain, RightStoredAxis(read.chart)).empty());
    EXPECT_EQ(StoreAxis(leftAgain), StoreAxis(left));
    EXPECT_EQ(StoreAxis(rightAgain), StoreAxis(right));
}

TEST(ChartSampling, AutomaticSpansCoverTheShownCurves) {
    CurveBuffer temperature;
    CurveBuffer setpoint;
    temperature.Add({1000, -2});
    temperature.Add({2000, 180});
    setpoint.Add({1500, 200});
    EXPECT_EQ(CurvesValueSpan(temperature, setpoint, false), (ValueSpan{-2, 200}));
    EXPECT_EQ(CurvesValueSpan(temperature, setpoint, true), (ValueSpan{180, 200}));
    EXPECT_EQ(CurvesValueSpan(CurveBuffer{}, CurveBuffer{}, false), std::nullopt);

    const CurveBuffer none;
    EXPECT_EQ(TimeAxisSpan({&temperature, &setpoint, &none, &none}, 0), (ValueSpan{1000, 2000}));
    EXPECT_EQ(TimeAxisSpan({&setpoint, &none, &none, &none}, 0), (ValueSpan{500, 2500}));
    EXPECT_EQ(TimeAxisSpan({&none, &none, &none, &none}, 100'000), (ValueSpan{40'000, 100'000}));
}

TEST(ChartSampling, TimeTicksFollowTheWidthButStaySecondsApart) {
    EXPECT_EQ(TimeTickCount(900, 15 * 60'000), 20);
    EXPECT_EQ(TimeTickCount(5000, 15 * 60'000), 24);
    EXPECT_EQ(TimeTickCount(900, 10'500), 11); // 0..10 s: eleven distinct seconds
    EXPECT_EQ(TimeTickCount(50, 60'000), 2);
    EXPECT_EQ(TimeTickCount(900, 0), 2);
}

TEST(ChartSampling, LeftTitleCarriesTheZonesUnit) {
    TRegulator record;
    EXPECT_EQ(TemperatureAxisTitle(record), "Temp.mierzona / SP [°C]");
    record.fahrenheit = 1;
    EXPECT_EQ(TemperatureAxisTitle(record), "Temp.mierzona / SP [°F]");
}

} // namespace
} // namespace hz70

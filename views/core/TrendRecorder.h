// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/Slohz70.h"
#include "model/ZoneList.h"

#include <array>
#include <cstddef>
#include <optional>
#include <vector>

namespace hz70 {

inline constexpr int kCurvesPerZone = 4;
// A curve keeps this many points at most: the oldest goes before a new one comes once 900 are held.
inline constexpr std::size_t kMaxCurvePoints = 901;

// What each of a zone's curves draws, in curve order.
enum CurveKind : int { kTemperatureCurve, kSetpointCurve, kPowerCurve, kCurrentCurve };
inline constexpr std::array<MeasuredRow, kCurvesPerZone> kCurveSources{kMeasuredTemperature, kCurrentSetpoint,
                                                                       kOutputPower, kLoadCurrent};

// The tracking periods offered, as listed and in seconds.
struct TrackingPeriod {
    const char* caption;
    int seconds;
};
inline constexpr std::array<TrackingPeriod, 11> kTrackingPeriods{{{"1 s", 1},
                                                                  {"2 s", 2},
                                                                  {"5 s", 5},
                                                                  {"10 s", 10},
                                                                  {"15 s", 15},
                                                                  {"30 s", 30},
                                                                  {"1 min", 60},
                                                                  {"2 min", 120},
                                                                  {"5 min", 300},
                                                                  {"10 min", 600},
                                                                  {"15 min", 900}}};
inline constexpr int kDefaultPeriodIndex = 1;

// A stored period index, or the default one when it is not in the table.
[[nodiscard]] int TrackingPeriodIndex(int stored);

// One point of a curve: when (milliseconds since the epoch) and the value.
struct CurvePoint {
    double time = 0.0;
    double value = 0.0;

    friend bool operator==(const CurvePoint&, const CurvePoint&) = default;
};

// A curve's points in time order, at most kMaxCurvePoints of them, in storage allocated once.
class CurveBuffer {
public:
    [[nodiscard]] std::size_t size() const { return size_; }
    [[nodiscard]] bool empty() const { return size_ == 0; }
    // Index 0 is the oldest point.
    [[nodiscard]] const CurvePoint& operator[](std::size_t index) const {
        return points_[(head_ + index) % kMaxCurvePoints];
    }
    [[nodiscard]] const CurvePoint& back() const { return (*this)[size_ - 1]; }
    [[nodiscard]] std::size_t capacity() const { return points_.capacity(); }

    void DropOldest();
    // Drops the points later than `time`, newest first.
    void DropLaterThan(double time);
    // Appends a point, or places it among the others by time when it is older than the newest; when
    // the buffer is full the oldest point goes first.
    void Add(CurvePoint point);

private:
    CurvePoint& at(std::size_t index) { return points_[(head_ + index) % kMaxCurvePoints]; }

    std::vector<CurvePoint> points_;
    std::size_t head_ = 0;
    std::size_t size_ = 0;
};

// The value a curve takes from a record's value: narrowed to single precision, below 1e-4 in size
// taken as 0; none for the no-value mark (1e20 and above in size) or what is not a number.
[[nodiscard]] std::optional<double> CurveValue(double recordValue);

// A step of the wall clock back by more than this is taken as the clock set to another time; smaller
// steps are taken as the clock's ordinary corrections.
inline constexpr double kClockSetBackMs = 5000.0;

// The samples of all zones, each zone at the chosen tracking period.
//
// When the clock goes back by a few seconds (up to kClockSetBackMs), a zone waits until the clock
// reaches its due time again. When it goes back further, whatever a zone's curves hold after the
// clock's new reading is dropped and the zone takes a sample at once, so a curve always runs forward
// in time and goes on from the new reading.
class TrendRecorder {
public:
    [[nodiscard]] int periodIndex() const { return periodIndex_; }
    [[nodiscard]] double periodMs() const;
    // Takes a stored period index (see TrackingPeriodIndex); due times stay.
    void SetPeriodIndex(int stored);
    // The operator's choice: every zone is due at once, then once per new period.
    void ChoosePeriod(int index);

    // Takes a sample of `zone` when it is due at `now` (milliseconds since the epoch) and says so.
    bool SampleZone(int zone, double now, const TRegulator& record);

    [[nodiscard]] const CurveBuffer& curve(int zone, int kind) const;
    [[nodiscard]] double nextSampleTime(int zone) const;
    // Counts the changes to a zone's curves, so that a view redraws only what changed.
    [[nodiscard]] unsigned revision(int zone) const;

private:
    struct Zone {
        double nextSampleTime = 0.0;
        double lastClockReading = 0.0;
        unsigned revision = 0;
        std::array<CurveBuffer, kCurvesPerZone> curves;
    };
    // The clock was set back to `now`: the points after it go.
    static void FollowClockSetBack(Zone& zone, double now);
    static void AddSample(Zone& zone, double now, const TRegulator& record);

    int periodIndex_ = kDefaultPeriodIndex;
    std::array<Zone, kZoneSlots> zones_;
};

} // namespace hz70

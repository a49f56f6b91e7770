// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/core/TrendRecorder.h"

#include <cmath>

namespace hz70 {
namespace {

constexpr double kNoValueLimit = 1e20;
constexpr float kZeroLimit = 1e-4f;

bool IsZoneIndex(int zone) {
    return zone >= 0 && zone < kZoneSlots;
}

} // namespace

int TrackingPeriodIndex(int stored) {
    return stored >= 0 && stored < static_cast<int>(kTrackingPeriods.size()) ? stored : kDefaultPeriodIndex;
}

void CurveBuffer::DropOldest() {
    if (size_ == 0) {
        return;
    }
    head_ = (head_ + 1) % kMaxCurvePoints;
    --size_;
}

void CurveBuffer::DropLaterThan(double time) {
    while (size_ > 0 && back().time > time) {
        --size_;
    }
}

void CurveBuffer::Add(CurvePoint point) {
    if (points_.empty()) {
        points_.resize(kMaxCurvePoints);
    }
    if (size_ == kMaxCurvePoints) {
        DropOldest();
    }
    // Normally the newest point; after the clock went back a little, it goes before every later one.
    std::size_t index = size_;
    while (index > 0 && at(index - 1).time > point.time) {
        at(index) = at(index - 1);
        --index;
    }
    at(index) = point;
    ++size_;
}

std::optional<double> CurveValue(double recordValue) {
    // Checked before narrowing too: a double beyond the float range has no float value.
    if (!(std::fabs(recordValue) < kNoValueLimit)) {
        return std::nullopt;
    }
    float value = static_cast<float>(recordValue);
    if (std::fabs(value) < kZeroLimit) {
        value = 0.0f;
    }
    if (!(std::fabs(value) < kNoValueLimit)) {
        return std::nullopt;
    }
    return static_cast<double>(value);
}

double TrendRecorder::periodMs() const {
    return kTrackingPeriods[static_cast<std::size_t>(periodIndex_)].seconds * 1000.0;
}

void TrendRecorder::SetPeriodIndex(int stored) {
    periodIndex_ = TrackingPeriodIndex(stored);
}

void TrendRecorder::ChoosePeriod(int index) {
    SetPeriodIndex(index);
    for (Zone& zone : zones_) {
        zone.nextSampleTime = 0.0;
    }
}

bool TrendRecorder::SampleZone(int zone, double now, const TRegulator& record) {
    if (!IsZoneIndex(zone)) {
        return false;
    }
    Zone& state = zones_[static_cast<std::size_t>(zone)];
    const bool setBack = now < state.lastClockReading - kClockSetBackMs;
    state.lastClockReading = now;
    if (setBack) {
        FollowClockSetBack(state, now);
    } else if (now < state.nextSampleTime) {
        return false;
    }
    state.nextSampleTime = now + periodMs();
    AddSample(state, now, record);
    return true;
}

void TrendRecorder::FollowClockSetBack(Zone& zone, double now) {
    for (CurveBuffer& curve : zone.curves) {
        const std::size_t before = curve.size();
        curve.DropLaterThan(now);
        zone.revision += curve.size() != before ? 1U : 0U;
    }
}

void TrendRecorder::AddSample(Zone& zone, double now, const TRegulator& record) {
    for (int kind = 0; kind < kCurvesPerZone; ++kind) {
        CurveBuffer& curve = zone.curves[static_cast<std::size_t>(kind)];
        if (curve.size() > kMaxCurvePoints - 1) {
            curve.DropOldest();
            ++zone.revision;
        }
        const TParametr& source =
            record.measured[static_cast<std::size_t>(kCurveSources[static_cast<std::size_t>(kind)])];
        if (const std::optional<double> value = CurveValue(source.value)) {
            curve.Add({now, *value});
            ++zone.revision;
        }
    }
}

const CurveBuffer& TrendRecorder::curve(int zone, int kind) const {
    static const CurveBuffer kNoCurve;
    if (!IsZoneIndex(zone) || kind < 0 || kind >= kCurvesPerZone) {
        return kNoCurve;
    }
    return zones_[static_cast<std::size_t>(zone)].curves[static_cast<std::size_t>(kind)];
}

double TrendRecorder::nextSampleTime(int zone) const {
    return IsZoneIndex(zone) ? zones_[static_cast<std::size_t>(zone)].nextSampleTime : 0.0;
}

unsigned TrendRecorder::revision(int zone) const {
    return IsZoneIndex(zone) ? zones_[static_cast<std::size_t>(zone)].revision : 0U;
}

} // namespace hz70

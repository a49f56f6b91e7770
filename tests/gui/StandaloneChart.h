// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/core/AppState.h"
#include "support/FakeClock.h"
#include "support/FakeSerialPort.h"
#include "views/O_wykres.h"

#include <QTemporaryDir>
#include <QTimer>
#include <memory>

namespace hz70::test {

inline constexpr double kChartStart = 1.7e12; // milliseconds since the epoch

// The chart window alone over a state with `zones` records, on a clock the caller moves. The chart
// tests and the chart's measurement (tests/bench) share it.
class StandaloneChart {
public:
    explicit StandaloneChart(int zones) {
        state.settings.zones.DevCount = zones;
        for (int i = 0; i < zones; ++i) {
            auto entry = std::make_unique<DeviceEntry>();
            InitRegulator(entry->record);
            SetValues(entry->record, 20 + i, 100, 50, 2);
            state.devices.push_back(std::move(entry));
        }
        chart = std::make_unique<TOWykres>(state);
        chart->Timer1->stop(); // the caller runs the ticks
        chart->SetClock([this] { return now; });
        chart->FormShow();
    }

    static void SetValues(TRegulator& record, double temperature, double setpoint, double power,
                          double current) {
        record.measured[kMeasuredTemperature].value = temperature;
        record.measured[kCurrentSetpoint].value = setpoint;
        record.measured[kOutputPower].value = power;
        record.measured[kLoadCurrent].value = current;
    }
    TRegulator& record(int zone) { return state.devices[static_cast<std::size_t>(zone)]->record; }

    // One sampling tick, `ms` after the last.
    void Tick(double ms = 1000) {
        now += ms;
        chart->Timer1Timer();
    }

    FakeClock clock;
    FakeSerialPort port;
    QTemporaryDir directory;
    AppState state{port, clock, directory.path().toStdString()};
    double now = kChartStart;
    std::unique_ptr<TOWykres> chart;
};

} // namespace hz70::test

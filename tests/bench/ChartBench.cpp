// SPDX-License-Identifier: GPL-3.0-or-later
// What the trend chart costs at its largest: 8 zones of full histories, every zone due at every tick.
// The sampling tick and a redraw run on the GUI thread once a second, so both must stay well inside a
// frame, and the resident memory must stay flat once the histories are full. Prints the figures and ends
// with status 1 when one is over its budget. Runs on Qt's offscreen platform unless told otherwise.
//   hz70_chart_bench [TICKS]   ticks watched for memory growth once the histories are full (default 600)
#include "gui/StandaloneChart.h"

#include <QApplication>
#include <QChartView>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGraphicsScene>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <unistd.h>
#include <vector>

namespace hz70::test {
namespace {

constexpr double kTickBudgetMs = 25;
constexpr double kRenderBudgetMs = 80;
constexpr long kGrowthBudgetKiB = 1024;

long ResidentKiB() {
    long pages = 0;
    long resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Sorted durations in milliseconds.
class Durations {
public:
    void Add(const QElapsedTimer& timer) { ms_.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6); }
    double Median() {
        std::sort(ms_.begin(), ms_.end());
        return ms_[ms_.size() / 2];
    }
    double Worst() const { return *std::max_element(ms_.begin(), ms_.end()); }

private:
    std::vector<double> ms_;
};

// Prints one figure against its budget; returns whether it is within it.
bool Report(const char* what, double value, double budget, const char* unit) {
    const bool within = value < budget;
    std::printf("%-44s %9.2f %s (budget %.0f %s)%s\n", what, value, unit, budget, unit,
                within ? "" : "  OVER BUDGET");
    return within;
}

class ChartBench {
public:
    ChartBench() {
        TOWykres& chart = *fixture_.chart;
        chart.resize(1000, 680);
        chart.show();                        // a hidden chart skips its drawing work
        chart.ComboBox1->setCurrentIndex(0); // 1 s: every zone due at every tick
        Q_EMIT chart.ComboBox1->activated(0);
        Run(static_cast<int>(kMaxCurvePoints) + 100);
    }

    // Curves that wander, as real ones do, so that drawing them costs what it would.
    void Run(int ticks) {
        for (int i = 0; i < ticks; ++i) {
            Wander();
            fixture_.Tick();
            QApplication::processEvents();
        }
    }

    Durations Ticks(int count) {
        Durations durations;
        QElapsedTimer timer;
        for (int i = 0; i < count; ++i) {
            Wander();
            timer.start();
            fixture_.Tick();
            durations.Add(timer);
            QApplication::processEvents();
        }
        return durations;
    }

    Durations Renders(int count) {
        QImage image(1000, 600, QImage::Format_ARGB32_Premultiplied);
        Durations durations;
        QElapsedTimer timer;
        for (int i = 0; i < count; ++i) {
            Wander();
            fixture_.Tick();
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            timer.start();
            fixture_.chart->Chart1->scene()->render(&painter, QRectF(0, 0, 1000, 600));
            durations.Add(timer);
        }
        return durations;
    }

private:
    void Wander() {
        ++step_;
        for (int zone = 0; zone < kZoneSlots; ++zone) {
            const double phase = step_ / 20.0 + zone;
            StandaloneChart::SetValues(fixture_.record(zone), 150 + 50 * std::sin(phase), 200,
                                       50 + 45 * std::cos(phase), 5 + 4 * std::sin(phase * 3));
        }
    }

    StandaloneChart fixture_{kZoneSlots};
    int step_ = 0;
};

} // namespace
} // namespace hz70::test

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    Q_INIT_RESOURCE(hz70wiz); // the window's icons, from the program library's resources
    const int watchedTicks = argc > 1 ? std::max(1, std::atoi(argv[1])) : 600;
    using namespace hz70::test;

    ChartBench bench;
    std::printf("trend chart, %d zones of %zu points, 1000x600\n", hz70::kZoneSlots, hz70::kMaxCurvePoints);
    Durations ticks = bench.Ticks(60);
    Durations renders = bench.Renders(10);
    bool within = Report("sampling tick, median", ticks.Median(), kTickBudgetMs, "ms");
    std::printf("%-44s %9.2f ms\n", "sampling tick, worst", ticks.Worst());
    within = Report("rendering, median", renders.Median(), kRenderBudgetMs, "ms") && within;

    const long before = ResidentKiB();
    bench.Run(watchedTicks);
    const long after = ResidentKiB();
    std::printf("%-44s %9ld KiB -> %ld KiB\n", "resident memory, histories full", before, after);
    char growth[64];
    std::snprintf(growth, sizeof growth, "resident growth over %d more ticks", watchedTicks);
    within = Report(growth, static_cast<double>(after - before), kGrowthBudgetKiB, "KiB") && within;
    return within ? 0 : 1;
}

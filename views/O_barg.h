// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "views/ViewWindow.h"
#include "views/core/BarSeries.h"

#include <array>
#include <vector>

class QBarCategoryAxis;
class QBarSeries;
class QChart;
class QChartView;
class QGraphicsSimpleTextItem;
class QTabBar;
class QValueAxis;

namespace hz70 {

class AppState;

// One bar per zone: measured temperatures or load currents.
//
// Both series follow every poll step; only the one of the selected tab is in the chart, so that its bars
// take the whole width of their slot. The chart draws the value labels itself: a chart series labels
// neither a bar of height 0 nor in the operator's number format, and an empty point must lose its label.
class TOBarg : public TViewWindow {
    Q_OBJECT
public:
    explicit TOBarg(AppState& state, QWidget* parent = nullptr);

    void UpdateZone(TRegulator* record) override;
    void FormShow() override;
    // Shows the series of the selected tab with its title and value-axis range.
    void TabControl1Change();

    // The value labels of the shown series, one per zone slot; hidden over an empty point.
    [[nodiscard]] const std::vector<QGraphicsSimpleTextItem*>& ValueLabels() const { return valueLabels_; }
    [[nodiscard]] QString TitleText() const;
    [[nodiscard]] QValueAxis* ValueAxis() const { return valueAxis_; }
    [[nodiscard]] QBarCategoryAxis* ZoneAxis() const { return zoneAxis_; }

    QTabBar* TabControl1 = nullptr;
    QChartView* ChartView1 = nullptr;
    QChart* Chart1 = nullptr;
    QBarSeries* Series1 = nullptr; // temperatures, red
    QBarSeries* Series2 = nullptr; // load currents, blue

private:
    static constexpr int kTemperatureTab = 0;
    static constexpr int kCurrentTab = 1;

    [[nodiscard]] int ShownTab() const;
    void ShowOnly(int tab);
    void SetBarValue(int tab, int slot);
    void ShowAxisRange(const AxisRange& range);
    void ShowLabels();
    void PlaceLabels();
    void PlaceTitle();

    AppState& state_;
    std::array<BarSeries, 2> points_;
    std::array<QBarSeries*, 2> series_{};
    QValueAxis* valueAxis_ = nullptr;
    QBarCategoryAxis* zoneAxis_ = nullptr;
    QGraphicsSimpleTextItem* title_ = nullptr;
    std::vector<QGraphicsSimpleTextItem*> valueLabels_;
};

} // namespace hz70

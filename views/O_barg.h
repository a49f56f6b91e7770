// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "views/ViewWindow.h"
#include "views/core/BarSeries.h"

#include <QColor>
#include <array>
#include <vector>

class QBarCategoryAxis;
class QChart;
class QChartView;
class QGraphicsRectItem;
class QGraphicsSimpleTextItem;
class QTabBar;
class QValueAxis;

namespace hz70 {

class ZoneOperations;

// One bar per zone: measured temperatures or load currents.
//
// Both series (temperatures in red, currents in blue) follow every poll step; the chart shows the one of
// the selected tab. The window draws the bars and their value labels itself over the chart's axes: a
// chart series repaints its whole plot whenever one value changes, and labels neither a bar of height 0
// nor in the operator's number format. So a poll step repaints only the bar and label it changed.
class TOBarg : public TViewWindow {
    Q_OBJECT
public:
    explicit TOBarg(ZoneOperations& zones, QWidget* parent = nullptr);

    void UpdateZone(int slot, const TRegulator& record) override;
    void FormShow() override;
    // Shows the series of the selected tab with its title and value-axis range.
    void TabControl1Change();

    // The bars and value labels of the shown series, one per zone slot; hidden over an empty point.
    [[nodiscard]] const std::vector<QGraphicsRectItem*>& Bars() const { return bars_; }
    [[nodiscard]] const std::vector<QGraphicsSimpleTextItem*>& ValueLabels() const { return valueLabels_; }
    [[nodiscard]] QString TitleText() const;
    [[nodiscard]] QValueAxis* ValueAxis() const { return valueAxis_; }
    [[nodiscard]] QBarCategoryAxis* ZoneAxis() const { return zoneAxis_; }

    QTabBar* TabControl1 = nullptr;
    QChartView* ChartView1 = nullptr;
    QChart* Chart1 = nullptr;

private:
    static constexpr int kTemperatureTab = 0;
    static constexpr int kCurrentTab = 1;

    [[nodiscard]] int ShownTab() const;
    [[nodiscard]] const BarSeries& Shown() const;
    // Shows `range` on the value axis with as many of its ticks as the plot's height has room for;
    // whether the shown range or its ticks changed.
    bool ShowAxisRange(const AxisRange& range);
    bool FitAxisTicks();
    void ShowCategories();
    // Bar and value label of one slot of the shown series; only what differs from the drawing changes.
    void ShowSlot(std::size_t slot);
    void ShowAllSlots();
    void PlaceTitle();

    ZoneOperations& zones_;
    std::array<BarSeries, 2> points_;
    std::array<QColor, 2> colours_;
    AxisRange axisRange_ = kDesignAxisRange; // before its ticks are fitted to the plot
    QValueAxis* valueAxis_ = nullptr;
    QBarCategoryAxis* zoneAxis_ = nullptr;
    QGraphicsSimpleTextItem* title_ = nullptr;
    std::vector<QGraphicsRectItem*> bars_;
    std::vector<QGraphicsSimpleTextItem*> valueLabels_;
};

} // namespace hz70

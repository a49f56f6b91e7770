// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "views/ViewWindow.h"
#include "views/core/ChartAxis.h"
#include "views/core/TrendRecorder.h"

#include <array>
#include <functional>

class QCategoryAxis;
class QChart;
class QChartView;
class QComboBox;
class QDateTimeAxis;
class QLabel;
class QLineSeries;
class QPushButton;
class QTabBar;
class QTimer;
class QToolBar;
class QToolButton;

namespace hz70 {

class ZoneOperations;

// Time curves of temperature, setpoint, power and current per zone. Every zone is sampled on the
// window's own timer; the chart draws the four curves of the zone on the selected tab.
class TOWykres : public TViewWindow {
    Q_OBJECT
public:
    explicit TOWykres(ZoneOperations& zones, QWidget* parent = nullptr);
    ~TOWykres() override;

    // Rebuilds the tabs and selects the first. The stored chart settings are applied at the first show
    // only: later shows (the controller list's OK) keep the axes and the period the operator chose.
    void FormShow() override;
    // Writes the axes and the tracking period back into the stored chart settings, before every save of
    // the settings file and at the end.
    void StoreSettings();
    void FormDestroy();

    void TabControl1Change();
    void Timer1Timer();
    // Samples the zone when it is due.
    void SampleZone(int zone, const TRegulator& record);
    void ComboBox1Change();
    void ButtonYClick();
    // Puts the chart on the clipboard at its size on screen: as SVG and as a bitmap.
    void ButtonCopyClick();

    // The axes' live state. Whoever changes them calls ShowAxes, which also undoes a zoom.
    [[nodiscard]] ChartAxis& LeftAxis() { return left_; }
    [[nodiscard]] ChartAxis& RightAxis() { return right_; }
    void ShowAxes();

    [[nodiscard]] ZoneOperations& zones() { return zones_; }
    [[nodiscard]] const TrendRecorder& recorder() const { return recorder_; }
    [[nodiscard]] int PeriodIndex() const { return recorder_.periodIndex(); }
    // The wall clock in milliseconds since the epoch; tests give their own.
    void SetClock(std::function<double()> now) { now_ = std::move(now); }

    [[nodiscard]] QChart* chart() const { return chart_; }
    [[nodiscard]] QLineSeries* curve(int kind) const { return curves_[static_cast<std::size_t>(kind)]; }
    [[nodiscard]] QCategoryAxis* leftAxisItem() const { return leftItem_; }
    [[nodiscard]] QCategoryAxis* rightAxisItem() const { return rightItem_; }
    [[nodiscard]] QDateTimeAxis* timeAxisItem() const { return timeItem_; }

    QTabBar* TabControl1 = nullptr;
    QChartView* Chart1 = nullptr;
    QToolBar* ToolBar1 = nullptr;
    QPushButton* ButtonY = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* ComboBox1 = nullptr;
    QToolButton* ButtonCopy = nullptr;
    QTimer* Timer1 = nullptr;

private:
    void CreateChart();
    void CreateToolBar();
    void ApplyStoredAxes();
    void RebuildTabs();
    void ResetZoom();
    void ShowCurves();
    void ShowValueAxis(const ChartAxis& axis, QCategoryAxis* item);
    void LabelTicks(const ChartAxis& axis, QCategoryAxis* item);
    void ShowTimeAxis();
    void PlaceLegend();
    void FitTickCounts();
    void ReportRefusals(const QStringList& refusals);

    ZoneOperations& zones_;
    TrendRecorder recorder_;
    ChartAxis left_;
    ChartAxis right_;
    std::function<double()> now_;
    QChart* chart_ = nullptr;
    std::array<QLineSeries*, kCurvesPerZone> curves_{};
    QCategoryAxis* leftItem_ = nullptr;
    QCategoryAxis* rightItem_ = nullptr;
    QDateTimeAxis* timeItem_ = nullptr;
    int valueTicks_ = 0;
    unsigned shownRevision_ = 0;
    bool storedSettingsApplied_ = false;
};

} // namespace hz70

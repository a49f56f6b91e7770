// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/core/TrendChart.h"

#include "gui/GuiTestSupport.h"
#include "gui/StandaloneChart.h"
#include "support/FileText.h"
#include "views/D_param.h"
#include "views/O_wykres.h"

#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QClipboard>
#include <QComboBox>
#include <QDateTimeAxis>
#include <QKeySequence>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QLocale>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QTabBar>
#include <QToolBar>
#include <QToolButton>
#include <cmath>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace hz70::test {
namespace {

using ::testing::ElementsAre;

std::vector<double> Ys(const QLineSeries* series) {
    std::vector<double> ys;
    for (const QPointF& point : series->points()) {
        ys.push_back(point.y());
    }
    return ys;
}

QStringList TabTexts(const QTabBar* tabs) {
    QStringList texts;
    for (int i = 0; i < tabs->count(); ++i) {
        texts << tabs->tabText(i);
    }
    return texts;
}

QStringList LegendTexts(QChart* chart) {
    QStringList texts;
    for (const QLegendMarker* marker : chart->legend()->markers()) {
        texts << marker->label();
    }
    return texts;
}

TEST(TrendChart, WindowHasItsTabsToolBarPeriodsAndCurves) {
    StandaloneChart fixture(3);
    TOWykres& chart = *fixture.chart;
    EXPECT_EQ(chart.windowTitle(), "Wykresy");
    EXPECT_EQ(TabTexts(chart.TabControl1), QStringList({"STREFA  1", "STREFA  2", "STREFA  3"}));
    EXPECT_EQ(chart.TabControl1->currentIndex(), 0);
    EXPECT_EQ(chart.ToolBar1->height(), 29);
    EXPECT_EQ(chart.ButtonY->text(), "Oś Y");
    EXPECT_EQ(chart.ButtonY->toolTip(), "Skalowanie osi Y");
    EXPECT_EQ(chart.Label1->text(), "Czas śledzenia:");
    QStringList periods;
    for (int i = 0; i < chart.ComboBox1->count(); ++i) {
        periods << chart.ComboBox1->itemText(i);
    }
    EXPECT_EQ(periods, QStringList({"1 s", "2 s", "5 s", "10 s", "15 s", "30 s", "1 min", "2 min", "5 min",
                                    "10 min", "15 min"}));
    EXPECT_FALSE(chart.ComboBox1->isEditable());
    EXPECT_EQ(chart.ComboBox1->currentText(), "2 s");
    EXPECT_FALSE(chart.ButtonCopy->icon().isNull());
    EXPECT_EQ(chart.ButtonCopy->toolTip(), "Kopiuj wykres do schowka");
    EXPECT_EQ(chart.Timer1->interval(), 1000);

    EXPECT_EQ(LegendTexts(chart.chart()), QStringList({"Temp.", "SP", "Moc [%]", "Prad [A]"}));
    EXPECT_EQ(chart.curve(kTemperatureCurve)->color(), QColor(Qt::red));
    EXPECT_EQ(chart.curve(kPowerCurve)->color(), QColor(Qt::yellow));
    EXPECT_EQ(chart.curve(kCurrentCurve)->color(), QColor(Qt::blue));
    EXPECT_EQ(chart.curve(kSetpointCurve)->attachedAxes(),
              QList<QAbstractAxis*>({chart.timeAxisItem(), chart.leftAxisItem()}));
    EXPECT_EQ(chart.curve(kCurrentCurve)->attachedAxes(),
              QList<QAbstractAxis*>({chart.timeAxisItem(), chart.rightAxisItem()}));
    EXPECT_EQ(chart.leftAxisItem()->titleText(), "Temp.mierzona / SP ");
    EXPECT_EQ(chart.rightAxisItem()->titleText(), "Moc [%] / Prad [A]");
    EXPECT_EQ(chart.timeAxisItem()->format(), "hh:mm:ss");
    EXPECT_EQ(std::abs(chart.timeAxisItem()->labelsAngle()), 90);
}

TEST(TrendChart, DefaultsGiveHiddenFixedAxesWithMaskedLabels) {
    StandaloneChart fixture(1);
    TOWykres& chart = *fixture.chart;
    EXPECT_FALSE(chart.leftAxisItem()->isVisible());
    EXPECT_FALSE(chart.rightAxisItem()->isVisible());
    EXPECT_EQ(chart.leftAxisItem()->min(), 0);
    EXPECT_EQ(chart.leftAxisItem()->max(), 400);
    EXPECT_EQ(chart.rightAxisItem()->max(), 100);
    EXPECT_EQ(chart.leftAxisItem()->categoriesLabels().first(), "0");
    EXPECT_EQ(chart.leftAxisItem()->categoriesLabels().last(), "400");

    chart.LeftAxis().SetLabelFormat("0.0 \"°\"");
    chart.ShowAxes();
    EXPECT_EQ(chart.leftAxisItem()->categoriesLabels().last(), "400" + QLocale().decimalPoint() + "0 °");
}

TEST(TrendChart, ALogarithmicAxisDrawsWhatItCannotShowAtItsLowerEnd) {
    StandaloneChart fixture(1);
    TOWykres& chart = *fixture.chart;
    chart.LeftAxis().SetAutomatic(true);
    ASSERT_EQ(chart.LeftAxis().SetLogarithmic(true), AxisRefusal::kNone);
    StandaloneChart::SetValues(fixture.record(0), 0, 100, 50, 2);
    fixture.Tick();
    // Worked out from the setpoint alone: 50..200 on a logarithmic scale.
    EXPECT_THAT(Ys(chart.curve(kTemperatureCurve)), ElementsAre(std::log10(50.0)));
    EXPECT_THAT(Ys(chart.curve(kSetpointCurve)), ElementsAre(2.0));
}

TEST(TrendChart, EveryZoneCollectsASamplePerPeriodWhicheverTabIsShown) {
    StandaloneChart fixture(3);
    TOWykres& chart = *fixture.chart;
    StandaloneChart::SetValues(fixture.record(1), 0.00005, -0.00005, 25.3, kNoValue);
    fixture.Tick(); // all due at the first tick
    fixture.Tick(); // "2 s": not due yet
    fixture.Tick();
    for (int zone = 0; zone < 3; ++zone) {
        EXPECT_EQ(chart.recorder().curve(zone, kTemperatureCurve).size(), 2u) << zone;
    }
    EXPECT_EQ(chart.curve(kTemperatureCurve)->count(), 2);
    EXPECT_THAT(Ys(chart.curve(kTemperatureCurve)), ElementsAre(20, 20));

    chart.TabControl1->setCurrentIndex(1); // the hidden zone's whole history at once
    EXPECT_THAT(Ys(chart.curve(kTemperatureCurve)), ElementsAre(0, 0));
    EXPECT_THAT(Ys(chart.curve(kSetpointCurve)), ElementsAre(0, 0));
    EXPECT_THAT(Ys(chart.curve(kPowerCurve)),
                ElementsAre(static_cast<double>(25.3f), static_cast<double>(25.3f)));
    EXPECT_EQ(chart.curve(kCurrentCurve)->count(), 0);
    EXPECT_EQ(chart.curve(kTemperatureCurve)->at(1).x(), kChartStart + 3000);
}

TEST(TrendChart, LeftTitleTakesTheUnitOnlyWhenTheShownZoneSamples) {
    StandaloneChart fixture(2);
    TOWykres& chart = *fixture.chart;
    fixture.record(1).fahrenheit = 1;
    fixture.Tick();
    EXPECT_EQ(chart.leftAxisItem()->titleText(), "Temp.mierzona / SP [°C]");
    chart.TabControl1->setCurrentIndex(1);
    EXPECT_EQ(chart.leftAxisItem()->titleText(), "Temp.mierzona / SP [°C]"); // until zone 2 samples
    fixture.Tick(2000);
    EXPECT_EQ(chart.leftAxisItem()->titleText(), "Temp.mierzona / SP [°F]");
}

TEST(TrendChart, ChoosingAPeriodMarksTheSettingsChangedAndSamplesEveryZoneAtOnce) {
    StandaloneChart fixture(2);
    TOWykres& chart = *fixture.chart;
    fixture.Tick();
    chart.ComboBox1->setCurrentIndex(6);
    Q_EMIT chart.ComboBox1->activated(6);
    EXPECT_EQ(chart.PeriodIndex(), 6);
    EXPECT_EQ(fixture.state.SettingsChanged, 1);
    fixture.Tick(1); // 1 ms later: every zone due
    EXPECT_EQ(chart.recorder().curve(1, kPowerCurve).size(), 2u);
    fixture.Tick(59'000);
    EXPECT_EQ(chart.recorder().curve(1, kPowerCurve).size(), 2u);
    fixture.Tick(1000);
    EXPECT_EQ(chart.recorder().curve(1, kPowerCurve).size(), 3u);
}

TEST(TrendChart, WithoutZonesThereAreNoTabsAndNothingIsShownOrSampled) {
    StandaloneChart fixture(0);
    TOWykres& chart = *fixture.chart;
    EXPECT_EQ(chart.TabControl1->count(), 0);
    EXPECT_EQ(chart.TabControl1->currentIndex(), -1);
    fixture.Tick();
    for (int kind = 0; kind < kCurvesPerZone; ++kind) {
        EXPECT_FALSE(chart.curve(kind)->isVisible());
        EXPECT_EQ(chart.curve(kind)->count(), 0);
    }
    EXPECT_TRUE(chart.recorder().curve(0, kTemperatureCurve).empty());
    EXPECT_EQ(chart.recorder().nextSampleTime(0), 0);
}

// The operator's drag with the left button from `from` to `to`.
void Drag(QWidget* widget, QPointF from, QPointF to) {
    const auto send = [widget](QEvent::Type type, QPointF at, Qt::MouseButtons buttons) {
        QMouseEvent event(type, at, widget->mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(widget, &event);
    };
    send(QEvent::MouseButtonPress, from, Qt::LeftButton);
    send(QEvent::MouseMove, to, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, to, Qt::NoButton);
}

TEST(TrendChart, ZoomHoldsTheAxesWhileCurvesGoOnAndANewScaleUndoesIt) {
    StandaloneChart fixture(1);
    TOWykres& chart = *fixture.chart;
    chart.resize(800, 600);
    chart.show();
    QApplication::processEvents();
    for (int i = 0; i < 10; ++i) {
        fixture.Tick(2000);
    }
    const QRectF plot = chart.chart()->plotArea();
    Drag(chart.Chart1->viewport(), plot.center(), plot.center() + QPointF(plot.width(), plot.height()) / 4);
    ASSERT_TRUE(chart.chart()->isZoomed());
    EXPECT_NE(chart.chart()->animationOptions(), QChart::NoAnimation); // zooming is animated
    const QDateTime zoomedEnd = chart.timeAxisItem()->max();
    const double zoomedTop = chart.leftAxisItem()->max();
    fixture.Tick(2000);
    EXPECT_EQ(chart.curve(kTemperatureCurve)->count(), 11);
    EXPECT_EQ(chart.timeAxisItem()->max(), zoomedEnd);
    EXPECT_EQ(chart.leftAxisItem()->max(), zoomedTop);
    for (const QString& label : chart.leftAxisItem()->categoriesLabels()) { // labels follow the zoom
        EXPECT_GE(chart.leftAxisItem()->endValue(label), chart.leftAxisItem()->min());
        EXPECT_LE(chart.leftAxisItem()->endValue(label), zoomedTop);
    }

    // A new scale undoes the zoom, so that it shows at once.
    ASSERT_EQ(SetAxisRange(chart.LeftAxis(), 0, 300), AxisRefusal::kNone);
    chart.ShowAxes();
    EXPECT_FALSE(chart.chart()->isZoomed());
    EXPECT_EQ(chart.timeAxisItem()->max().toMSecsSinceEpoch(), fixture.now);
    EXPECT_EQ(chart.leftAxisItem()->max(), 300);
}

TEST(TrendChart, TheChartIsRedrawnOnlyWhenItsCurvesChange) {
    StandaloneChart fixture(2);
    TOWykres& chart = *fixture.chart;
    chart.resize(800, 600);
    chart.show();
    fixture.Tick();
    QApplication::processEvents();
    PaintCounter paints(chart.Chart1->viewport());
    const auto paintsAfterTick = [&fixture, &paints] {
        const int before = paints.count();
        fixture.Tick();
        QApplication::processEvents();
        return paints.count() - before;
    };
    EXPECT_EQ(paintsAfterTick(), 0); // "2 s": not due
    StandaloneChart::SetValues(fixture.record(0), kNoValue, kNoValue, kNoValue, kNoValue);
    EXPECT_EQ(paintsAfterTick(), 0); // due, but no point to add
    EXPECT_EQ(paintsAfterTick(), 0);
    EXPECT_EQ(paintsAfterTick(), 0); // a point for the zone on the other tab
    StandaloneChart::SetValues(fixture.record(0), 20, 100, 50, 2);
    EXPECT_EQ(paintsAfterTick(), 0);
    EXPECT_GT(paintsAfterTick(), 0);
}

TEST(TrendChart, CopyPutsAnSvgAndABitmapOfTheOnScreenSizeOnTheClipboard) {
    StandaloneChart fixture(1);
    TOWykres& chart = *fixture.chart;
    chart.resize(700, 500);
    chart.show();
    fixture.Tick();
    chart.ButtonCopy->click();
    const QMimeData* picture = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(picture, nullptr);
    const QByteArray svg = picture->data(QStringLiteral("image/svg+xml"));
    EXPECT_TRUE(svg.contains("<svg")) << svg.left(200).toStdString();
    EXPECT_TRUE(svg.contains(QString::fromUtf8("Moc [%]").toUtf8()));
    EXPECT_TRUE(svg.contains(QByteArray("viewBox=\"0 0 ") + QByteArray::number(chart.Chart1->width())));
    ASSERT_TRUE(picture->hasImage());
    EXPECT_EQ(qvariant_cast<QImage>(picture->imageData()).size(), chart.Chart1->size());
}

TEST(TrendChart, TheYAxisButtonOpensTheDialogOnTheChartsAxes) {
    StandaloneChart fixture(1);
    bool opened = false;
    WhenDialogOpens<TDlgParam>([&opened](TDlgParam& dialog) {
        opened = dialog.windowTitle() == "Parametry osi Y" && dialog.isModal();
        dialog.BAnulujClick();
    });
    fixture.chart->ButtonY->click();
    EXPECT_TRUE(opened);
}

// Full histories: every buffer stops at its capacity and the chart holds only the shown zone's curves.
// What a tick, a redraw and the memory cost at this size, hz70_chart_bench measures (scripts/bench.sh).
TEST(TrendChart, HistoriesStopAtTheirCapacityAndTheChartHoldsOneZone) {
    StandaloneChart fixture(8);
    TOWykres& chart = *fixture.chart;
    chart.show(); // a hidden chart skips its drawing work
    chart.ComboBox1->setCurrentIndex(0);
    Q_EMIT chart.ComboBox1->activated(0);
    const auto run = [&fixture](int ticks) {
        for (int i = 0; i < ticks; ++i) {
            StandaloneChart::SetValues(fixture.record(0), i % 300, 100, i % 100, 2);
            fixture.Tick();
            QApplication::processEvents();
        }
    };
    run(static_cast<int>(kMaxCurvePoints));
    for (int zone = 0; zone < kZoneSlots; ++zone) {
        ASSERT_EQ(chart.recorder().curve(zone, kCurrentCurve).size(), kMaxCurvePoints);
    }
    run(100);
    for (int kind = 0; kind < kCurvesPerZone; ++kind) {
        EXPECT_EQ(chart.curve(kind)->count(), static_cast<int>(kMaxCurvePoints));
        EXPECT_EQ(chart.recorder().curve(7, kind).size(), kMaxCurvePoints);
        EXPECT_EQ(chart.recorder().curve(7, kind).capacity(), kMaxCurvePoints);
    }
    EXPECT_EQ(chart.chart()->series().size(), kCurvesPerZone);
}

class ProgramChart : public ::testing::Test {
protected:
    ProgramOnFakeBus program{{1, 2, 3}};
    double now = kChartStart;

    // Starts the program over `settings`, or over the file the last run left when there are none.
    TOWykres& Start(const std::vector<std::string>& settings) {
        if (!settings.empty()) {
            program.WriteSettingsFile(settings);
        }
        TOmain& main = program.Start();
        main.Timer1->stop();
        main.OWykres->Timer1->stop();
        main.OWykres->SetClock([this] { return now; });
        main.OWykres->FormShow();
        return *main.OWykres;
    }
    // Runs the poll timer for a second, then the chart's tick.
    void Second(TOWykres& chart) {
        program.Ticks(10);
        now += 1000;
        chart.Timer1Timer();
    }
};

TEST_F(ProgramChart, CurvesOfEveryZoneGrowFromThePolledValues) {
    TOWykres& chart = Start({"DevCount=3", "DevAddr=1;2;3;0;0;0;0;0;", "Okres=0"});
    for (const int address : {1, 2, 3}) {
        program.bus.slaves[static_cast<std::uint8_t>(address)].registers[4020] =
            static_cast<std::uint16_t>(address * 100);
    }
    for (int i = 0; i < 5; ++i) {
        Second(chart);
    }
    for (int zone = 0; zone < 3; ++zone) {
        const CurveBuffer& temperature = chart.recorder().curve(zone, kTemperatureCurve);
        EXPECT_EQ(temperature.size(), 5u) << zone;
        EXPECT_EQ(temperature.back().value, (zone + 1) * 10.0) << zone;
    }
    EXPECT_EQ(chart.curve(kTemperatureCurve)->count(), 5);
}

TEST_F(ProgramChart, AStoredSettingTheAxisRefusesIsReportedOnceAndTheWindowStillComesUp) {
    MessageBoxAnswerer answers;
    TOWykres& chart = Start({"DevCount=2", "DevAddr=1;2;0;0;0;0;0;0;", "CheckL=3", "MinL=-10", "MaxL=100",
                             "CheckR=1", "MaxR=10", "MinR=20", "Okres=4"});
    QApplication::processEvents();
    ASSERT_EQ(answers.seen().size(), 1u);
    EXPECT_EQ(answers.seen()[0].title, "HZ70wiz");
    EXPECT_EQ(answers.seen()[0].text,
              "Logarithmic Axis Min and Max values should be >= 0\nAxis Maximum Value must be >= Minimum");
    EXPECT_EQ(chart.TabControl1->count(), 2);
    EXPECT_EQ(chart.ComboBox1->currentText(), "15 s");
    EXPECT_TRUE(chart.curve(kTemperatureCurve)->isVisible());
    EXPECT_TRUE(chart.LeftAxis().visible());
    EXPECT_FALSE(chart.LeftAxis().logarithmic());
    EXPECT_EQ(chart.LeftAxis().fixedSpan(), (ValueSpan{-10, 100}));
    EXPECT_EQ(chart.RightAxis().fixedSpan(), kRightDesignSpan);

    chart.FormShow(); // as after the controller list's OK
    QApplication::processEvents();
    EXPECT_EQ(answers.seen().size(), 1u);
}

TEST_F(ProgramChart, FormShowKeepsTheOperatorsAxesAndPeriodAndFollowsTheZoneList) {
    TOWykres& chart = Start({"DevCount=3", "DevAddr=1;2;3;0;0;0;0;0;"});
    Second(chart);
    chart.TabControl1->setCurrentIndex(2);
    (void)SetAxisRange(chart.LeftAxis(), 10, 20);
    chart.ComboBox1->setCurrentIndex(3);
    Q_EMIT chart.ComboBox1->activated(3);
    AppState& state = program.window->state();
    state.settings.zones.DevCount = 1;
    state.settings.zones.DevName[0] = "P&2";
    chart.FormShow(); // as after the controller list's OK
    EXPECT_EQ(TabTexts(chart.TabControl1), QStringList({"P&&2"}));
    EXPECT_TRUE(QKeySequence::mnemonic(chart.TabControl1->tabText(0)).isEmpty()) << "no shortcut";
    EXPECT_EQ(chart.LeftAxis().fixedSpan(), (ValueSpan{10, 20}));
    EXPECT_EQ(chart.ComboBox1->currentText(), "10 s");
    EXPECT_EQ(chart.recorder().curve(2, kTemperatureCurve).size(), 1u); // points stay
}

// At exit the chart writes its axes and period back before the settings file is written. The main
// window here is told to drop the chart first, which is the order the program's exit must keep.
TEST_F(ProgramChart, ChosenPeriodAndAxesPersistThroughARestart) {
    TOWykres& chart = Start({"DevCount=1", "DevAddr=1;0;0;0;0;0;0;0;"});
    chart.ComboBox1->setCurrentIndex(8);
    Q_EMIT chart.ComboBox1->activated(8);
    chart.RightAxis().SetAutomaticMaximum(true);
    chart.RightAxis().SetLabelFormat("0.0");
    program.window.reset();

    TOWykres& again = Start({});
    EXPECT_EQ(again.ComboBox1->currentText(), "5 min");
    EXPECT_TRUE(again.RightAxis().automaticMaximum());
    EXPECT_EQ(again.RightAxis().labelFormat(), "0.0");
    EXPECT_FALSE(again.LeftAxis().visible());
}

// A save during the run writes what the chart shows, and the exit then has nothing left to write.
TEST_F(ProgramChart, SaveDuringTheRunWritesTheChartsCurrentState) {
    TOWykres& chart = Start({"DevCount=1", "DevAddr=1;0;0;0;0;0;0;0;"});
    chart.ComboBox1->setCurrentIndex(3);
    Q_EMIT chart.ComboBox1->activated(3);
    (void)SetAxisRange(chart.LeftAxis(), 10, 300);
    program.window->PlikZapiszUst->trigger();
    EXPECT_FALSE(program.window->state().SettingsChanged);
    const std::string file = FileBytes(program.folder() / "HZ70wiz.INI");
    EXPECT_NE(file.find("Okres=3\r\nMaxL=300\r\nMinL=10\r\n"), std::string::npos) << file;
    program.window.reset();
    TOWykres& again = Start({});
    EXPECT_EQ(again.ComboBox1->currentText(), "10 s");
    EXPECT_EQ(again.LeftAxis().fixedSpan(), (ValueSpan{10, 300}));
}

} // namespace
} // namespace hz70::test

// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/GuiTestSupport.h"
#include "views/O_barg.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QGraphicsSimpleTextItem>
#include <QLegend>
#include <QLocale>
#include <QTabBar>
#include <QValueAxis>
#include <gtest/gtest.h>
#include <map>

namespace hz70::test {
namespace {

// Three HZ70s at addresses 1..3 and the whole program on them, shown; the test runs the poll ticks.
class Bargraph : public ::testing::Test {
protected:
    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        program.WriteSettingsFile({"DevCount=3", "DevAddr=1;2;3;0;0;0;0;0;", "DevName=Piec 1;Piec 2;Wanna;"});
        main = &program.Start();
        main->Timer1->stop();
        bars = main->OBarg;
        main->show();
        QApplication::processEvents();
        bars->FormShow();
    }
    void TearDown() override { QLocale::setDefault(QLocale::system()); }

    TRegulator& Zone(int index) { return main->state().devices[static_cast<std::size_t>(index)]->record; }
    std::uint16_t& Register(int address, std::uint16_t reg) {
        return program.bus.slaves[static_cast<std::uint8_t>(address)].registers[reg];
    }
    template <typename Done>
    bool TickUntil(Done done, int limit = 200) {
        for (int tick = 0; tick < limit && !done(); ++tick) {
            program.Ticks(1);
        }
        return done();
    }
    // Polls every zone once more: each gets a request, and the cycle is back at the first zone.
    void PollAll() {
        std::map<int, int> before;
        for (const auto& [address, slave] : program.bus.slaves) {
            before[address] = program.bus.RequestsTo(address);
        }
        ASSERT_TRUE(TickUntil([&] {
            for (const auto& [address, count] : before) {
                if (program.bus.RequestsTo(static_cast<std::uint8_t>(address)) == count) {
                    return false;
                }
            }
            return main->state().PollIndex() == 0;
        }));
    }

    QStringList Categories() const { return bars->ZoneAxis()->categories(); }
    // What each slot shows above its bar; "" when no label is shown.
    QStringList ValueLabels() const {
        QStringList texts;
        for (const QGraphicsSimpleTextItem* label : bars->ValueLabels()) {
            texts << (label->isVisible() ? label->text() : QString());
        }
        return texts;
    }
    QList<qreal> Heights(QBarSeries* series) const {
        QList<qreal> heights;
        const QBarSet* set = series->barSets().constFirst();
        for (int i = 0; i < set->count(); ++i) {
            heights << set->at(i);
        }
        return heights;
    }
    std::pair<qreal, qreal> AxisRange() const { return {bars->ValueAxis()->min(), bars->ValueAxis()->max()}; }

    ProgramOnFakeBus program{{1, 2, 3}};
    TOmain* main = nullptr;
    TOBarg* bars = nullptr;
};

TEST_F(Bargraph, WindowChartAndSeriesAreThoseOfTheProgram) {
    TOBarg fresh(main->state());
    EXPECT_EQ(fresh.windowTitle(), "Bargrafy");
    EXPECT_EQ(fresh.size(), QSize(696, 480));
    EXPECT_EQ(fresh.ValueAxis()->min(), 0.0); // the design range, until the first show
    EXPECT_EQ(fresh.ValueAxis()->max(), 313.0);
    EXPECT_EQ(bars->TabControl1->tabText(0), "Temperatury");
    EXPECT_EQ(bars->TabControl1->tabText(1), "Prądy");
    EXPECT_FALSE(bars->Chart1->legend()->isVisible());
    EXPECT_EQ(bars->Series1->barSets().constFirst()->color(), QColor(Qt::red));
    EXPECT_EQ(bars->Series2->barSets().constFirst()->color(), QColor(Qt::blue));
    EXPECT_EQ(bars->Chart1->axes(Qt::Vertical).size(), 1);
}

TEST_F(Bargraph, AfterStartEveryZoneHasAZeroBarWithItsDefaultLabel) {
    EXPECT_EQ(bars->TabControl1->currentIndex(), 0);
    EXPECT_EQ(bars->TitleText(), "[°C], [°F]");
    EXPECT_EQ(bars->Series1->chart(), bars->Chart1);
    EXPECT_EQ(bars->Series2->chart(), nullptr);
    EXPECT_EQ(Categories(), QStringList({"STREFA1", "STREFA2", "STREFA3"}));
    EXPECT_EQ(Heights(bars->Series1), QList<qreal>({0, 0, 0}));
    EXPECT_EQ(ValueLabels(), QStringList({"0", "0", "0"}));
}

TEST_F(Bargraph, TemperatureBarCarriesNameUnitAndValueInTheLocaleFormat) {
    Register(1, 4020) = 2153;
    Register(2, 4020) = 12345;
    PollAll();
    EXPECT_EQ(Categories(), QStringList({"Piec 1[°C]", "Piec 2[°C]", "Wanna[°C]"}));
    EXPECT_EQ(ValueLabels(), QStringList({"215.3", "1,234.5", "0"}));
    EXPECT_NEAR(Heights(bars->Series1)[0], 215.3, 1e-9);

    // The controller switches to Fahrenheit: the zone panel sets the record's flag from the status word
    // before the bargraph's turn.
    Register(1, 4019) = 0x0100;
    Zone(0).fahrenheit = 1;
    bars->UpdateZone(&Zone(0));
    EXPECT_EQ(Categories()[0], "Piec 1[°F]");

    QLocale::setDefault(QLocale(QLocale::Polish, QLocale::Poland));
    bars->UpdateZone(&Zone(1));
    EXPECT_EQ(ValueLabels()[1], QString::fromUtf8("1\u00a0234,5"));
}

TEST_F(Bargraph, CurrentsHaveAFixedAxisThatALargeCurrentDoesNotWiden) {
    Register(1, 4023) = 250;
    Register(2, 4023) = 31;
    Register(1, 4020) = 2000;
    PollAll();
    bars->TabControl1->setCurrentIndex(1);
    EXPECT_EQ(bars->TitleText(), "[A]");
    EXPECT_EQ(bars->Series2->chart(), bars->Chart1);
    EXPECT_EQ(bars->Series1->chart(), nullptr);
    EXPECT_EQ(Categories(), QStringList({"Piec 1", "Piec 2", "Wanna"}));
    EXPECT_EQ(AxisRange(), std::make_pair(0.0, 20.0));
    EXPECT_EQ(ValueLabels(), QStringList({"25", "3.1", "0"}));
    // The label of the bar cut off at the top stays inside the plot.
    EXPECT_GE(bars->ValueLabels()[0]->pos().y(), bars->Chart1->plotArea().top());

    PollAll();
    EXPECT_EQ(AxisRange(), std::make_pair(0.0, 20.0));

    bars->TabControl1->setCurrentIndex(0);
    EXPECT_EQ(bars->TitleText(), "[°C], [°F]");
    EXPECT_EQ(bars->Series1->chart(), bars->Chart1);
    EXPECT_EQ(ValueLabels(), QStringList({"200", "0", "0"}));
    EXPECT_EQ(AxisRange().first, 0.0);
    EXPECT_GT(AxisRange().second, 200.0);
    EXPECT_LE(AxisRange().second, 300.0);

    // Automatic again: the axis follows a higher temperature.
    Register(2, 4020) = 5000;
    PollAll();
    EXPECT_GT(AxisRange().second, 500.0);
}

TEST_F(Bargraph, AMissingValueLeavesItsSlotEmptyWhileTheOthersShow) {
    MessageBoxAnswerer answers(QMessageBox::No);
    Register(1, 4020) = 200;
    Register(2, 4020) = 300;
    Register(3, 4020) = 400;
    PollAll();
    program.bus.slaves[2].silent = true;
    ASSERT_TRUE(TickUntil([this] { return ValueLabels()[1].isEmpty(); }, 400));
    EXPECT_EQ(ValueLabels(), QStringList({"20", "", "40"}));
    EXPECT_EQ(Heights(bars->Series1), QList<qreal>({20, 0, 40}));
    EXPECT_EQ(Categories(), QStringList({"Piec 1[°C]", "Piec 2[°C]", "Wanna[°C]"}));
    bars->TabControl1->setCurrentIndex(1);
    EXPECT_EQ(ValueLabels(), QStringList({"0", "", "0"}));

    program.bus.slaves[2].silent = false;
    ASSERT_TRUE(TickUntil([this] { return !ValueLabels()[1].isEmpty(); }, 400));
}

TEST_F(Bargraph, RebuildFollowsTheZoneCountAndStartsOverOnTheTemperatureTab) {
    PollAll();
    bars->TabControl1->setCurrentIndex(1);
    main->state().settings.zones.DevCount = 2;
    main->RebuildDeviceList();
    bars->FormShow();
    EXPECT_EQ(bars->TabControl1->currentIndex(), 0);
    EXPECT_EQ(Categories(), QStringList({"STREFA1", "STREFA2"}));
    EXPECT_EQ(ValueLabels(), QStringList({"0", "0"}));
    EXPECT_EQ(Heights(bars->Series2).size(), 2);
}

} // namespace
} // namespace hz70::test

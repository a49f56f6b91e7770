// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/GuiTestSupport.h"
#include "views/O_barg.h"

#include <QBarCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QGraphicsRectItem>
#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QGraphicsTextItem>
#include <QLegend>
#include <QLocale>
#include <QPaintEvent>
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
        program.ListZones("Piec 1;Piec 2;Wanna;");
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
            return main->state().pollIndex() == 0;
        }));
    }

    // The zone labels as the chart draws them under the bars, by the middle of each.
    std::map<qreal, QString> ShownCategories() const {
        QApplication::processEvents(); // the chart lays its axes out on the next turn of the event loop
        const QRectF plot = bars->Chart1->plotArea();
        std::map<qreal, QString> shown;
        for (const QGraphicsItem* item : bars->Chart1->scene()->items()) {
            const auto* text = qgraphicsitem_cast<const QGraphicsTextItem*>(item);
            if (text != nullptr && text->isVisible() && text->sceneBoundingRect().top() >= plot.bottom()) {
                shown[text->sceneBoundingRect().center().x()] = text->toPlainText();
            }
        }
        return shown;
    }
    // The value axis's labels as the chart draws them left of the plot, top down.
    QStringList ScaleLabels() const {
        QApplication::processEvents();
        const QRectF plot = bars->Chart1->plotArea();
        std::map<qreal, QString> shown;
        for (const QGraphicsItem* item : bars->Chart1->scene()->items()) {
            const auto* text = qgraphicsitem_cast<const QGraphicsTextItem*>(item);
            if (text != nullptr && text->isVisible() && !text->toPlainText().isEmpty() &&
                text->sceneBoundingRect().right() <= plot.left()) {
                shown[text->sceneBoundingRect().center().y()] = text->toPlainText();
            }
        }
        QStringList texts;
        for (const auto& [middle, text] : shown) {
            texts << text;
        }
        return texts;
    }
    QStringList Categories() const {
        QStringList texts;
        for (const auto& [middle, text] : ShownCategories()) {
            texts << text;
        }
        return texts;
    }
    // What each slot shows above its bar; "" when no label is shown.
    QStringList ValueLabels() const {
        QStringList texts;
        for (const QGraphicsSimpleTextItem* label : bars->ValueLabels()) {
            texts << (label->isVisible() ? label->text() : QString());
        }
        return texts;
    }
    // Each drawn bar reaches its value on the value axis, to a pixel; no bar is drawn for a 0.
    void ExpectHeights(const QList<qreal>& values) const {
        const QRectF plot = bars->Chart1->plotArea();
        const auto [low, high] = AxisRange();
        const qreal pixel = (high - low) / plot.height();
        ASSERT_EQ(static_cast<qsizetype>(bars->Bars().size()), values.size());
        for (qsizetype i = 0; i < values.size(); ++i) {
            const QGraphicsRectItem* bar = bars->Bars()[static_cast<std::size_t>(i)];
            const qreal reach = bar->isVisible() ? low + (plot.bottom() - bar->rect().top()) * pixel : 0.0;
            EXPECT_NEAR(reach, values[i], pixel) << "bar " << i;
        }
    }
    QColor BarColour(std::size_t slot) const { return bars->Bars().at(slot)->brush().color(); }
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
    EXPECT_EQ(BarColour(0), QColor(Qt::red));
    bars->TabControl1->setCurrentIndex(1);
    EXPECT_EQ(BarColour(0), QColor(Qt::blue));
    EXPECT_EQ(bars->Chart1->axes(Qt::Vertical).size(), 1);
}

TEST_F(Bargraph, AfterStartEveryZoneHasAZeroBarWithItsDefaultLabel) {
    EXPECT_EQ(bars->TabControl1->currentIndex(), 0);
    EXPECT_EQ(bars->TitleText(), "[°C], [°F]");
    EXPECT_EQ(BarColour(0), QColor(Qt::red));
    EXPECT_EQ(Categories(), QStringList({"STREFA1", "STREFA2", "STREFA3"}));
    ExpectHeights({0, 0, 0});
    EXPECT_EQ(ValueLabels(), QStringList({"0", "0", "0"}));
}

TEST_F(Bargraph, TemperatureBarCarriesNameUnitAndValueInTheLocaleFormat) {
    Register(1, 4020) = 2153;
    Register(2, 4020) = 12345;
    PollAll();
    EXPECT_EQ(Categories(), QStringList({"Piec 1[°C]", "Piec 2[°C]", "Wanna[°C]"}));
    EXPECT_EQ(ValueLabels(), QStringList({"215.3", "1,234.5", "0"}));
    ExpectHeights({215.3, 1234.5, 0});
    std::size_t slot = 0;
    for (const auto& [middle, text] : ShownCategories()) { // each bar stands over its zone's label
        EXPECT_NEAR(bars->Bars()[slot++]->rect().center().x(), middle, 1.5) << text.toStdString();
    }

    // The controller switches to Fahrenheit: the poll cycle sets the record's flag from the status word
    // before the views' turn.
    Register(1, 4019) = 0x0100;
    Zone(0).fahrenheit = 1;
    bars->UpdateZone(0, Zone(0));
    EXPECT_EQ(Categories()[0], "Piec 1[°F]");

    QLocale::setDefault(QLocale(QLocale::Polish, QLocale::Poland));
    bars->UpdateZone(1, Zone(1));
    EXPECT_EQ(ValueLabels()[1], QString::fromUtf8("1\u00a0234,5"));

    // Names are shown as typed, never as markup, and cut by their own width: at the window's own size
    // "<<&&>>[°C]" fits its slot, its markup "&lt;&lt;&amp;&amp;&gt;&gt;[°C]" would not.
    struct Case {
        int width;
        const char* name;
    };
    for (const Case& c : {Case{696, "<<&&>>"}, Case{1000, "<b>Piec</b>  & 2"}}) {
        bars->parentWidget()->resize(c.width, 480);
        Zone(2).name = c.name;
        bars->UpdateZone(2, Zone(2));
        EXPECT_EQ(Categories()[2], QString::fromUtf8(c.name) + "[°C]");
    }
}

TEST_F(Bargraph, CurrentsHaveAFixedAxisThatALargeCurrentDoesNotWiden) {
    Register(1, 4023) = 250;
    Register(2, 4023) = 31;
    Register(1, 4020) = 2000;
    PollAll();
    bars->TabControl1->setCurrentIndex(1);
    EXPECT_EQ(bars->TitleText(), "[A]");
    EXPECT_EQ(BarColour(1), QColor(Qt::blue));
    EXPECT_EQ(Categories(), QStringList({"Piec 1", "Piec 2", "Wanna"}));
    EXPECT_EQ(AxisRange(), std::make_pair(0.0, 20.0));
    EXPECT_EQ(ValueLabels(), QStringList({"25", "3.1", "0"}));
    ExpectHeights({20, 3.1, 0}); // cut off at the top
    // The label of the bar cut off at the top stays inside the plot.
    EXPECT_GE(bars->ValueLabels()[0]->pos().y(), bars->Chart1->plotArea().top());

    PollAll();
    EXPECT_EQ(AxisRange(), std::make_pair(0.0, 20.0));

    bars->TabControl1->setCurrentIndex(0);
    EXPECT_EQ(bars->TitleText(), "[°C], [°F]");
    EXPECT_EQ(BarColour(0), QColor(Qt::red));
    EXPECT_EQ(ValueLabels(), QStringList({"200", "0", "0"}));
    EXPECT_EQ(AxisRange().first, 0.0);
    EXPECT_GT(AxisRange().second, 200.0);
    EXPECT_LE(AxisRange().second, 300.0);

    // Automatic again: the axis follows a higher temperature.
    Register(2, 4020) = 5000;
    PollAll();
    EXPECT_GT(AxisRange().second, 500.0);
}

TEST_F(Bargraph, EveryScaleLabelIsReadableAtTheSizesTheWindowIsGiven) {
    Register(1, 4020) = 12345;
    Register(1, 4023) = 250;
    PollAll();
    // Its own size, a quarter of the main window side by side and in a grid, and an eighth.
    for (const QSize size : {QSize(696, 480), QSize(256, 650), QSize(512, 325), QSize(256, 325)}) {
        bars->parentWidget()->resize(size);
        for (const int tab : {0, 1}) {
            bars->TabControl1->setCurrentIndex(tab);
            const QStringList labels = ScaleLabels();
            const std::string where =
                QStringLiteral("%1x%2 tab %3: ").arg(size.width()).arg(size.height()).arg(tab).toStdString() +
                labels.join(' ').toStdString();
            ASSERT_GE(labels.size(), 2) << where;
            EXPECT_EQ(labels.filter(QStringLiteral("...")), QStringList()) << where;
            EXPECT_EQ(labels.last(), "0") << where;
            if (tab == 1) {
                EXPECT_EQ(labels.first(), "20") << where; // the currents' whole fixed range
            }
        }
    }
}

TEST_F(Bargraph, APollRepaintsOnlyTheBarsItChanged) {
    Register(1, 4020) = 2153;
    Register(2, 4023) = 31;
    PollAll();
    QApplication::processEvents();
    const PaintCounter paints(bars);
    PollAll();
    QApplication::processEvents();
    EXPECT_EQ(paints.count(), 0);

    Register(1, 4020) = 2204;
    PollAll();
    QApplication::processEvents();
    EXPECT_GT(paints.count(), 0);
    EXPECT_EQ(ValueLabels()[0], "220.4");
    // The first of three zones: the repaint stays within its third of the chart.
    EXPECT_LT(paints.painted().right(),
              bars->ChartView1->mapTo(bars, QPoint(bars->ChartView1->width() / 3, 0)).x());
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
    ExpectHeights({20, 0, 40});
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
    EXPECT_EQ(bars->Bars().size(), 2u);
}

} // namespace
} // namespace hz70::test

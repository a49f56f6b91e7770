// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/GuiTestSupport.h"
#include "views/O_param.h"
#include "views/O_synop.h"
#include "views/Ostrefa.h"

#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTextDocument>
#include <gtest/gtest.h>
#include <string>

namespace hz70::test {
namespace {

// The program on a fake bus with the synoptic window built; the test runs the poll ticks itself.
class Synoptic : public ::testing::Test {
protected:
    std::unique_ptr<ProgramOnFakeBus> program;
    TOmain* main = nullptr;

    void Start(const std::vector<int>& addresses) {
        program = std::make_unique<ProgramOnFakeBus>(addresses);
        program->ListZones();
        main = &program->Start();
        main->Timer1->stop();
        main->show();
        QApplication::processEvents();
    }
    FakeSlave& Slave(int address) { return program->bus.slaves[static_cast<std::uint8_t>(address)]; }
    [[nodiscard]] TStrefa& Panel(std::size_t j) const { return *main->Osynop->panels().at(j); }
    [[nodiscard]] TRegulator& Record(std::size_t j) const { return main->state().devices.at(j)->record; }
    // Ticks until every zone has been polled once more.
    void PollAll() { program->Ticks(4 * static_cast<int>(main->state().devices.size())); }
    // Ticks until `done` holds, at most a minute of poll time.
    template <typename Condition>
    void TickUntil(Condition done) {
        for (int tick = 0; tick < 600 && !done(); ++tick) {
            program->Ticks(1);
        }
        ASSERT_TRUE(done());
    }
};

QColor Colour(const QLabel* lamp) {
    return lamp->palette().color(QPalette::Window);
}

// A tool tip as the toolkit shows it: a text that looks like markup is drawn as markup.
QString ShownToolTip(const QWidget* widget) {
    const QString tip = widget->toolTip();
    if (!Qt::mightBeRichText(tip)) {
        return tip;
    }
    QTextDocument document;
    document.setHtml(tip);
    return document.toPlainText();
}

const QColor kRed(255, 0, 0);
const QColor kMaroon(128, 0, 0);
const QColor kLime(0, 255, 0);
const QColor kGreen(0, 128, 0);
const QColor kGrey(128, 128, 128);

TEST_F(Synoptic, EightZonesSitSideBySideAndTheWindowScrolls) {
    Start({1, 2, 3, 4, 5, 6, 7, 8});
    EXPECT_EQ(main->Osynop->windowTitle(), "Obrazy synoptyczne");
    ASSERT_EQ(main->Osynop->panels().size(), 8u);
    for (std::size_t j = 0; j < 8; ++j) {
        const TStrefa& panel = Panel(j);
        EXPECT_EQ(panel.objectName(), QStringLiteral("Blok%1").arg(j));
        EXPECT_EQ(panel.geometry(), QRect(8 + 150 * static_cast<int>(j), 0, 150, 415));
        EXPECT_EQ(panel.regulator, &Record(j));
    }
    main->Osynop->resize(696, 406);
    QApplication::processEvents();
    const auto* scrolling = main->Osynop->findChild<QScrollArea*>();
    ASSERT_NE(scrolling, nullptr);
    EXPECT_GT(scrolling->horizontalScrollBar()->maximum(), 1058 + 150 - 696 - 20);
}

TEST_F(Synoptic, RebuildWithFewerZonesRemovesTheExtraPanelsAndRebinds) {
    Start({1, 2, 3});
    main->state().settings.zones.DevCount = 2;
    main->state().settings.zones.DevAddr[2] = 0;
    main->RebuildDeviceList();
    main->ReshowViews();
    ASSERT_EQ(main->Osynop->panels().size(), 2u);
    EXPECT_EQ(main->Osynop->findChildren<TStrefa*>().size(), 2);
    EXPECT_EQ(Panel(1).regulator, &Record(1));
    PollAll(); // the rebound panels take the new records' values
    EXPECT_EQ(Panel(1).Image21->toolTip(), QString());
}

TEST_F(Synoptic, TitleShowsSeventeenCharactersAndTheTooltipTheWholeNameAsTyped) {
    Start({1, 2});
    Record(0).name = "Wytłaczarka główna strefa 12";
    Record(1).name = "<b>Piec</b>  & 2";
    main->Osynop->FormShow();
    EXPECT_EQ(Panel(0).Label1->text(), "Wytłaczarka główn");
    EXPECT_EQ(ShownToolTip(Panel(0).Label1), "Wytłaczarka główna strefa 12");
    EXPECT_EQ(Panel(1).Label1->text(), "<b>Piec</b>  & 2");
    EXPECT_EQ(Panel(1).Label1->textFormat(), Qt::PlainText);
    EXPECT_EQ(ShownToolTip(Panel(1).Label1), "<b>Piec</b>  & 2");
}

TEST_F(Synoptic, BeforeItsFirstUpdateAPanelShowsItsDesignState) {
    Start({1});
    const TStrefa& panel = Panel(0);
    EXPECT_EQ(panel.Label1->text(), "STREFA  1");
    for (const QLabel* field : {panel.StaticText1, panel.StaticText2, panel.StaticText3, panel.StaticText4}) {
        EXPECT_EQ(field->text(), "???,?");
    }
    EXPECT_FALSE(panel.Image21->pixmap().isNull());
    EXPECT_EQ(Colour(panel.LampLabel(Lamp::kLoadFault)), kMaroon);
    EXPECT_EQ(Colour(panel.LampLabel(Lamp::kCelsius)), kGreen);
    EXPECT_EQ(Colour(panel.LampLabel(Lamp::kPowerUnit)), kGrey);
}

TEST_F(Synoptic, PanelShowsThePolledValuesAndLampsOfItsOwnZone) {
    Start({1, 2});
    Slave(2).registers[4018] = 0x0008; // sensor fault
    Slave(2).registers[4019] = 0x0001; // automatic
    Slave(2).registers[4020] = 234;
    Slave(2).registers[4021] = 2000;
    Slave(2).registers[4022] = 0xFFCE; // -5.0
    Slave(2).registers[4023] = 12345;
    PollAll();
    const TStrefa& panel = Panel(1);
    EXPECT_EQ(panel.StaticText1->text(), " 23.4");
    EXPECT_EQ(panel.StaticText2->text(), "200.0");
    EXPECT_EQ(panel.StaticText3->text(), " -5.0");
    EXPECT_EQ(panel.StaticText4->text(), "1234.5");
    EXPECT_TRUE(panel.Image21->pixmap().isNull());
    EXPECT_FALSE(panel.Image21->isEnabled());
    EXPECT_EQ(Colour(panel.LampLabel(Lamp::kSensorFault)), kRed);
    EXPECT_EQ(Colour(panel.LampLabel(Lamp::kLoadFault)), kMaroon);
    EXPECT_EQ(Colour(panel.LampLabel(Lamp::kAutomatic)), kLime);
    EXPECT_EQ(Colour(panel.LampLabel(Lamp::kStop)), kGreen);
    EXPECT_EQ(Colour(panel.LampLabel(Lamp::kCelsius)), kLime);
    EXPECT_EQ(panel.Button2->text(), "S");
    EXPECT_STREQ(Record(1).settings[0].unit, "°C");
    EXPECT_EQ(Colour(Panel(0).LampLabel(Lamp::kSensorFault)), kMaroon); // the other zone is not touched

    Slave(2).registers[4019] = 0x0100; // stop, Fahrenheit
    PollAll();
    EXPECT_EQ(Colour(panel.LampLabel(Lamp::kFahrenheit)), kLime);
    EXPECT_EQ(Colour(panel.LampLabel(Lamp::kStop)), kLime);
    EXPECT_EQ(panel.Button2->text(), "AUTO");
    EXPECT_EQ(Record(1).fahrenheit, 1);
    EXPECT_STREQ(Record(1).measured[kMeasuredTemperature].unit, "°F");
}

TEST_F(Synoptic, APollThatChangesNothingRepaintsNothing) {
    Start({1, 2});
    Slave(2).registers[4019] = 0x0011;
    Slave(2).registers[4020] = 234;
    PollAll();
    QApplication::processEvents();
    const PaintCounter paints(main->Osynop);
    for (int tick = 0; tick < 8; ++tick) {
        program->Ticks(1);
        QApplication::processEvents();
    }
    EXPECT_EQ(paints.count(), 0);

    Slave(2).registers[4020] = 235; // a changed value is shown
    PollAll();
    QApplication::processEvents();
    EXPECT_GT(paints.count(), 0);
    EXPECT_EQ(Panel(1).StaticText1->text(), " 23.5");
}

TEST_F(Synoptic, ASilentZoneShowsTheSignThenLosesItsValues) {
    Start({1});
    Slave(1).registers[4019] = 0x0101;
    Slave(1).registers[4020] = 500;
    PollAll();
    const TStrefa& panel = Panel(0);
    EXPECT_EQ(panel.StaticText1->text(), " 50.0");
    MessageBoxAnswerer answers(QMessageBox::No);
    Slave(1).silent = true;

    TickUntil([this] { return Record(0).commError == 1; }); // the first failed attempt
    EXPECT_FALSE(panel.Image21->pixmap().isNull());
    EXPECT_EQ(panel.Image21->toolTip(), "Brak transmisji");
    EXPECT_EQ(panel.StaticText1->text(), " 50.0"); // values kept until the third failure
    EXPECT_EQ(Colour(panel.LampLabel(Lamp::kFahrenheit)), kLime);
    EXPECT_EQ(Colour(panel.LampLabel(Lamp::kAutomatic)), kGreen);
    EXPECT_EQ(panel.Button2->text(), "AUTO");

    TickUntil([this] { return Record(0).failCount == 3; });
    EXPECT_EQ(panel.StaticText1->text(), "----");
    EXPECT_EQ(Colour(panel.LampLabel(Lamp::kFahrenheit)), kGreen);
    EXPECT_EQ(Colour(panel.LampLabel(Lamp::kCelsius)), kGreen);
}

TEST_F(Synoptic, ModeButtonWritesStopOrAutomaticToTheStopRegister) {
    Start({1});
    Slave(1).registers[4016] = 1;
    Slave(1).registers[4019] = 0x0001;
    PollAll();
    Panel(0).Button2->click();
    EXPECT_EQ(Slave(1).registers[4016], 0);
    EXPECT_EQ(program->bus.requests.back().function, 6);
    EXPECT_EQ(program->bus.requests.back().reg, 4016);

    Slave(1).registers[4019] = 0x0000;
    PollAll();
    Panel(0).Button2->click();
    EXPECT_EQ(Slave(1).registers[4016], 1);
}

TEST_F(Synoptic, FailedModeWriteIsReportedAndChangesNothingShown) {
    Start({1});
    Slave(1).registers[4019] = 0x0001;
    PollAll();
    Slave(1).writeException = 4;
    MessageBoxAnswerer answers;
    Panel(0).Button2->click();
    ASSERT_EQ(answers.seen().size(), 1u);
    EXPECT_EQ(answers.seen()[0].title, "Uwaga");
    EXPECT_EQ(answers.seen()[0].text, "Błąd transmisji");
    EXPECT_EQ(answers.seen()[0].icon, QMessageBox::Warning);
    EXPECT_EQ(Panel(0).Button2->text(), "S");
}

TEST_F(Synoptic, ParametersButtonOpensTheDialogForThePanelsZone) {
    Start({1, 2});
    TRegulator* shown = nullptr;
    WhenDialogOpens<TDlgProg>([&shown](TDlgProg& dialog) {
        shown = dialog.regulator;
        dialog.BtnZamknij->click();
    });
    Panel(1).Button1->click();
    EXPECT_EQ(shown, &Record(1));
    EXPECT_TRUE(main->findChildren<TDlgProg*>().isEmpty()); // destroyed after closing
}

} // namespace
} // namespace hz70::test

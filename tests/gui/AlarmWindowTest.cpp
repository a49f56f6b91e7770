// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/O_alarmy.h"
#include "app/core/AlarmLog.h"
#include "gui/GuiTestSupport.h"
#include "support/FileText.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <gtest/gtest.h>

namespace hz70::test {
namespace {

constexpr std::uint16_t kAlarmRegister = 4018;
constexpr std::uint16_t kTemperatureHigh = 0x0008;

QStringList Row(const QTableWidget& list, int row) {
    QStringList cells;
    for (int column = 0; column < list.columnCount(); ++column) {
        cells << list.item(row, column)->text();
    }
    return cells.mid(1); // the time is the clock's
}

TEST(AlarmWindow, AnAlarmShowsInTheTitleAndTheListUntilAcknowledgedAndSurvivesARestart) {
    ProgramOnFakeBus program;
    program.ListZones("Dysza;");
    TOmain& main = program.Start();
    program.Ticks(4);
    EXPECT_EQ(main.windowTitle(), "HZ70wiz");
    EXPECT_FALSE(main.AlarmLabel->isVisibleTo(&main));

    program.bus.slaves[1].registers[kAlarmRegister] = kTemperatureHigh;
    program.Ticks(4);
    EXPECT_EQ(main.windowTitle(), "HZ70wiz — 1 niepotwierdzony alarm");
    EXPECT_EQ(main.AlarmLabel->text(), "1 niepotwierdzony alarm");
    program.Ticks(4);
    EXPECT_EQ(main.alarmLog().events().size(), 1u) << "once per coming, not per poll";

    main.OknoAlarmy->trigger();
    ASSERT_NE(main.OAlarmy, nullptr);
    QTableWidget& list = *main.OAlarmy->Lista;
    ASSERT_EQ(list.rowCount(), 1);
    EXPECT_EQ(Row(list, 0), QStringList({"1", "Dysza", "alarm za wysokiej temperatury", "nie"}));

    program.bus.slaves[1].registers[kAlarmRegister] = 0;
    program.Ticks(4);
    ASSERT_EQ(list.rowCount(), 2);
    EXPECT_EQ(Row(list, 0), QStringList({"1", "Dysza", "koniec: alarm za wysokiej temperatury", ""}))
        << "newest first";
    EXPECT_EQ(main.windowTitle(), "HZ70wiz — 1 niepotwierdzony alarm") << "gone, but not acknowledged";

    main.OAlarmy->BtnPotwierdz->click(); // nothing selected: all
    EXPECT_EQ(Row(list, 1).last(), "tak");
    EXPECT_EQ(main.windowTitle(), "HZ70wiz");
    EXPECT_FALSE(main.AlarmLabel->isVisibleTo(&main));

    program.window.reset();
    EXPECT_NE(FileBytes(program.folder() / kAlarmLogFileName).find(",temperature-high,ack,"),
              std::string::npos);
    TOmain& restarted = program.Start();
    EXPECT_EQ(restarted.alarmLog().events().size(), 2u);
    EXPECT_EQ(restarted.windowTitle(), "HZ70wiz");
}

TEST(AlarmWindow, TheSoundChoiceIsKeptBesideTheSettingsFileWhichStaysAsItWas) {
    ProgramOnFakeBus program;
    program.ListZones("Dysza;");
    const std::filesystem::path settingsFile = program.folder() / "HZ70wiz.INI";
    bool chosen = false; // off until chosen
    for (int run = 0; run < 3; ++run) {
        TOmain& main = program.Start();
        const std::string settings = FileBytes(settingsFile);
        main.OknoAlarmy->trigger();
        EXPECT_EQ(main.OAlarmy->Dzwiek->isChecked(), chosen) << "run " << run;
        main.OAlarmy->Dzwiek->click();
        chosen = !chosen;
        EXPECT_EQ(FileBytes(program.folder() / kAlarmSettingsFileName), chosen ? "Sound=1\n" : "Sound=0\n");
        program.window.reset();
        EXPECT_EQ(FileBytes(settingsFile), settings) << "run " << run;
    }
}

TEST(AlarmWindow, OnlyTheNewestEventsAreShownSayingHowManyThereAre) {
    const std::pair<int, const char*> cases[] = {
        {2000, "Alarmy"},
        {2002, "Alarmy — 2000 najnowszych z 2002"},
    };
    for (const auto& [count, title] : cases) {
        AlarmLog log;
        TRegulator zone;
        InitRegulator(zone);
        zone.zoneNumber = 1;
        for (int i = 0; i < count; ++i) { // comes and goes in turn
            zone.measured[kAlarmWord].raw = i % 2 == 0 ? kTemperatureHigh : 0;
            log.Observe({0, PollOutcome::kUpdated, zone});
        }
        TOAlarmy window(log, false);
        window.FormShow();
        EXPECT_EQ(window.windowTitle(), QString::fromUtf8(title));
        ASSERT_EQ(window.Lista->rowCount(), 2000) << count;
        window.Lista->selectRow(1); // the newest coming
        window.BtnPotwierdz->click();
        EXPECT_TRUE(log.events()[static_cast<std::size_t>(count) - 2].acknowledged) << count;
        EXPECT_EQ(log.unacknowledged(), static_cast<std::size_t>(count / 2 - 1)) << count;
    }
}

TEST(AlarmWindow, TheCountIsSaidInTheRightPlural) {
    const std::pair<std::size_t, const char*> cases[] = {
        {0, ""},
        {1, "1 niepotwierdzony alarm"},
        {2, "2 niepotwierdzone alarmy"},
        {5, "5 niepotwierdzonych alarmów"},
        {12, "12 niepotwierdzonych alarmów"},
        {22, "22 niepotwierdzone alarmy"},
    };
    for (const auto& [count, text] : cases) {
        EXPECT_EQ(UnacknowledgedText(count), QString::fromUtf8(text)) << count;
    }
}

} // namespace
} // namespace hz70::test

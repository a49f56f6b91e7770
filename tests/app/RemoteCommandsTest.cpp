// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/RemoteCommands.h"

#include "app/core/CommandAudit.h"
#include "model/StatusWord.h"
#include "support/FakeClock.h"
#include "support/FakeHz70Bus.h"
#include "support/FileText.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace hz70 {
namespace {

using publish::IncomingCommand;

constexpr std::uint8_t kAddresses[] = {11, 12, 13};

// Three zones on a fake line, as a few poll rounds leave them: zone 1 in °C and automatic, zone 2 in °F,
// zone 3 found but not yet answering a poll (its unit unknown). The commands' clock moves only when told.
struct CommandLine : test::FakeHz70Line {
    PollingState polling;
    DeviceList devices;
    test::FakeClock commandClock{5'000'000};
    std::unique_ptr<RemoteCommands> commands;

    CommandLine() {
        ZoneList zones;
        zones.DevCount = 3;
        zones.DevAddr = {kAddresses[0], kAddresses[1], kAddresses[2], 0, 0, 0, 0, 0};
        for (const std::uint8_t address : kAddresses) {
            bus.slaves[address].registers[4000] = 200;
            bus.slaves[address].registers[4006] = 20;
        }
        RebuildDeviceList(devices, zones, trans, polling);
        Polled(0, kAutomaticBit);
        Polled(1, kAutomaticBit | kFahrenheitBit);
        devices[2]->record.commError = 1;
        bus.requests.clear();
        commands = std::make_unique<RemoteCommands>(devices, trans, polling, commandClock);
    }
    void Polled(int slot, std::uint16_t status) {
        TRegulator& record = devices[static_cast<std::size_t>(slot)]->record;
        record.measured[kStatusWord].raw = static_cast<std::int16_t>(status);
        record.measured[kStatusWord].value = 0.0;
        record.commError = 0;
        ApplyTemperatureUnit(record);
    }
    static IncomingCommand Command(const std::string& levels, std::string payload,
                                   std::string correlation = {}, bool retained = false) {
        const std::string topic = "hz70/p/zone/" + levels;
        return {topic, std::move(payload), retained, std::move(correlation), "", topic, {}};
    }
    // What Submit says of one command: its reason, or empty when it was accepted.
    std::string Verdict(IncomingCommand command) {
        std::vector<IncomingCommand> one;
        one.push_back(std::move(command));
        const auto refused = commands->Submit(std::move(one));
        return refused.empty() ? std::string() : refused.front().result.reason;
    }
};

const PollTickResult kBetweenExchanges{0, PollOutcome::kUpdated, std::nullopt};

TEST(RemoteCommands, RefusesEveryBadCommandWithItsReasonAndWritesNothing) {
    const std::string huge(5000, '9');
    const struct {
        std::string levels;
        std::string payload;
        bool retained;
        std::string reason;
    } cases[] = {
        {"1/set/SP", "abc", false, "nie jest liczbą całkowitą"},
        {"1/set/SP", "0x10", false, "nie jest liczbą całkowitą"},
        {"1/set/SP", "1e2", false, "nie jest liczbą całkowitą"},
        {"1/set/SP", "180.5", false, "nie jest liczbą całkowitą"},
        {"1/set/SP", "١٨٠", false, "nie jest liczbą całkowitą"}, // Arabic-Indic digits
        {"1/set/SP", "", false, "nie jest liczbą całkowitą"},
        {"1/set/SP",
         std::string("1\x00"
                     "80",
                     4),
         false, "nie jest liczbą całkowitą"},
        {"1/set/SP", "\xff\xfe", false, "nie jest liczbą całkowitą"},
        {"1/set/SP", huge, false, "za długa wartość (ponad 16 bajtów)"},
        {"1/set/XP", "201", false, "poza zakresem 1..200"},
        {"1/set/PS", "-5", false, "poza zakresem 5..100"},
        // The temperatures the dialog leaves to the controller, held to their limits, in °F for zone 2.
        {"1/set/SP", "538", false, "poza zakresem 0..537"},
        {"1/set/SP", "65536", false, "poza zakresem 0..537"},
        {"2/set/SP", "999", false, "poza zakresem 32..998"},
        {"2/set/SPL", "98", false, "poza zakresem 99..300"},
        {"2/set/ADH", "37", false, "poza zakresem 4..36"},
        {"3/set/SP", "100", false, "jednostka temperatury strefy jeszcze nieznana"},
        {"3/set/mode", "stop", false, "regulator nie odpowiada"},
        {"1/set/FOO", "1", false, "nieznane ustawienie „FOO”"},
        {"1/set/sp", "180", false, "nieznane ustawienie „sp”"},
        {"1/set/STOP", "1", false, "nieznane ustawienie „STOP”"},
        {"1/set/#", "180", false, "nieznane ustawienie „#”"},
        {"1/set/mode", "manual", false, "nieznany tryb „manual” (stop albo auto)"},
        {"0/set/SP", "180", false, "brak strefy 0"},
        {"9/set/SP", "180", false, "brak strefy 9"},
        {"4/set/SP", "180", false, "brak strefy 4"}, // not configured
        {"01/set/SP", "180", false, "brak strefy 01"},
        {"+/set/SP", "180", false, "brak strefy +"},
        {"1/get/SP", "180", false, "nieznany temat „hz70/p/zone/1/get/SP”"},
        {"1/set/SP", "180", true, "wiadomość zachowana (retained) — zignorowana"},
    };
    CommandLine line;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.levels + " " + c.payload.substr(0, 20));
        EXPECT_EQ(line.Verdict(CommandLine::Command(c.levels, c.payload, {}, c.retained)), c.reason);
    }
    EXPECT_EQ(line.commands->waiting(), 0U);
    EXPECT_FALSE(line.commands->RunNext(kBetweenExchanges));
    EXPECT_TRUE(line.bus.requests.empty());
}

TEST(RemoteCommands, WritesBetweenExchangesReadsBackAndReportsEachOutcome) {
    using Request = std::tuple<int, int, int>; // function, register, count or value
    const struct {
        std::string levels;
        std::string payload;
        void (*meanwhile)(CommandLine&); // while the command waits
        publish::CommandResult result;   // zone, setting, ok, reason, before, requested, read back, unit
        std::vector<Request> requests;
    } cases[] = {
        {"1/set/SP",
         "180",
         [](CommandLine&) {},
         {1, "SP", true, "", 200, 180, 180, "°C", {}},
         {{6, 4000, 180}, {3, 4000, 1}}},
        {"1/set/mode",
         "stop",
         [](CommandLine& l) { l.bus.slaves[11].registers[4019] = 0; },
         {1, "mode", true, "", publish::kModeAuto, publish::kModeStop, publish::kModeStop, "", {}},
         {{6, 4016, 0}, {3, 4019, 1}}},
        {"1/set/XP",
         "50",
         [](CommandLine& l) { l.bus.slaves[11].writeException = 3; },
         {1, "XP", false, "wyjątek Modbus 3 (illegal data value)", 20, 50, std::nullopt, "%", {}},
         {{6, 4006, 50}, {6, 4006, 50}}},
        {"1/set/XP",
         "50",
         [](CommandLine& l) { l.bus.slaves[11].silent = true; },
         {1, "XP", false, "regulator nie odpowiada", 20, 50, std::nullopt, "%", {}},
         {{6, 4006, 50}, {6, 4006, 50}}},
        // Checked again when it runs: the zone went over to °F meanwhile, where 20 is too cold.
        {"1/set/SP",
         "20",
         [](CommandLine& l) { l.Polled(0, kAutomaticBit | kFahrenheitBit); },
         {1, "SP", false, "poza zakresem 32..998", 200, 20, std::nullopt, "°F", {}},
         {}},
    };
    const auto folder =
        std::filesystem::temp_directory_path() / ("hz70commands." + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    std::string audit = std::string(kCommandAuditHeader) + "\n";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.levels + " " + c.payload);
        CommandLine line;
        ASSERT_EQ(line.commands->StartAudit(folder / "commands.csv"), "");
        EXPECT_EQ(line.Verdict(CommandLine::Command(c.levels, c.payload)), "");
        c.meanwhile(line);
        EXPECT_FALSE(line.commands->RunNext({0, PollOutcome::kPending, std::nullopt}))
            << "an exchange is open";
        EXPECT_TRUE(line.bus.requests.empty());

        const auto report = line.commands->RunNext(kBetweenExchanges);
        ASSERT_TRUE(report);
        EXPECT_FALSE(line.commands->RunNext(kBetweenExchanges));
        const publish::CommandResult& r = report->result;
        EXPECT_EQ(std::tie(r.zone, r.setting, r.ok, r.reason, r.before, r.requested, r.readBack, r.unit),
                  std::tie(c.result.zone, c.result.setting, c.result.ok, c.result.reason, c.result.before,
                           c.result.requested, c.result.readBack, c.result.unit));
        EXPECT_EQ(report->address, kAddresses[0]);
        std::vector<Request> seen;
        for (const test::SeenRequest& request : line.bus.requests) {
            seen.emplace_back(request.function, request.reg, request.operand);
        }
        EXPECT_EQ(seen, c.requests);
        audit += CommandAuditLine(*report) + "\n";
        line.commands.reset(); // puts the audit on the disk
    }
    EXPECT_EQ(test::FileBytes(folder / "commands.csv"), audit);
    EXPECT_NE(audit.find(R"(,"hz70/p/zone/1/set/SP","hz70/p/zone/1/set/SP","180",1,11,"SP",200,180,180,"ok")"
                         "\n"),
              std::string::npos)
        << audit;
    EXPECT_NE(audit.find(",\"wyjątek Modbus 3 (illegal data value)\"\n"), std::string::npos) << audit;
    std::filesystem::remove_all(folder);
}

TEST(CommandAudit, KeepsReadableUtf8AndEscapesControlsAndMalformedBytes) {
    const struct {
        std::string payload;
        std::string field;
    } cases[] = {
        {"żółć „90”", R"("żółć „90”")"},
        {"a\"b\\x41", R"("a""b\x5Cx41")"},
        {std::string("\x00\x1F\x7F\xC2\x85\xC5", 6), R"("\x00\x1F\x7F\xC2\x85\xC5")"},
        {"\xC0\xAF\xED\xA0\x80\xF4\x90\x80\x80", R"("\xC0\xAF\xED\xA0\x80\xF4\x90\x80\x80")"},
    };
    for (const auto& c : cases) {
        CommandReport report;
        report.request.payload = c.payload;
        EXPECT_NE(CommandAuditLine(report).find(',' + c.field + ','), std::string::npos) << c.field;
    }
}

TEST(RemoteCommands, BoundsWhatWaitsPacesTheRunsAndRefusesRepeatsWithinTheWindow) {
    const std::string kRun = "run"; // a step that runs the next command instead of sending one
    const struct {
        std::uint32_t afterMs;
        std::string payload;
        std::string correlation;
        std::string outcome; // the refusal, empty when accepted; for a run the value written, or none
    } steps[] = {
        {0, "150", "", ""},
        {0, "151", "", ""},
        {0, "151", "", "powtórzone polecenie"},
        {0, "151", "second", ""}, // another request that happens to ask the same
        {0, "152", "", ""},
        {0, "153", "", "zbyt wiele poleceń"}, // four wait already
        {0, kRun, "", "150"},
        {0, "153", "", ""},
        {0, kRun, "", ""}, // too soon after the last
        {2'999, kRun, "", ""},
        {1, kRun, "", "151"},
        {6'999, "150", "", "powtórzone polecenie"},
        {1, "150", "", ""}, // ten seconds on: no longer a repeat
        {0, "154", "", "zbyt wiele poleceń"},
    };
    CommandLine line;
    for (const auto& step : steps) {
        SCOPED_TRACE(step.payload + " " + step.correlation + " " + step.outcome);
        line.commandClock.Advance(step.afterMs);
        if (step.payload != kRun) {
            EXPECT_EQ(line.Verdict(CommandLine::Command("1/set/SP", step.payload, step.correlation)),
                      step.outcome);
            continue;
        }
        line.bus.requests.clear();
        const auto report = line.commands->RunNext(kBetweenExchanges);
        EXPECT_EQ(report ? report->request.payload : std::string(), step.outcome);
        EXPECT_EQ(line.bus.requests.size(), report ? 2U : 0U);
    }
}

} // namespace
} // namespace hz70

// SPDX-License-Identifier: GPL-3.0-or-later
#include "hz70sim/Commands.h"
#include "hz70sim/Options.h"
#include "hz70sim/TextParsing.h"

#include <gtest/gtest.h>
#include <string_view>
#include <vector>

namespace hz70::sim {
namespace {

using namespace std::chrono_literals;

OptionsResult Parse(std::vector<std::string_view> args) {
    return ParseOptions(args);
}

TEST(Options, ReadsALineZonesForeignDevicesAndFaults) {
    const OptionsResult parsed = Parse({"--link",      "./COM1",    "--mode=6",  "--baud",
                                        "19200",       "--zones",   "1-3,9,2",   "--foreign",
                                        "5=77",        "--foreign", "6=0",       "--response-delay",
                                        "12",          "--drop",    "0.2",       "--corrupt=0.1",
                                        "--wrongaddr", "0.05",      "--noise",   "1",
                                        "--delay",     "1400",      "--split",   "3",
                                        "--split-gap", "40",        "--silence", "2,3",
                                        "--log",       "sim.log",   "--seed",    "99",
                                        "--speed",     "10",        "--echo",    "--stray",
                                        "ff00",        "--trail=00"});
    ASSERT_EQ(parsed.error, "");
    const SimOptions& o = parsed.options;
    EXPECT_EQ(o.link, "./COM1");
    EXPECT_EQ(o.mode, 6);
    EXPECT_EQ(o.baud, 19200);
    EXPECT_EQ(o.bus.zones, (std::vector<std::uint8_t>{1, 2, 3, 9}));
    EXPECT_EQ(o.bus.foreign, (std::map<std::uint8_t, std::uint8_t>{{5, 77}, {6, 0}}));
    EXPECT_EQ(o.responseDelay, 12ms);
    EXPECT_DOUBLE_EQ(o.faults.drop, 0.2);
    EXPECT_DOUBLE_EQ(o.faults.corrupt, 0.1);
    EXPECT_DOUBLE_EQ(o.faults.wrongAddress, 0.05);
    EXPECT_DOUBLE_EQ(o.faults.noise, 1.0);
    EXPECT_EQ(o.faults.extraDelay, 1400ms);
    EXPECT_EQ(o.faults.pieces, 3);
    EXPECT_EQ(o.faults.pieceGap, 40ms);
    EXPECT_EQ(o.silenced, (std::vector<std::uint8_t>{2, 3}));
    EXPECT_EQ(o.logPath, "sim.log");
    EXPECT_EQ(o.bus.seed, 99u);
    EXPECT_DOUBLE_EQ(o.bus.speed, 10.0);
    EXPECT_TRUE(o.faults.habits.echo);
    EXPECT_EQ(o.faults.habits.stray, (std::vector<std::uint8_t>{0xFF, 0x00}));
    EXPECT_EQ(o.faults.habits.trail, (std::vector<std::uint8_t>{0x00}));
    EXPECT_EQ(Parse({"--link", "a", "--late", "2500"}).options.faults.extraDelay, 2500ms);
    // Framing by name and the rate by the program's index, as hz70cli takes them.
    EXPECT_EQ(Parse({"--link", "a", "--mode", "rtu-8e1"}).options.mode, 4);
    EXPECT_EQ(Parse({"--link", "a", "--baud", "9"}).options.baud, 115200);
    EXPECT_TRUE(Parse({"--version"}).options.version);
    EXPECT_EQ(Parse({"--link", "a", "--delay", "900", "--late", "off"}).options.faults.extraDelay, 0ms);
    EXPECT_EQ(Parse({"--tcp", "5020"}).options.tcpPort, 5020);
    EXPECT_EQ(Parse({"--tcp=0"}).options.tcpPort, 0);
}

TEST(Options, RefusesWhatTheLineOrTheBusCannotHave) {
    for (const std::vector<std::string_view>& args : std::vector<std::vector<std::string_view>>{
             {},
             {"--link", "a", "--device", "b"},
             {"--link", "a", "--tcp", "5020"},
             {"--tcp", "65536"},
             {"--tcp", "-1"},
             {"--link", "a", "--mode", "7"},
             {"--link", "a", "--baud", "14400"},
             {"--link", "a", "--zones", "0"},
             {"--link", "a", "--zones", "248"},
             {"--link", "a", "--zones", "5-3"},
             {"--link", "a", "--zones", "1,,2"},
             {"--link", "a", "--foreign", "5"},
             {"--link", "a", "--foreign", "5=256"},
             {"--link", "a", "--drop", "1.5"},
             {"--link", "a", "--drop", "-0.1"},
             {"--link", "a", "--split", "0"},
             {"--link", "a", "--speed", "0"},
             {"--link", "a", "--mode"},
             {"--link", "a", "--colour", "red"},
             {"--link", "a", "--echo=on"},
             {"--link", "a", "--stray", "F"},
             {"--link", "a", "--stray", "0G"},
             {"--link", "a", "--trail", "+1"},
             {"--link", "a", "--trail", "000102030405060708090A0B0C0D0E0F10"},
             {"--link", "a", "--late", "60001"},
             {"--link", "a", "--late", "never"},
         }) {
        EXPECT_NE(Parse(args).error, "") << (args.size() > 2 ? args[2] : "");
    }
    EXPECT_TRUE(Parse({"--link", "a", "--help"}).options.help);
}

TEST(TextParsing, AddressListsRoundTripAsRanges) {
    const auto all = ParseAddressList("1-247");
    ASSERT_TRUE(all);
    EXPECT_EQ(all->size(), 247u);
    EXPECT_EQ(FormatAddressList(*all), "1-247");
    EXPECT_EQ(FormatAddressList(*ParseAddressList("9,1,2,3,5")), "1-3,5,9");
}

// Stands for the device: pulled and put back as told, its connection dropped, unless it has a reason not
// to.
class FakeLine final : public LineSwitch {
public:
    [[nodiscard]] bool plugged() const override { return plugged_; }
    [[nodiscard]] std::optional<std::string> unplug() override { return change(false); }
    [[nodiscard]] std::optional<std::string> plug() override { return change(true); }
    [[nodiscard]] std::optional<std::string> disconnect() override {
        disconnects += refusal ? 0 : 1;
        return refusal;
    }

    int disconnects = 0;

    std::optional<std::string> refusal;

private:
    std::optional<std::string> change(bool in) {
        plugged_ = refusal ? plugged_ : in;
        return refusal;
    }

    bool plugged_ = true;
};

class CommandsTest : public ::testing::Test {
protected:
    CommandsTest() : bus_(BusSetup{{1, 2}, {{5, 77}}, 1, 1.0}), faults_(1), commands_(bus_, faults_, line_) {}

    std::string run(std::string_view line) { return commands_.execute(line).text; }

    Bus bus_;
    FaultInjector faults_;
    FakeLine line_;
    CommandInterpreter commands_;
};

TEST_F(CommandsTest, SetFaultSharesDelayAndSplit) {
    EXPECT_EQ(run("drop 0.2").rfind("faults: drop 0.2 ", 0), 0u);
    run("corrupt 0.1");
    run("wrongaddr 0.05");
    run("noise 1");
    run("delay 1600");
    run("split 4 35");
    const FaultSettings& f = faults_.settings();
    EXPECT_DOUBLE_EQ(f.drop, 0.2);
    EXPECT_DOUBLE_EQ(f.corrupt, 0.1);
    EXPECT_DOUBLE_EQ(f.wrongAddress, 0.05);
    EXPECT_DOUBLE_EQ(f.noise, 1.0);
    EXPECT_EQ(f.extraDelay, 1600ms);
    EXPECT_EQ(f.pieces, 4);
    EXPECT_EQ(f.pieceGap, 35ms);
    EXPECT_EQ(run("drop 2").rfind("error:", 0), 0u);
    EXPECT_DOUBLE_EQ(f.drop, 0.2);
}

TEST_F(CommandsTest, SetAndClearAdapterHabits) {
    const LineHabits& habits = faults_.settings().habits;
    const Micros& late = faults_.settings().extraDelay;
    const std::vector<std::uint8_t> none;
    struct Case {
        std::string_view command;
        std::string_view reply; // its start
        bool echo;
        std::vector<std::uint8_t> stray;
        std::vector<std::uint8_t> trail;
        Micros late;
    };
    for (const Case& c : std::vector<Case>{
             {"echo on", "line: echo on  stray -  trail -  plugged in\n", true, none, none, 0ms},
             {"stray ff00", "line: echo on  stray FF00  trail -", true, {0xFF, 0x00}, none, 0ms},
             {"trail 00", "line: echo on  stray FF00  trail 00", true, {0xFF, 0x00}, {0x00}, 0ms},
             {"late 2500", "faults: ", true, {0xFF, 0x00}, {0x00}, 2500ms},
             {"echo maybe", "error:", true, {0xFF, 0x00}, {0x00}, 2500ms},
             {"stray 123", "error:", true, {0xFF, 0x00}, {0x00}, 2500ms},
             {"late -5", "error:", true, {0xFF, 0x00}, {0x00}, 2500ms},
             {"echo off", "line: echo off", false, {0xFF, 0x00}, {0x00}, 2500ms},
             {"stray off", "line: echo off  stray -  trail 00", false, none, {0x00}, 2500ms},
             {"trail", "line: echo off  stray -  trail -", false, none, none, 2500ms},
             {"late off", "faults: ", false, none, none, 0ms},
         }) {
        EXPECT_EQ(run(c.command).rfind(c.reply, 0), 0u) << c.command;
        EXPECT_EQ(habits.echo, c.echo) << c.command;
        EXPECT_EQ(habits.stray, c.stray) << c.command;
        EXPECT_EQ(habits.trail, c.trail) << c.command;
        EXPECT_EQ(late, c.late) << c.command;
    }
}

TEST_F(CommandsTest, UnplugPlugAndDisconnectGoToTheLineOnceEach) {
    EXPECT_EQ(run("unplug"), "line: echo off  stray -  trail -  unplugged\n");
    EXPECT_EQ(run("unplug").rfind("error: already unplugged", 0), 0u);
    EXPECT_NE(run("status").find("  unplugged\n"), std::string::npos);
    EXPECT_EQ(run("plug"), "line: echo off  stray -  trail -  plugged in\n");
    EXPECT_EQ(run("plug").rfind("error: already plugged in", 0), 0u);
    EXPECT_EQ(run("disconnect"), "line: master disconnected\n");
    EXPECT_EQ(line_.disconnects, 1);
    line_.refusal = "only --link can be unplugged";
    EXPECT_EQ(run("unplug"), "error: only --link can be unplugged\n");
    EXPECT_EQ(run("disconnect"), "error: only --link can be unplugged\n");
    EXPECT_TRUE(line_.plugged());
    EXPECT_EQ(line_.disconnects, 1);
}

TEST_F(CommandsTest, SilenceReviveAlarmsManualModeAndRefusalsActOnTheirZone) {
    run("silence 2");
    EXPECT_TRUE(bus_.find(2)->silenced);
    EXPECT_FALSE(bus_.find(1)->silenced);
    run("revive 2");
    EXPECT_FALSE(bus_.find(2)->silenced);
    run("silence all");
    EXPECT_TRUE(bus_.find(1)->silenced && bus_.find(5)->silenced);

    run("alarm 1 fuse");
    run("alarm 1 sensor-open");
    bus_.find(1)->zone.advance(1.0);
    EXPECT_EQ(bus_.find(1)->zone.alarmWord(), AlarmBit::Fuse | AlarmBit::SensorOpen);
    run("alarm 1 clear");
    bus_.find(1)->zone.advance(1.0);
    EXPECT_EQ(bus_.find(1)->zone.alarmWord(), 0);

    run("manual 2 25");
    bus_.find(2)->zone.advance(1.0);
    EXPECT_DOUBLE_EQ(bus_.find(2)->zone.output(), 25.0);
    run("auto 2");
    EXPECT_FALSE(bus_.find(2)->zone.statusWord() & StatusBit::Manual);

    EXPECT_NE(run("refuse 2 3").find("refuses writes (exception 3)"), std::string::npos);
    EXPECT_EQ(bus_.find(2)->refusedWrites, 3);
    EXPECT_EQ(bus_.find(1)->refusedWrites, 0);
    run("refuse 2 off");
    EXPECT_EQ(bus_.find(2)->refusedWrites, 0);
}

TEST_F(CommandsTest, RefusesUnknownCommandsTargetsAndKinds) {
    EXPECT_EQ(run("explode").rfind("error:", 0), 0u);
    EXPECT_EQ(run("silence 3").rfind("error:", 0), 0u);
    EXPECT_EQ(run("alarm 5 fuse").rfind("error:", 0), 0u) << "a foreign device has no zone";
    EXPECT_EQ(run("alarm 1 fire").rfind("error:", 0), 0u);
    EXPECT_EQ(run("manual 1 120").rfind("error:", 0), 0u);
    EXPECT_EQ(run("refuse 1 5").rfind("error:", 0), 0u);
    EXPECT_EQ(run("refuse 5 3").rfind("error:", 0), 0u);
    EXPECT_EQ(run("   "), "");
    EXPECT_TRUE(commands_.execute("quit").quit);
}

TEST_F(CommandsTest, StatusListsFaultsAndEveryDevice) {
    run("silence 2");
    const std::string text = run("status");
    EXPECT_NE(text.find("faults: "), std::string::npos);
    EXPECT_NE(text.find("  1:   20."), std::string::npos);
    EXPECT_NE(text.find("silenced"), std::string::npos);
    EXPECT_NE(text.find("  5: foreign device, id 77"), std::string::npos);
}

} // namespace
} // namespace hz70::sim

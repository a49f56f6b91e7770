// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/AlarmLog.h"

#include "model/StatusWord.h"
#include "support/FileText.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace hz70 {
namespace {

using namespace std::chrono_literals;

constexpr std::uint16_t kAuto = kAutomaticBit;
constexpr std::uint16_t kStop = 0;
constexpr std::uint16_t kSensorShort = 0x0001;
constexpr std::uint16_t kTemperatureHigh = 0x0008;

PollTickResult Tick(PollOutcome outcome, std::uint16_t alarms, std::uint16_t status, int number = 1) {
    TRegulator zone;
    InitRegulator(zone);
    zone.zoneNumber = static_cast<std::int16_t>(number);
    zone.address = static_cast<std::int16_t>(number + 10);
    zone.name = "Strefa \"A\", dysza";
    zone.measured[kAlarmWord].raw = static_cast<std::int16_t>(alarms);
    zone.measured[kStatusWord].raw = static_cast<std::int16_t>(status);
    return {number - 1, outcome, zone};
}

PollTickResult Updated(std::uint16_t alarms, std::uint16_t status) {
    return Tick(PollOutcome::kUpdated, alarms, status);
}

// "event/change" of each event, in order.
std::string Summary(const std::vector<AlarmEvent>& events) {
    std::string text;
    for (const AlarmEvent& event : events) {
        text += (text.empty() ? "" : " ") + event.event + '/' + event.change;
    }
    return text;
}

TEST(AlarmLogTest, EachChangeIsOneEventAsItComesAndAsItGoes) {
    struct Step {
        PollTickResult tick;
        bool commandAnnounced;
        const char* events;
    };
    const Step steps[] = {
        {Updated(0, kAuto), false, ""}, // the first answer sets the mode seen so far
        {Tick(PollOutcome::kPending, kSensorShort, kAuto), false, ""},
        {Updated(kSensorShort | kTemperatureHigh, kAuto), false, "sensor-short/came temperature-high/came"},
        {Updated(kSensorShort | kTemperatureHigh, kAuto), false, ""},
        {Updated(kSensorShort, kAuto), false, "temperature-high/went"},
        {Tick(PollOutcome::kFailed, 0, 0), false, "communication/came"},
        {Tick(PollOutcome::kFailed, 0, 0), false, ""},
        {Updated(kSensorShort, kAuto), false, "communication/went"},
        {Updated(kSensorShort, kStop), false, "mode-stop/operator"},
        {Updated(kSensorShort, kAuto), true, "mode-auto/command"},
        {Updated(kSensorShort, kAuto), true, ""}, // a command that changed nothing
        {Updated(kSensorShort, kStop), false, "mode-stop/operator"},
        {Updated(0, kStop), false, "sensor-short/went"},
    };
    AlarmLog log;
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        if (steps[i].commandAnnounced) {
            log.ExpectCommandModeChange(1);
        }
        EXPECT_EQ(Summary(log.Observe(steps[i].tick)), steps[i].events) << "step " << i;
    }
    // Another zone has a state of its own.
    EXPECT_EQ(Summary(log.Observe(Tick(PollOutcome::kUpdated, kSensorShort, kAuto, 2))), "sensor-short/came");
    EXPECT_EQ(log.unacknowledged(), 4u) << "three alarms and a lost link came";
}

TEST(AlarmLogTest, TheFileKeepsTheLogAndItsAcknowledgementsAcrossARestart) {
    const auto folder = std::filesystem::temp_directory_path() / ("hz70alarms." + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const auto file = folder / kAlarmLogFileName;
    const auto when = std::chrono::system_clock::time_point(1'800'000'000s);
    {
        AlarmLog log;
        ASSERT_EQ(log.Start(file), "");
        log.Observe(Updated(kSensorShort | kTemperatureHigh, kAuto), when);
        log.Observe(Tick(PollOutcome::kFailed, 0, 0), when + 1s);
        EXPECT_EQ(log.Acknowledge({1, 99}, when + 2s), 1u);
        log.Flush();
        const std::string text = test::FileBytes(file);
        EXPECT_TRUE(text.starts_with(std::string(kAlarmLogHeader) + "\n")) << text;
        EXPECT_NE(text.find(",1,11,\"Strefa \"\"A\"\", dysza\",temperature-high,ack,"), std::string::npos)
            << text;
    }
    AlarmLog restarted;
    ASSERT_EQ(restarted.Start(file), "");
    ASSERT_EQ(Summary(restarted.events()), "sensor-short/came temperature-high/came communication/came");
    EXPECT_EQ(restarted.events()[0].name, "Strefa \"A\", dysza");
    EXPECT_EQ(restarted.unacknowledged(), 2u);
    // What had not gone is not reported again; what goes now is.
    EXPECT_EQ(Summary(restarted.Observe(Updated(kSensorShort, kAuto), when + 3s)),
              "communication/went temperature-high/went");
    EXPECT_EQ(restarted.AcknowledgeAll(when + 4s), 2u);
    restarted.Flush();

    AlarmLog again;
    ASSERT_EQ(again.Start(file), "");
    EXPECT_EQ(again.events().size(), 5u);
    EXPECT_EQ(again.unacknowledged(), 0u);
    std::filesystem::remove_all(folder);
}

TEST(AlarmLogTest, ALargeFileIsMovedAsideAndWhatStillMattersCarriedOver) {
    const auto folder =
        std::filesystem::temp_directory_path() / ("hz70alarmsaside." + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const auto file = folder / kAlarmLogFileName;
    const PollTickResult ticks[] = {
        Updated(kSensorShort | kTemperatureHigh, kAuto), // both come
        Updated(kSensorShort, kStop),                    // one goes, and the mode changes
        Tick(PollOutcome::kFailed, 0, 0, 2),
        Tick(PollOutcome::kUpdated, kSensorShort, kAuto, 2), // the link is back, an alarm comes
        Updated(kSensorShort | kTemperatureHigh, kStop),     // comes again
    };
    {
        AlarmLog log;
        ASSERT_EQ(log.Start(file), "");
        for (const PollTickResult& tick : ticks) {
            log.Observe(tick);
        }
        EXPECT_EQ(log.Acknowledge({0, 1, 7}), 3u);
        log.Flush();
    }
    const std::string whole = test::FileBytes(file);
    // What went and was acknowledged, and the mode changes, stay behind; a going stays with its coming.
    const char* carried = "sensor-short/came communication/came communication/went sensor-short/came "
                          "temperature-high/came";
    for (const std::uintmax_t bound : {whole.size() - 1, kAlarmLogMaxBytes}) {
        AlarmLog log;
        ASSERT_EQ(log.Start(file, bound), "");
        EXPECT_EQ(Summary(log.events()), carried) << bound;
        EXPECT_EQ(log.unacknowledged(), 2u) << bound;
        for (const PollTickResult& tick : {ticks[3], ticks[4]}) {
            EXPECT_EQ(Summary(log.Observe(tick)), "") << "nothing that still stands is reported again";
        }
    }
    EXPECT_EQ(test::FileBytes(OlderAlarmLogFile(file)), whole);
    EXPECT_EQ(OlderAlarmLogFile(file).filename(), "HZ70wiz-alarmy.1.csv");
    std::filesystem::remove_all(folder);
}

} // namespace
} // namespace hz70

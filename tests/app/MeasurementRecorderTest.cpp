// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/MeasurementRecorder.h"

#include "app/core/PollCsv.h"
#include "support/FileText.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <unistd.h>

namespace hz70 {
namespace {

TRegulator Zone(int number, double temperature) {
    TRegulator zone;
    InitRegulator(zone);
    zone.zoneNumber = static_cast<std::int16_t>(number);
    zone.address = static_cast<std::int16_t>(number);
    zone.measured[kMeasuredTemperature].value = temperature;
    return zone;
}

class MeasurementRecorderTest : public ::testing::Test {
protected:
    std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("hz70record." + std::to_string(::getpid()));
    void SetUp() override { std::filesystem::create_directories(folder); }
    void TearDown() override { std::filesystem::remove_all(folder); }
};

TEST_F(MeasurementRecorderTest, ANewFileGetsTheHeaderAndEveryLineIsInTheFileAtOnce) {
    const auto file = folder / "HZ70wiz-2026-12-09.csv";
    MeasurementRecorder recorder;
    ASSERT_EQ(recorder.Start(file), "");
    EXPECT_EQ(recorder.Record(Zone(1, 47.6), "t1"), "");
    // Read while still recording: nothing waits in a buffer.
    EXPECT_EQ(test::FileBytes(file),
              std::string(kPollCsvHeader) + "\n" + FormatPollLine("t1", Zone(1, 47.6)) + "\n");
    recorder.Stop();
    EXPECT_FALSE(recorder.recording());

    // Started again on the same file: appended to, without a second header.
    ASSERT_EQ(recorder.Start(file), "");
    EXPECT_EQ(recorder.Record(Zone(2, 100.0), "t2"), "");
    EXPECT_EQ(test::FileBytes(file), std::string(kPollCsvHeader) + "\n" +
                                         FormatPollLine("t1", Zone(1, 47.6)) + "\n" +
                                         FormatPollLine("t2", Zone(2, 100.0)) + "\n");
}

TEST_F(MeasurementRecorderTest, AFileThatCannotBeWrittenStopsTheRecordingWithTheReason) {
    MeasurementRecorder recorder;
    EXPECT_NE(recorder.Start(folder / "no-such-folder" / "x.csv"), "");
    EXPECT_FALSE(recorder.recording());
    // A full disk: the header already fails.
    EXPECT_NE(recorder.Start("/dev/full"), "");
    EXPECT_FALSE(recorder.recording());
    EXPECT_EQ(recorder.Record(Zone(1, 1.0), "t"), "") << "nothing to record into";
}

TEST(RecordingName, IsTheDayInTheName) {
    std::tm day{};
    day.tm_year = 2026 - 1900;
    day.tm_mon = 11;
    day.tm_mday = 9;
    EXPECT_EQ(DefaultRecordingName(day), "HZ70wiz-2026-12-09.csv");
}

} // namespace
} // namespace hz70

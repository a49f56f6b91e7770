// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/MeasurementRecorder.h"

#include "app/core/PollCsv.h"
#include "support/FileText.h"

#include <condition_variable>
#include <fstream>
#include <gtest/gtest.h>
#include <mutex>
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

// A tick that ended the zone's exchange, as the poll cycle hands it on.
PollTickResult Ended(int number, double temperature) {
    return {number - 1, PollOutcome::kUpdated, Zone(number, temperature)};
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
    EXPECT_EQ(recorder.Record({0, PollOutcome::kPending, Zone(1, 0.0)}, "t0"), "")
        << "no line: still polling";
    EXPECT_EQ(recorder.Record(Ended(1, 47.6), "t1"), "");
    recorder.Flush();
    // Read while still recording: nothing waits in a buffer.
    EXPECT_EQ(test::FileBytes(file),
              std::string(kPollCsvHeader) + "\n" + FormatPollLine("t1", Zone(1, 47.6)) + "\n");
    recorder.Stop();
    EXPECT_FALSE(recorder.recording());

    // Started again on the same file: appended to, without a second header.
    ASSERT_EQ(recorder.Start(file), "");
    EXPECT_EQ(recorder.Record(Ended(2, 100.0), "t2"), "");
    recorder.Flush();
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
    EXPECT_EQ(recorder.Record(Ended(1, 1.0), "t"), "") << "nothing to record into";
}

// A sync the test holds up, as a slow disk would; it fails with `error` once told to.
class HeldSync {
public:
    std::error_code operator()(int) {
        std::unique_lock lock(mutex_);
        ++entered_;
        changed_.notify_all();
        changed_.wait(lock, [this] { return released_; });
        return {error_, std::generic_category()};
    }
    void AwaitEntries(int count) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return entered_ >= count; });
    }
    void Release(int error = 0) {
        const std::lock_guard lock(mutex_);
        released_ = true;
        error_ = error;
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int entered_ = 0;
    bool released_ = false;
    int error_ = 0;
};

TEST_F(MeasurementRecorderTest, ASlowDiskNeverHoldsTheRecordAndAFailedSyncStopsTheRecording) {
    for (const int syncError : {0, EIO}) {
        SCOPED_TRACE(syncError);
        const auto file = folder / ("slow" + std::to_string(syncError) + ".csv");
        std::ofstream(file) << "earlier run\n"; // no header to write, so Start syncs nothing
        HeldSync sync;
        MeasurementRecorder recorder([&sync](int fd) { return sync(fd); });
        ASSERT_EQ(recorder.Start(file), "");
        EXPECT_EQ(recorder.Record(Ended(1, 1.0), "t1"), "");
        sync.AwaitEntries(1);
        // The first line is written and its sync hangs: the next records return at once all the same.
        EXPECT_EQ(test::FileBytes(file), "earlier run\n" + FormatPollLine("t1", Zone(1, 1.0)) + "\n");
        EXPECT_EQ(recorder.Record(Ended(2, 2.0), "t2"), "");
        EXPECT_EQ(recorder.Record(Ended(3, 3.0), "t3"), "");
        sync.Release(syncError);
        recorder.Flush();
        if (syncError == 0) {
            EXPECT_EQ(test::FileBytes(file), "earlier run\n" + FormatPollLine("t1", Zone(1, 1.0)) + "\n" +
                                                 FormatPollLine("t2", Zone(2, 2.0)) + "\n" +
                                                 FormatPollLine("t3", Zone(3, 3.0)) + "\n");
            EXPECT_EQ(recorder.Record(Ended(4, 4.0), "t4"), "");
        } else {
            EXPECT_EQ(recorder.Record(Ended(4, 4.0), "t4"), std::generic_category().message(EIO));
            EXPECT_FALSE(recorder.recording());
        }
    }
}

TEST(PollLine, LeavesOutWhatIsNoReadingAndNamesTheAlarms) {
    struct Case {
        std::uint16_t alarmWord;
        bool failed; // the values were cleared after failed polls
        const char* expected;
    };
    const Case cases[] = {
        {0x0000, false, "t,1,1,47.6,,,,,0,0,0,"},
        {0x0002, false, "t,1,1,,,,,,2,0,0,sensor-open"},
        {0x0049, false, "t,1,1,,,,,,73,0,0,sensor-short temperature-high load-open"},
        {0x0300, false, "t,1,1,47.6,,,,,768,0,0,fuse ssr"},
        {0x0000, true, "t,1,1,,,,,,0,0,1,"},
    };
    for (const Case& c : cases) {
        TRegulator zone = Zone(1, 47.6);
        zone.measured[kAlarmWord].raw = static_cast<std::int16_t>(c.alarmWord);
        if (c.failed) {
            zone.commError = 1;
            zone.measured[kMeasuredTemperature].value = kNoValue;
        }
        EXPECT_EQ(FormatPollLine("t", zone), c.expected);
    }
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

// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file and the measurement recording on Windows' own file calls.
#include "app/core/FileAccess.h"
#include "app/core/MeasurementRecorder.h"
#include "app/core/PollCsv.h"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <windows.h>

namespace hz70 {
namespace {

namespace fs = std::filesystem;

class WindowsFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override {
        for (const auto& entry : fs::directory_iterator(folder)) {
            ::SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
        }
        fs::remove_all(folder);
    }

    static std::string Read(const fs::path& path) {
        std::error_code error;
        std::string bytes = ReadSmallFile(path, 1000, error);
        EXPECT_FALSE(error) << error.message();
        return bytes;
    }

    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path folder = fs::temp_directory_path() / ("hz70files." + std::to_string(::GetCurrentProcessId()));
    fs::path file = folder / "HZ70wiz.INI";
};

TEST_F(WindowsFilesTest, ReplacingWritesTheBytesAndLeavesNoNewFileBehind) {
    std::ofstream(folder / "HZ70wiz.INI.new-ABCDEFGHIJKL") << "left by a save that was cut short";
    std::ofstream(folder / "HZ70wiz.INI.new-short") << "not a name a save makes";
    for (const std::string bytes : {"COM=0\r\nBaud=5\r\n", "COM=1\r\n\xB3\xF3\r\n", ""}) {
        ASSERT_FALSE(ReplaceFileContent(file, bytes));
        EXPECT_EQ(Read(file), bytes);
    }
    EXPECT_EQ(Names(), (std::vector<std::string>{"HZ70wiz.INI", "HZ70wiz.INI.new-short"}));
}

TEST_F(WindowsFilesTest, AReadOnlyFileIsRefusedAndKept) {
    ASSERT_FALSE(ReplaceFileContent(file, "old"));
    ASSERT_NE(::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY), 0);
    EXPECT_EQ(ReplaceFileContent(file, "new"), std::errc::permission_denied);
    EXPECT_EQ(Read(file), "old");
}

TEST_F(WindowsFilesTest, ReadingStopsAtTheLimitAndNamesAMissingFile) {
    ASSERT_FALSE(ReplaceFileContent(file, std::string(5000, 'x')));
    std::error_code error;
    EXPECT_EQ(ReadSmallFile(file, 4096, error), std::string(4096, 'x'));
    EXPECT_EQ(error, std::errc::file_too_large);
    EXPECT_EQ(ReadSmallFile(folder / "missing.INI", 4096, error), "");
    EXPECT_EQ(error, std::errc::no_such_file_or_directory);
}

TEST_F(WindowsFilesTest, RecordingAppendsLinesEndingAsElsewhereWithOneHeader) {
    TRegulator zone;
    InitRegulator(zone);
    const fs::path csv = folder / "HZ70wiz-2026-12-09.csv";
    MeasurementRecorder recorder;
    for (const char* time : {"t1", "t2"}) {
        ASSERT_EQ(recorder.Start(csv), "");
        EXPECT_EQ(recorder.Record({0, PollOutcome::kUpdated, zone}, time), "");
        recorder.Stop();
    }
    EXPECT_EQ(Read(csv), std::string(kPollCsvHeader) + "\n" + FormatPollLine("t1", zone) + "\n" +
                             FormatPollLine("t2", zone) + "\n");
    EXPECT_NE(recorder.Start(folder / "no-such-folder" / "x.csv"), "");
    EXPECT_FALSE(recorder.recording());
}

} // namespace
} // namespace hz70

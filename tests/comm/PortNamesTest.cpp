// SPDX-License-Identifier: GPL-3.0-or-later
#include "comm/PortNames.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string>
#include <unistd.h>

namespace hz70 {
namespace {

namespace fs = std::filesystem;

// Runs each test inside a fresh, empty working directory.
class PortNamesTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = fs::current_path();
        char pattern[] = "/tmp/hz70-portnames-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        directory_ = pattern;
        fs::current_path(directory_);
    }
    void TearDown() override {
        fs::current_path(previous_);
        fs::remove_all(directory_);
    }

    static bool AnyDevicePresent(int comNumber) {
        const auto candidates = ComNameCandidates(comNumber);
        for (std::size_t i = 1; i < candidates.size(); ++i) {
            if (fs::exists(candidates[i])) {
                return true;
            }
        }
        return false;
    }

    fs::path directory_;
    fs::path previous_;
};

TEST_F(PortNamesTest, CandidatesGoFromTheWorkingDirectoryToTheDeviceFamilies) {
    const std::vector<fs::path> expected = {directory_ / "COM3", "/dev/ttyUSB2", "/dev/ttyACM2",
                                            "/dev/ttyS2"};
    EXPECT_EQ(ComNameCandidates(3), expected);
    EXPECT_EQ(ComNameCandidates(1).back(), fs::path("/dev/ttyS0"));
    EXPECT_TRUE(ComNameCandidates(0).empty());
    EXPECT_TRUE(ComNameCandidates(9).empty());
}

TEST_F(PortNamesTest, AnEntryInTheWorkingDirectoryWinsEvenWhenItsTargetIsGoneWhateverTheNamesCase) {
    fs::create_symlink("/dev/null", "COM3");
    fs::create_symlink(directory_ / "gone", "COM4");
    for (const std::string name : {"COM3", "com3", "COM4", "Com4"}) {
        EXPECT_EQ(ResolveComName(name), directory_ / ("COM" + name.substr(3))) << name;
        EXPECT_EQ(ComNumber(name), name[3] - '0') << name;
    }
}

TEST_F(PortNamesTest, NothingFoundGivesNoDevice) {
    for (int number = 1; number <= 8; ++number) {
        if (!AnyDevicePresent(number)) {
            EXPECT_EQ(ResolveComName("COM" + std::to_string(number)), std::nullopt) << number;
            return;
        }
    }
    GTEST_SKIP() << "every COM number has a device on this machine";
}

TEST_F(PortNamesTest, OtherNamesAreDevicePathsAndComeBackUnchanged) {
    for (const std::string name :
         {"/dev/ttyS0", "COM9", "com9", "COM0", "COM10", "COM1 ", "xCOM1", "COM", ""}) {
        EXPECT_EQ(ResolveComName(name), fs::path(name)) << '"' << name << '"';
        EXPECT_EQ(ComNumber(name), std::nullopt) << '"' << name << '"';
    }
    fs::create_symlink("/dev/null", "COM9"); // only COM1..COM8 are looked up
    EXPECT_EQ(ResolveComName("COM9"), fs::path("COM9"));
}

} // namespace
} // namespace hz70

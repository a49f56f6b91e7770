// SPDX-License-Identifier: GPL-3.0-or-later
// The program's save path killed with SIGKILL at random moments, many times: the settings file must
// always be the old one or the new one, byte for byte.
#include "app/core/AppState.h"
#include "support/FakeClock.h"
#include "support/FakeSerialPort.h"
#include "support/FileText.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iostream>
#include <random>
#include <set>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace hz70 {
namespace {

ProgramSettings Variant(int which) {
    ProgramSettings settings;
    settings.link.Timeout = which == 0 ? 1000 : 250;
    settings.zones.DevCount = which == 0 ? 1 : 8;
    for (int slot = 0; slot < kZoneSlots; ++slot) {
        settings.zones.DevAddr[static_cast<std::size_t>(slot)] = which == 0 ? (slot == 0 ? 1 : 0) : slot + 10;
        settings.zones.DevName[static_cast<std::size_t>(slot)] =
            which == 0 ? "STREFA" : std::string(29, static_cast<char>('a' + slot));
    }
    settings.chart.FormatL = which == 0 ? "###0.###" : "0.0";
    return settings;
}

// Saves the two variants in turn for ever, as the program's "Zapisz ustawienia" does.
[[noreturn]] void SaveForEver(const std::filesystem::path& folder) {
    test::FakeSerialPort port;
    test::FakeClock clock;
    AppState state(port, clock, folder);
    for (int which = 0;; which = 1 - which) {
        state.settings = Variant(which);
        (void)state.trans.SetSettings(state.settings.link);
        if (state.SaveSettings()) {
            _exit(3);
        }
    }
}

// Files in the folder besides the settings file: new files that saves left behind.
std::set<std::string> Leftovers(const std::filesystem::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().filename() != kSettingsFileName) {
            names.insert(entry.path().filename().string());
        }
    }
    return names;
}

// HZ70_CRASH_KILLS sets how many kills must land inside a save (a long run asks for many more).
int KillsNeededMidSave() {
    const char* value = std::getenv("HZ70_CRASH_KILLS");
    const int wanted = value != nullptr ? std::atoi(value) : 0;
    return wanted > 0 ? wanted : 40;
}

TEST(SettingsCrash, KilledAtRandomMomentsWhileSavingLeavesTheOldOrTheNewFile) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("hz70crash." + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::filesystem::path file = folder / kSettingsFileName;
    const std::string variants[] = {FormatSettingsFile(Variant(0)), FormatSettingsFile(Variant(1))};
    ASSERT_NE(variants[0], variants[1]);
    { std::ofstream(file, std::ios::binary) << variants[0]; }

    // Kills go on until enough of them have landed inside a save: on a fast filesystem (tmpfs) a save
    // takes so little time that most kills land between two saves, and those prove nothing. A kill
    // landed inside a save when it left a new file that was not there before.
    std::mt19937 random(20261208);
    std::uniform_int_distribution<int> delayMicroseconds(200, 20000);
    const int neededMidSave = KillsNeededMidSave();
    const int maxKills = 100 * neededMidSave;
    const auto maxDuration = std::chrono::seconds(3) * neededMidSave;
    const auto started = std::chrono::steady_clock::now();
    int kills = 0;
    int killedMidSave = 0;
    while (killedMidSave < neededMidSave && kills < maxKills &&
           std::chrono::steady_clock::now() - started < maxDuration) {
        const std::set<std::string> before = Leftovers(folder);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            SaveForEver(folder);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(delayMicroseconds(random)));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        ++kills;
        ASSERT_TRUE(WIFSIGNALED(status)) << "the saving child stopped by itself: " << status;
        const std::string bytes = test::FileBytes(file);
        ASSERT_TRUE(bytes == variants[0] || bytes == variants[1])
            << "kill " << kills << ": " << bytes.size() << " bytes";
        const std::set<std::string> after = Leftovers(folder);
        killedMidSave += std::any_of(after.begin(), after.end(),
                                     [&](const std::string& name) { return before.count(name) == 0; });
        ASSERT_LE(after.size(), 1u) << "leftovers pile up";
        // What the program reads at its next start is one of the two, whole.
        const SettingsLoad load = LoadSettingsFile(folder);
        ASSERT_FALSE(load.error);
        EXPECT_TRUE(load.settings == Variant(0) || load.settings == Variant(1));
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    RecordProperty("kills", kills);
    RecordProperty("killed_mid_save", killedMidSave);
    std::cout << "[ crashes  ] " << kills << " kills, " << killedMidSave << " inside a save, " << seconds
              << " s in " << folder.parent_path() << "\n";
    EXPECT_GE(killedMidSave, neededMidSave)
        << "only " << killedMidSave << " of " << kills << " kills landed in a save";

    // The next save clears what the last kill left.
    test::FakeSerialPort port;
    test::FakeClock clock;
    AppState state(port, clock, folder);
    state.settings = Variant(0);
    (void)state.trans.SetSettings(state.settings.link);
    EXPECT_FALSE(state.SaveSettings());
    EXPECT_TRUE(Leftovers(folder).empty());
    std::filesystem::remove_all(folder);
}

} // namespace
} // namespace hz70

// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/SettingsFile.h"

#include "app/core/AppState.h"
#include "app/core/Cp1250.h"
#include "support/FakeClock.h"
#include "support/FakeSerialPort.h"

#include <array>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <iostream>
#include <iterator>
#include <linux/capability.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace hz70 {
namespace {

namespace fs = std::filesystem;
using ::testing::Each;
using ::testing::ElementsAre;

constexpr const char* kDefaultsFile = "COM=0\r\n"
                                      "Baud=5\r\n"
                                      "Mode=0\r\n"
                                      "Type=0\r\n"
                                      "Timeout=1000\r\n"
                                      "DevCount=1\r\n"
                                      "DevAddr=1;0;0;0;0;0;0;0;\r\n"
                                      "DevName=STREFA  1;STREFA  2;STREFA  3;STREFA  4;STREFA  5;STREFA  6;"
                                      "STREFA  7;STREFA  8;\r\n"
                                      "CheckL=0\r\n"
                                      "CheckR=0\r\n"
                                      "Okres=1\r\n"
                                      "MaxL=400\r\n"
                                      "MinL=0\r\n"
                                      "MaxR=100\r\n"
                                      "MinR=0\r\n"
                                      "FormatL=###0.###\r\n"
                                      "FormatR=###0.###\r\n";

// Number of characters in UTF-8 text.
std::size_t Characters(const std::string& text) {
    std::size_t n = 0;
    for (const char c : text) {
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    }
    return n;
}

TEST(SettingsFileTest, DefaultsAreWrittenByteForByte) {
    EXPECT_EQ(FormatSettingsFile(ProgramSettings{}), kDefaultsFile);
    EXPECT_EQ(ParseSettingsFile(kDefaultsFile), ProgramSettings{});
}

TEST(SettingsFileTest, IntegersFollowTheNumberRule) {
    struct Case {
        const char* text;
        std::optional<int> value;
    };
    for (const Case c : {
             Case{"250", 250},
             Case{" 250", 250},
             Case{"  -3", -3},
             Case{"+7", 7},
             Case{"$1F", 31},
             Case{"0x1f", 31},
             Case{"-0X10", -16},
             Case{"2147483647", 2147483647},
             Case{"-2147483648", -2147483647 - 1},
             Case{"$FFFFFFFF", -1},
             Case{"0x80000000", -2147483647 - 1},
             Case{"-$FFFFFFFF", 1},
             Case{"-0x80000000", -2147483647 - 1},
             Case{"$000000007FFFFFFF", 2147483647},
             Case{"$100000000", std::nullopt},
             Case{"", std::nullopt},
             Case{"   ", std::nullopt},
             Case{"250 ms", std::nullopt},
             Case{"250 ", std::nullopt},
             Case{"abc", std::nullopt},
             Case{"$", std::nullopt},
             Case{"0x", std::nullopt},
             Case{"-", std::nullopt},
             Case{"12a", std::nullopt},
             Case{"\t5", std::nullopt},
             Case{"2147483648", std::nullopt},
             Case{"-2147483649", std::nullopt},
             Case{"99999999999999999999", std::nullopt},
         }) {
        EXPECT_EQ(ParseInteger(c.text), c.value) << '"' << c.text << '"';
    }
}

TEST(SettingsFileTest, TimeoutKeepsItsDefaultUnlessTheValueIsAnInteger) {
    EXPECT_EQ(ParseSettingsFile("Timeout= 250").link.Timeout, 250);
    EXPECT_EQ(ParseSettingsFile("Timeout=250 ms").link.Timeout, 1000);
    EXPECT_EQ(ParseSettingsFile("Timeout=abc").link.Timeout, 1000);
    EXPECT_EQ(ParseSettingsFile("Timeout=50").link.Timeout, 50) << "the link applies its own floor";
}

TEST(SettingsFileTest, KeysIgnoreCaseAndTheFirstMatchingLineWins) {
    const ProgramSettings s = ParseSettingsFile("devaddr=3;4;\nCOM\nBAUD=7\rbaud=2\r\n"
                                                "formatl=a=b\n=9\nMode=");
    EXPECT_THAT(s.zones.DevAddr, ElementsAre(3, 4, 4, 4, 4, 4, 4, 4));
    EXPECT_EQ(s.link.COM, 0) << "a line without '=' is no match";
    EXPECT_EQ(s.link.Baud, 7);
    EXPECT_EQ(s.link.Mode, 0);
    EXPECT_EQ(s.chart.FormatL, "a=b");
}

TEST(SettingsFileTest, AddressTokensRepeatTheLastOneWhenSemicolonsRunOut) {
    EXPECT_THAT(ParseSettingsFile("DevAddr=5;").zones.DevAddr, ElementsAre(5, 5, 5, 5, 5, 5, 5, 5));
    EXPECT_THAT(ParseSettingsFile("DevAddr=2;7;").zones.DevAddr, ElementsAre(2, 7, 7, 7, 7, 7, 7, 7));
    EXPECT_THAT(ParseSettingsFile("DevAddr=5").zones.DevAddr, ElementsAre(1, 0, 0, 0, 0, 0, 0, 0));
    EXPECT_THAT(ParseSettingsFile("DevAddr=9;x;;300;").zones.DevAddr,
                ElementsAre(9, 0, 0, 300, 300, 300, 300, 300))
        << "a token that is not an integer keeps the slot's default; no range check";
}

TEST(SettingsFileTest, NamesAreCutAt29CharactersAndMissingOnesKeepTheirDefault) {
    const std::string longName(35, 'N');
    const ProgramSettings s = ParseSettingsFile("DevName=" + longName + ";Piec;");
    EXPECT_EQ(s.zones.DevName[0], std::string(29, 'N'));
    EXPECT_EQ(s.zones.DevName[1], "Piec");
    EXPECT_EQ(s.zones.DevName[2], "STREFA  3");
    EXPECT_EQ(ParseSettingsFile(std::string_view("DevName=Pi\0ec;", 15)).zones.DevName[0], "Pi")
        << "a NUL ends the name";

    // 35 Polish letters: one byte each on disk, two each in memory; the cut counts characters.
    std::string polishBytes;
    for (int i = 0; i < 35; ++i) {
        polishBytes += '\xB3'; // ł
    }
    const std::string name = ParseSettingsFile("DevName=" + polishBytes + ";").zones.DevName[0];
    EXPECT_EQ(Characters(name), 29u);
    EXPECT_EQ(name.substr(0, 2), "ł");
    EXPECT_EQ(ParseSettingsFile("DevName=").zones.DevName, DefaultZoneNames());
}

TEST(SettingsFileTest, PolishNamesAreWindows1250OnDiskAndRoundTrip) {
    ProgramSettings s;
    s.zones.DevName[0] = "Żółta strefa ąęś";
    s.zones.DevName[1] = "Łódź 中";
    s.chart.FormatL = "0.0 °C";
    const std::string bytes = FormatSettingsFile(s);
    EXPECT_NE(bytes.find("DevName=\xAF\xF3\xB3ta strefa \xB9\xEA\x9C;\xA3\xF3\x64\x9F ?;"),
              std::string::npos);
    EXPECT_NE(bytes.find("FormatL=0.0 \xB0"
                         "C\r\n"),
              std::string::npos);

    const ProgramSettings back = ParseSettingsFile(bytes);
    EXPECT_EQ(back.zones.DevName[0], "Żółta strefa ąęś");
    EXPECT_EQ(back.zones.DevName[1], "Łódź ?") << "a character the code page lacks is written as '?'";
    EXPECT_EQ(back.chart.FormatL, "0.0 °C");
}

TEST(SettingsFileTest, MissingFormatIsEmptyAndUnknownKeysAreDroppedOnWrite) {
    const ProgramSettings s = ParseSettingsFile("FormatR=#0\r\nExtra=1\r\n");
    EXPECT_EQ(s.chart.FormatL, "");
    EXPECT_EQ(s.chart.FormatR, "#0");
    const std::string written = FormatSettingsFile(s);
    EXPECT_EQ(written.find("Extra"), std::string::npos);
    EXPECT_NE(written.find("\r\nFormatL=\r\nFormatR=#0\r\n"), std::string::npos);
}

TEST(SettingsFileTest, ValuesThatWouldBreakTheProgramAreMended) {
    const ProgramSettings s = ParseSettingsFile("COM=8\nBaud=10\nMode=7\nType=-3\nTimeout=-5\nDevCount=9");
    EXPECT_EQ(s.link, (TTransSettings{0, 5, 0, -3, -5}));
    EXPECT_EQ(s.zones.DevCount, 8);
    EXPECT_EQ(ParseSettingsFile("COM=-1\nBaud=-1\nMode=-1\nDevCount=-2").link, ProgramSettings{}.link);
    EXPECT_EQ(ParseSettingsFile("DevCount=-2").zones.DevCount, 0);
    const ProgramSettings inTable = ParseSettingsFile("COM=7\nBaud=9\nMode=6\nDevCount=0");
    EXPECT_EQ(inTable.link, (TTransSettings{7, 9, 6, 0, 1000}));
    EXPECT_EQ(inTable.zones.DevCount, 0);
}

TEST(SettingsFileTest, WhatIsNotTakenAsWrittenIsRemarked) {
    using Kind = SettingsRemark::Kind;
    struct Case {
        std::string file;
        std::vector<SettingsRemark> remarks;
    };
    for (const Case& c : {
             Case{kDefaultsFile, {}},
             Case{"Timeout=2000000000\r\nFormatL=\r\n", {}}, // kept as typed; the link caps it
             Case{"Timeout=250 ms\nbaud=12\nDevCount=9\n",
                  {{Kind::NotANumber, "Timeout", "250 ms", 1000},
                   {Kind::Mended, "Baud", "12", 5},
                   {Kind::Mended, "DevCount", "9", 8}}},
             Case{"Timout=300\nCOM=\nno equals sign\nStrefa\xB3=1\n",
                  {{Kind::NotANumber, "COM", "", 0},
                   {Kind::UnknownKey, "Timout", "300", std::nullopt},
                   {Kind::UnknownKey, "Strefa\u0142", "1", std::nullopt}}},
         }) {
        SCOPED_TRACE(c.file);
        std::vector<SettingsRemark> remarks;
        (void)ParseSettingsFile(c.file, &remarks);
        EXPECT_EQ(remarks, c.remarks);
    }
}

TEST(Cp1250Test, EveryByteRoundTripsAndForeignTextBecomesQuestionMarks) {
    std::string all;
    for (int b = 0; b < 256; ++b) {
        all += static_cast<char>(b);
    }
    EXPECT_EQ(Utf8ToCp1250(Cp1250ToUtf8(all)), all);
    EXPECT_EQ(Cp1250ToUtf8("\x80\xA5\xB9\xCA\xEA\x8C\x9C\x8F\x9F\xAF\xBF\xA3\xB3\xD1\xF1\xD3\xF3\xC6\xE6"),
              "€ĄąĘęŚśŹźŻżŁłŃńÓóĆć");
    EXPECT_EQ(Utf8ToCp1250("a中😀b"), "a??b") << "one '?' per character";
    EXPECT_EQ(Utf8ToCp1250("x\xC3"), "x?") << "cut sequence";
    EXPECT_EQ(Utf8ToCp1250("\xC0\xAF\xED\xA0\x80"), "?????") << "overlong form and surrogate";
}

// A fresh directory for one test, removed afterwards.
class SettingsStoreTest : public ::testing::Test {
protected:
    fs::path dir;

    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "hz70settingsXXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }

    static void WriteBytes(const fs::path& file, const std::string& bytes) {
        std::ofstream(file, std::ios::binary) << bytes;
    }
    static std::string ReadBytes(const fs::path& file) {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    [[nodiscard]] std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(SettingsStoreTest, NoFileMeansDefaultsAndANewFileGetsTheUsualName) {
    const SettingsLoad load = LoadSettingsFile(dir);
    EXPECT_EQ(load.settings, ProgramSettings{});
    EXPECT_TRUE(load.file.empty());
    EXPECT_FALSE(load.error);

    EXPECT_FALSE(SaveSettingsFile(dir, ProgramSettings{}));
    EXPECT_THAT(Names(), ElementsAre("HZ70wiz.INI"));
    EXPECT_EQ(ReadBytes(dir / "HZ70wiz.INI"), kDefaultsFile);
}

TEST_F(SettingsStoreTest, FileIsFoundWhateverItsLetterCaseAndReplacedInPlace) {
    WriteBytes(dir / "hz70WIZ.ini", "DevCount=3\n");
    SettingsLoad load = LoadSettingsFile(dir);
    EXPECT_EQ(load.file, dir / "hz70WIZ.ini");
    EXPECT_EQ(load.settings.zones.DevCount, 3);

    load.settings.zones.DevCount = 2;
    EXPECT_FALSE(SaveSettingsFile(dir, load.settings));
    EXPECT_THAT(Names(), ElementsAre("hz70WIZ.ini"));
    EXPECT_EQ(LoadSettingsFile(dir).settings.zones.DevCount, 2);

    WriteBytes(dir / "HZ70wiz.INI", "DevCount=5\n");
    EXPECT_EQ(LoadSettingsFile(dir).settings.zones.DevCount, 5) << "the usual spelling is preferred";
}

TEST_F(SettingsStoreTest, FileThatCannotBeReadWholeGivesItsWholeLinesAndAnError) {
    fs::create_directory(dir / "HZ70wiz.ini");
    SettingsLoad load = LoadSettingsFile(dir);
    EXPECT_TRUE(load.error);
    EXPECT_EQ(load.settings, ProgramSettings{});
    EXPECT_EQ(load.file, dir / "HZ70wiz.ini");
    EXPECT_TRUE(SaveSettingsFile(dir, ProgramSettings{})) << "a directory is not replaced";
    fs::remove(dir / "HZ70wiz.ini");

    // The read stops inside the names line, which must not pass for a whole one.
    const std::string head = "COM=3\r\nDevAddr=5;6;\r\n";
    const std::string cutLine = "DevName=Piec;Ko";
    WriteBytes(dir / "HZ70wiz.INI",
               head + std::string(kMaxSettingsFileSize - head.size() - cutLine.size() - 2, ' ') + "\r\n" +
                   cutLine + "cio;\r\n");
    load = LoadSettingsFile(dir);
    EXPECT_EQ(load.error, std::errc::file_too_large);
    EXPECT_EQ(load.settings.link.COM, 3);
    EXPECT_THAT(load.settings.zones.DevAddr, ElementsAre(5, 6, 6, 6, 6, 6, 6, 6));
    EXPECT_EQ(load.settings.zones.DevName, DefaultZoneNames());

    EXPECT_TRUE(SaveSettingsFile(dir / "missing", ProgramSettings{}));
}

TEST_F(SettingsStoreTest, FileNotReadWholeIsReplacedOnlyByAnExplicitSave) {
    struct Case {
        std::string bytes;
        bool readWhole;
    };
    for (const Case& c : {Case{"DevAddr=5;\r\n", true},
                          Case{"DevAddr=5;\r\n" + std::string(kMaxSettingsFileSize, '\n'), false}}) {
        WriteBytes(dir / "HZ70wiz.INI", c.bytes);
        test::FakeSerialPort port;
        test::FakeClock clock;
        AppState state(port, clock, dir);
        EXPECT_EQ(!state.LoadSettings(), c.readWhole);
        EXPECT_THAT(state.settings.zones.DevAddr, Each(5)) << "the controller list is kept";
        state.SettingsChanged = true;
        EXPECT_EQ(state.SaveDueAtExit(), c.readWhole);

        ASSERT_FALSE(state.SaveSettings()) << "the operator's Zapisz ustawienia";
        EXPECT_THAT(LoadSettingsFile(dir).settings.zones.DevAddr, Each(5));
        state.SettingsChanged = true;
        EXPECT_TRUE(state.SaveDueAtExit()) << "once saved, the file is the program's own again";
    }
}

// Makes every write beyond `bytes` into any file fail, as a full disk would, until destroyed.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit limited = saved_;
        limited.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limited);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
    void (*previousHandler_)(int) = nullptr;
};

TEST_F(SettingsStoreTest, SaveCutShortLeavesTheOldFileWhole) {
    ASSERT_FALSE(SaveSettingsFile(dir, ProgramSettings{}));
    ProgramSettings changed;
    changed.zones.DevCount = 4;
    changed.zones.DevName[7] = std::string(29, 'z');

    std::error_code error;
    {
        const FileSizeLimit limit(100);
        error = SaveSettingsFile(dir, changed);
    }
    EXPECT_EQ(error, std::errc::file_too_large) << "the failed save is reported";
    EXPECT_EQ(ReadBytes(dir / "HZ70wiz.INI"), kDefaultsFile);
    EXPECT_THAT(Names(), ElementsAre("HZ70wiz.INI")) << "the half-written file is gone";
}

TEST_F(SettingsStoreTest, SaveRemovesLeftoversOfInterruptedSavesAndNothingElse) {
    enum class Kind { Plain, Locked, LinkToVictim, OtherOwner };
    struct Entry {
        const char* name;
        Kind kind;
        bool kept;
    };
    const Entry entries[] = {
        {"HZ70wiz.INI.new-AAAAAAAAAAAA", Kind::Plain, false},       // an interrupted save's
        {"HZ70wiz.INI.new-BBBBBBBBBBBB", Kind::Locked, true},       // a save going on elsewhere
        {"HZ70wiz.INI.new-CCCCCCCCCCCC", Kind::LinkToVictim, true}, // planted links
        {"HZ70wiz.INI.new", Kind::LinkToVictim, true},
        {"HZ70wiz.INI.new-DDDDDDDDDDDD", Kind::OtherOwner, true},
        {"HZ70wiz.INI.new-EEEE", Kind::Plain, true}, // no name a save gives
        {"other.ini.new-FFFFFFFFFFFF", Kind::Plain, true},
    };
    WriteBytes(dir / "HZ70wiz.INI", kDefaultsFile);
    WriteBytes(dir / "victim", "keep");
    std::vector<std::string> expected{"HZ70wiz.INI", "victim"};
    std::vector<int> locks;
    for (const Entry& e : entries) {
        const fs::path path = dir / e.name;
        if (e.kind == Kind::LinkToVictim) {
            fs::create_symlink(dir / "victim", path);
        } else {
            WriteBytes(path, std::string(kDefaultsFile).substr(0, 60));
        }
        if (e.kind == Kind::Locked) {
            locks.push_back(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
            ASSERT_EQ(::flock(locks.back(), LOCK_EX), 0);
        }
        if (e.kind == Kind::OtherOwner && ::chown(path.c_str(), 65534, 65534) != 0) {
            fs::remove(path); // only root can give a file away
            continue;
        }
        if (e.kept) {
            expected.emplace_back(e.name);
        }
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(LoadSettingsFile(dir).settings, ProgramSettings{}) << "reading passes them by";

    ProgramSettings changed;
    changed.zones.DevCount = 4;
    EXPECT_FALSE(SaveSettingsFile(dir, changed));
    EXPECT_EQ(LoadSettingsFile(dir).settings, changed);
    EXPECT_EQ(Names(), expected);
    EXPECT_EQ(ReadBytes(dir / "victim"), "keep");
    for (const int fd : locks) {
        ::close(fd);
    }
}

// Runs the save in a child process without any capabilities, so that the permissions of folder and
// file count as for an ordinary user even when the tests run as root. `prepare` runs before, with
// them. Nothing comes back when it could not set the case up.
std::optional<std::error_code> SaveAsOrdinaryUser(const fs::path& folder, const ProgramSettings& settings,
                                                  const std::function<bool()>& prepare) {
    constexpr int kNotPrepared = 255;
    const pid_t child = ::fork();
    if (child == 0) {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        std::array<__user_cap_data_struct, _LINUX_CAPABILITY_U32S_3> none{};
        if (!prepare() || ::syscall(SYS_capset, &header, none.data()) != 0) {
            ::_exit(kNotPrepared);
        }
        ::_exit(SaveSettingsFile(folder, settings).value());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) == kNotPrepared) {
        return std::nullopt;
    }
    return std::error_code(WEXITSTATUS(status), std::system_category());
}

ino_t InodeOf(const fs::path& file) {
    struct stat status {};
    return ::stat(file.c_str(), &status) == 0 ? status.st_ino : 0;
}

TEST_F(SettingsStoreTest, WhereANewFileCannotTakeTheOldOnesPlaceTheFileIsWrittenInPlace) {
    struct Case {
        const char* what;
        std::function<bool(const fs::path& folder)> prepare;
        const char* changedFile; // where the new bytes land
        bool inPlace;
    };
    const Case cases[] = {
        {"writable folder", [](const fs::path&) { return true; }, "HZ70wiz.INI", false},
        {"folder that refuses new files", [](const fs::path& f) { return ::chmod(f.c_str(), 0555) == 0; },
         "HZ70wiz.INI", true},
        {"file of another owner",
         [](const fs::path& f) {
             const fs::path file = f / "HZ70wiz.INI";
             return ::chown(file.c_str(), 65534, 65534) == 0 && ::chmod(file.c_str(), 0666) == 0;
         },
         "HZ70wiz.INI", true},
        {"file with a second hard link",
         [](const fs::path& f) { return ::link((f / "HZ70wiz.INI").c_str(), (f / "copy.ini").c_str()) == 0; },
         "copy.ini", true},
        {"file mounted on its own",
         [](const fs::path& f) {
             WriteBytes(f / "mounted.ini", kDefaultsFile);
             return ::unshare(CLONE_NEWNS) == 0 &&
                    ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                    ::mount((f / "mounted.ini").c_str(), (f / "HZ70wiz.INI").c_str(), nullptr, MS_BIND,
                            nullptr) == 0;
         },
         "mounted.ini", true},
    };
    ProgramSettings changed;
    changed.zones.DevCount = 4;
    int folderNumber = 0;
    for (const Case& c : cases) {
        const fs::path folder = dir / std::to_string(++folderNumber);
        fs::create_directory(folder);
        WriteBytes(folder / "HZ70wiz.INI", kDefaultsFile);
        const ino_t before = InodeOf(folder / "HZ70wiz.INI");
        const auto error = SaveAsOrdinaryUser(folder, changed, [&] { return c.prepare(folder); });
        fs::permissions(folder, fs::perms::owner_all);
        if (!error) {
            std::cout << "[ SKIPPED  ] " << c.what << ": needs privileges to set up\n";
            continue;
        }
        EXPECT_FALSE(*error) << c.what << ": " << error->message();
        EXPECT_EQ(ReadBytes(folder / c.changedFile), FormatSettingsFile(changed)) << c.what;
        EXPECT_EQ(InodeOf(folder / "HZ70wiz.INI") == before, c.inPlace) << c.what;
        for (const auto& entry : fs::directory_iterator(folder)) {
            EXPECT_EQ(entry.path().filename().string().find(".new-"), std::string::npos) << c.what;
        }
    }
}

TEST_F(SettingsStoreTest, LinkedFileIsReplacedAtItsTarget) {
    fs::create_directory(dir / "real");
    WriteBytes(dir / "real" / "settings.txt", "DevCount=2\n");
    fs::create_symlink(dir / "real" / "settings.txt", dir / "HZ70wiz.INI");
    EXPECT_EQ(LoadSettingsFile(dir).settings.zones.DevCount, 2);
    EXPECT_FALSE(SaveSettingsFile(dir, ProgramSettings{}));
    EXPECT_TRUE(fs::is_symlink(dir / "HZ70wiz.INI"));
    EXPECT_EQ(ReadBytes(dir / "real" / "settings.txt"), kDefaultsFile);
}

} // namespace
} // namespace hz70

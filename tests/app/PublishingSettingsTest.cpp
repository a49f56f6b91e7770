// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/PublishingSettings.h"

#include "support/FileText.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <tuple>
#include <vector>

namespace hz70 {
namespace {

namespace fs = std::filesystem;

auto Fields(const PublishingSettings& s) {
    const publish::BrokerSettings& b = s.broker;
    return std::tie(s.enabled, b.host, b.port, b.tls, b.user, b.password, b.caFile, b.certFile, b.keyFile,
                    b.system, b.haDiscovery, b.commands);
}

class PublishingFile : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "hz70mqttXXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
    }
    void TearDown() override { fs::remove_all(folder_); }

    fs::path folder_;
};

// The password must never be readable by others, not even while a save is under way or with a lax umask,
// and whatever the mode of the file it replaces.
TEST_F(PublishingFile, RoundTripsEveryFieldInAFileOnlyItsOwnerMayRead) {
    PublishingSettings saved;
    saved.enabled = true;
    saved.broker = {"broker.plant", 8883,         true,          "press3", "p=ss word", "/etc/ca.pem",
                    "/etc/c.pem",   "/etc/k.pem", "press3-COM1", true,     true};
    const fs::path file = folder_ / kPublishingFileName;
    std::ofstream(file) << "Enabled=0\n";
    fs::permissions(file, fs::perms(0644));
    const mode_t umask = ::umask(0);

    EXPECT_FALSE(SavePublishingFile(folder_, saved));
    ::umask(umask);

    struct stat status {};
    ASSERT_EQ(::stat(file.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0600u);
    const PublishingLoad load = LoadPublishingFile(folder_);
    EXPECT_FALSE(load.error);
    EXPECT_TRUE(load.remarks.empty());
    EXPECT_EQ(Fields(load.settings), Fields(saved));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1);
    EXPECT_FALSE(LoadPublishingFile(folder_ / "none").settings.enabled);
}

TEST(PublishingFileText, SaysWhatItLeftOutAndNeverThePassword) {
    struct Case {
        const char* text;
        std::vector<std::string> remarks;
        bool enabled;
        const char* user;
    };
    const Case cases[] = {
        {"# a comment\r\nEnabled=1\r\nBroker=mqtt://h\r\n\r\n", {}, true, ""},
        {"Enabled=1\nBroker=mqtt://ann@h:1884\n", {}, true, "ann"},
        {"Enabled=1\nBroker=mqtt://ann@h\nUser=bob\n", {}, true, "bob"},
        {"Enabled=1\nBroker=http://h\n", {"wiersz 2: błędny adres brokera (the broker URL"}, false, ""},
        {"Enabled=tak\n", {"wiersz 1: wartość „Enabled” musi być 0 albo 1, a jest „tak”"}, false, ""},
        {"Discovery=\n", {"wiersz 1: wartość „Discovery” musi być 0 albo 1, a jest „”"}, false, ""},
        {"Commands=tak\n", {"wiersz 1: wartość „Commands” musi być 0 albo 1, a jest „tak”"}, false, ""},
        {"Kolor=zielony\n", {"wiersz 1: nieznany klucz „Kolor”"}, false, ""},
        {"Enabled\n", {"wiersz 1: brak znaku „=” w wierszu"}, false, ""},
        {"System=hala 2/a\n", {"wiersz 1: nazwa systemu „hala 2/a” zawiera znak"}, false, ""},
        {"User=ann\nuser=bob\n", {"wiersz 2: klucz „User” powtórzony; obowiązuje pierwszy"}, false, "ann"},
        {"Password=first\nPassword=second\n", {"wiersz 2: klucz „Password” powtórzony"}, false, ""},
        {"Broker=mqtt://u:second@h\n",
         {"wiersz 1: błędny adres brokera (the broker URL must not"},
         false,
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::vector<std::string> remarks;
        const PublishingSettings settings = ParsePublishingFile(c.text, &remarks);
        ASSERT_EQ(remarks.size(), c.remarks.size());
        for (std::size_t i = 0; i < remarks.size(); ++i) {
            EXPECT_TRUE(remarks[i].starts_with(c.remarks[i])) << remarks[i];
            EXPECT_EQ(remarks[i].find("second"), std::string::npos);
        }
        EXPECT_EQ(settings.enabled, c.enabled);
        EXPECT_EQ(settings.broker.user, c.user);
    }
}

} // namespace
} // namespace hz70

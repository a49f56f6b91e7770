// SPDX-License-Identifier: GPL-3.0-or-later
#include "hz70cli/CliProgram.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <unistd.h>

namespace hz70::cli {
namespace {

namespace fs = std::filesystem;

// A folder to run in, with settings folders of every kind and a COM1 link whose device is gone.
class CliProgram : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("hz70cli-test-" + std::to_string(::getpid()));
        fs::create_directories(root_ / "empty");
        fs::create_directories(root_ / "unreadable" / "HZ70wiz.INI");
        fs::create_directories(root_ / "good");
        std::ofstream(root_ / "good" / "hz70wiz.ini") << "Baud=6\r\nMode=0\r\nTimeout=300\r\n";
        fs::create_directories(root_ / "odd");
        std::ofstream(root_ / "odd" / "HZ70wiz.INI") << "Timeout=2000000000\r\nBaud=12\r\nTimout=5\r\n";
        fs::create_symlink("/dev/pts/no-such-terminal", root_ / "COM1");
        std::ofstream(root_ / "shared-password") << "secret\n";
        fs::permissions(root_ / "shared-password", fs::perms::owner_read | fs::perms::others_read);
        previous_ = fs::current_path();
        fs::current_path(root_);
    }
    void TearDown() override {
        fs::current_path(previous_);
        fs::remove_all(root_);
    }

private:
    fs::path root_;
    fs::path previous_;
};

// A usage error is its line and where to read more; anything else that stops the tool before the line
// is used is its one line. Past that, the first lines say what the link is and where the port led.
TEST_F(CliProgram, EveryRefusalNamesTheThingAndTheReason) {
    struct Case {
        std::vector<std::string> args;
        std::string errorStart; // with status 2, the whole of standard error
        int status;
    };
    const std::string tryHelp = "\nTry 'hz70cli --help' for more information.\n";
    const StopSignal stop{0};
    for (const Case& c : {
             Case{{"--timeout", "99", "identify"},
                  "hz70cli: bad value for --timeout: 99 (100..600000 ms, or 0 for the baud rate's default)" +
                      tryHelp,
                  2},
             Case{{"--address", "248", "identify"},
                  "hz70cli: bad value for --address: 248 (1..247)" + tryHelp,
                  2},
             Case{{"read", "4020"}, "hz70cli: read needs REG (0..65535) and COUNT (1..125)" + tryHelp, 2},
             Case{{"identify", "3"}, "hz70cli: identify takes no arguments, got 3" + tryHelp, 2},
             Case{{"--first", "9", "--last", "3", "scan"},
                  "hz70cli: --first 9 is above --last 3" + tryHelp,
                  2},
             Case{{"poll", "1", "0"}, "hz70cli: not an address (1..247): 0" + tryHelp, 2},
             Case{{"status"},
                  "hz70cli: unknown command status (identify, read, write, poll, gateway, scan or settings)" +
                      tryHelp,
                  2},
             Case{{}, "hz70cli: no command given" + tryHelp, 2},
             Case{{"--settings", "missing", "poll"}, "hz70cli: --settings missing: no such folder\n", 2},
             // Before the port is touched; and the password itself is never said.
             Case{{"--mqtt-password-file", "shared-password", "gateway"},
                  "hz70cli: --mqtt-password-file shared-password: other users can read it; make it private "
                  "(chmod o-r shared-password)\n",
                  2},
             Case{{"--port", "tcp:127.0.0.1:70000", "poll", "1"},
                  "hz70cli: tcp:127.0.0.1:70000: the port must be a number 1..65535\n",
                  2},
             Case{{"--mqtt", "mqtts://broker", "--mqtt-ca", "missing.pem", "gateway"},
                  "hz70cli: --mqtt-ca missing.pem: No such file or directory\n",
                  2},
             // Commands are never taken without their log.
             Case{{"--port", "absent", "gateway", "--commands", "--audit", "missing/commands.csv", "1"},
                  "hz70cli: cannot write the command log missing/commands.csv: No such file or directory\n",
                  2},
             Case{{"--settings", "empty", "poll"},
                  "hz70cli: --settings empty: no settings file HZ70wiz.INI in it\n",
                  2},
             Case{{"--settings", "unreadable", "scan"},
                  "hz70cli: cannot read unreadable/HZ70wiz.INI: Is a directory\n",
                  2},
             // The file gives the rate; the command line's port, framing and time-out win over its own.
             Case{{"--settings", "good", "--port", "absent", "--mode", "rtu-8n1", "--timeout", "0",
                   "identify"},
                  "hz70cli: link from good/hz70wiz.ini with --port, --mode, --timeout from the command line: "
                  "absent, 19200 bit/s, rtu-8n1, time-out 1500 ms (the baud rate's default)\n",
                  1},
             // The file keeps an absurd time-out as typed; the link waits at most ten minutes.
             Case{{"--settings", "odd", "--port", "absent", "identify"},
                  "hz70cli: link from odd/HZ70wiz.INI with --port from the command line: absent, 9600 bit/s, "
                  "ascii-8n1, time-out 600000 ms (the longest there is; 2000000000 ms asked for)\n"
                  "hz70cli: odd/HZ70wiz.INI: Baud=12 is out of range; 5 used\n"
                  "hz70cli: odd/HZ70wiz.INI: Timout is no key of the settings file; its line is ignored\n",
                  1},
             Case{{"--port", "absent", "identify"}, "hz70cli: absent: No such file or directory\n", 1},
             Case{{"--baud", "9", "--port", "absent", "identify"},
                  "hz70cli: --baud 9 is the index of 115200 bit/s\n",
                  1},
             Case{{"identify"},
                  "hz70cli: COM1 is ./COM1, a link to /dev/pts/no-such-terminal, which is gone\n",
                  1},
             Case{{"--port", "com1", "identify"},
                  "hz70cli: COM1 is ./COM1, a link to /dev/pts/no-such-terminal, which is gone\n",
                  1},
         }) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(RunCli(c.args, "test", stop, out, err), c.status);
        EXPECT_EQ(c.status == 2 ? err.str() : err.str().substr(0, c.errorStart.size()), c.errorStart);
    }
}

} // namespace
} // namespace hz70::cli

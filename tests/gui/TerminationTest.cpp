// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/TerminationSignals.h"
#include "gui/GuiTestSupport.h"

#include <csignal>
#include <gtest/gtest.h>

namespace hz70::test {
namespace {

TEST(Termination, TermAndIntCloseTheWindowSoThatChangedSettingsAreWritten) {
    for (const int signalNumber : {SIGTERM, SIGINT}) {
        ProgramOnFakeBus program;
        program.WriteSettingsFile({"Timeout=700"});
        TOmain& main = program.Start();
        main.show();
        {
            TerminationSignals termination(&main);
            main.state().settings.zones.DevName[0] = "Piec";
            main.state().SettingsChanged = true;
            ASSERT_EQ(std::raise(signalNumber), 0);
            for (int i = 0; i < 100 && main.isVisible(); ++i) {
                QApplication::processEvents(QEventLoop::AllEvents, 10);
            }
            EXPECT_FALSE(main.isVisible()) << signalNumber;
        }
        program.window.reset();
        const SettingsLoad saved = LoadSettingsFile(program.folder());
        EXPECT_EQ(saved.settings.zones.DevName[0], "Piec");
        EXPECT_EQ(saved.settings.link.Timeout, 700);
        EXPECT_EQ(program.port.CallCount("RestoreState"), program.port.CallCount("SaveState"));
    }
}

} // namespace
} // namespace hz70::test

// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/LinkStatus.h"

#include <gtest/gtest.h>

namespace hz70 {
namespace {

using State = PortCondition::State;

TEST(LinkStatus, NamesTheDeviceTheStateAndHowToTryAgain) {
    const std::string retry = "Zatwierdź „Ustawienia portu”, aby otworzyć port ponownie.";
    struct Case {
        int portState;
        PortCondition condition;
        std::string text;
    };
    for (const Case& c : {
             Case{-100,
                  {State::Closed, "", "", ""},
                  "COM3: port zamknięty, zostanie otwarty przy następnej wymianie."},
             Case{2, {State::Open, "/dev/ttyUSB2", "", ""}, "COM3 (/dev/ttyUSB2): port otwarty."},
             Case{-1, {State::NoDevice, "COM3", "", ""}, "COM3: brak urządzenia. " + retry},
             Case{-1,
                  {State::InUse, "/dev/ttyUSB2", "", ""},
                  "COM3 (/dev/ttyUSB2): port zajęty przez inny program. " + retry},
             Case{-1,
                  {State::NoPermission, "/dev/ttyUSB2", "dialout", ""},
                  "COM3 (/dev/ttyUSB2): brak uprawnień do portu; dołącz do grupy dialout i zaloguj się "
                  "ponownie. " +
                      retry},
             Case{2,
                  {State::Lost, "/dev/ttyUSB2", "", ""},
                  "COM3 (/dev/ttyUSB2): utracono połączenie z urządzeniem. " + retry},
             Case{-1,
                  {State::Failed, "./COM3", "", "Not a tty"},
                  "COM3 (./COM3): błąd portu (Not a tty). " + retry},
         }) {
        EXPECT_EQ(LinkStatusText(2, c.portState, c.condition), c.text);
    }
}

} // namespace
} // namespace hz70

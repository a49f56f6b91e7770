// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/LinkStatus.h"

#include <gtest/gtest.h>

namespace hz70 {
namespace {

using State = PortCondition::State;

TEST(LinkStatus, NamesTheDeviceTheStateAndHowThePortWillBeOpenedAgain) {
    const std::string retry = "Zatwierdź „Ustawienia portu”, aby otworzyć port ponownie.";
    const std::string waiting =
        "COM3 (/dev/ttyUSB2): czekam na urządzenie — port zostanie otwarty, gdy wróci.";
    constexpr auto kIdle = ReconnectState::Idle;
    constexpr auto kWaiting = ReconnectState::Waiting;
    constexpr auto kClosed = PortState::Closed();
    constexpr auto kOpenFailed = PortState::OpenFailed();
    constexpr auto kOpenOnCom3 = PortState::OpenOn(2);
    struct Case {
        ReconnectState reconnect;
        std::string awaitedDevice;
        PortState portState;
        PortCondition condition;
        std::string text;
    };
    for (const Case& c : {
             Case{kIdle,
                  "",
                  kClosed,
                  {State::Closed, "", "", ""},
                  "COM3: port zamknięty, zostanie otwarty przy następnej wymianie."},
             Case{kIdle,
                  "",
                  kOpenOnCom3,
                  {State::Open, "/dev/ttyUSB2", "", ""},
                  "COM3 (/dev/ttyUSB2): port otwarty."},
             Case{kIdle,
                  "",
                  kOpenFailed,
                  {State::NoDevice, "COM3", "", ""},
                  "COM3: brak urządzenia. " + retry},
             Case{kIdle,
                  "",
                  kOpenFailed,
                  {State::InUse, "/dev/ttyUSB2", "", ""},
                  "COM3 (/dev/ttyUSB2): port zajęty przez inny program. " + retry},
             Case{kIdle,
                  "",
                  kOpenFailed,
                  {State::NoPermission, "/dev/ttyUSB2", "dialout", ""},
                  "COM3 (/dev/ttyUSB2): brak uprawnień do portu; dołącz do grupy dialout i zaloguj się "
                  "ponownie. " +
                      retry},
             Case{kIdle,
                  "",
                  kOpenFailed,
                  {State::Failed, "./COM3", "", "Not a tty"},
                  "COM3 (./COM3): błąd portu (Not a tty). " + retry},
             // Lost, missing or open on another device: the program waits for the device by itself.
             Case{kIdle, "", kOpenOnCom3, {State::Lost, "/dev/ttyUSB2", "", ""}, waiting},
             Case{kWaiting, "/dev/ttyUSB2", kOpenFailed, {State::NoDevice, "COM3", "", ""}, waiting},
             Case{kWaiting, "/dev/ttyUSB2", kOpenOnCom3, {State::Open, "/dev/ttyS2", "", ""}, waiting},
             Case{kWaiting, "/dev/ttyUSB2", kOpenFailed, {State::Failed, "/dev/ttyS2", "", "EIO"}, waiting},
             Case{kWaiting,
                  "/dev/ttyUSB2",
                  kOpenFailed,
                  {State::InUse, "/dev/ttyUSB2", "", ""},
                  "COM3 (/dev/ttyUSB2): port zajęty przez inny program. Port zostanie otwarty, gdy to będzie "
                  "możliwe."},
             Case{ReconnectState::Reopened,
                  "/dev/ttyUSB2",
                  kOpenOnCom3,
                  {State::Open, "/dev/ttyUSB2", "", ""},
                  "COM3 (/dev/ttyUSB2): port otwarty ponownie."},
         }) {
        EXPECT_EQ(LinkStatusText(2, c.portState, c.condition, c.reconnect, c.awaitedDevice), c.text);
    }
}

TEST(LinkStatus, SaysOnceWhenTheReplyTimeOutIsCapped) {
    for (const auto& [timeout, expected] : {
             std::pair<std::int32_t, const char*>{
                 2000000000, "Czas oczekiwania na odpowiedź 2000000000 ms jest za długi; "
                             "użyto 600000 ms."},
             {600000, ""},
             {50, ""},
         }) {
        EXPECT_EQ(CappedTimeoutText(TTransSettings{0, 5, 0, 0, timeout}), expected) << timeout;
    }
}

} // namespace
} // namespace hz70

// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/LinkStatus.h"

namespace hz70 {
namespace {

constexpr const char* kRetry = " Zatwierdź „Ustawienia portu”, aby otworzyć port ponownie.";

std::string PortName(int portIndex, const std::string& device) {
    std::string name = "COM" + std::to_string(portIndex + 1);
    if (!device.empty() && device != name) {
        name += " (" + device + ")";
    }
    return name;
}

} // namespace

std::string LinkStatusText(int portIndex, int portState, const PortCondition& condition) {
    using State = PortCondition::State;
    const std::string port = PortName(portIndex, condition.device);
    if (portState == -100) {
        return "COM" + std::to_string(portIndex + 1) +
               ": port zamknięty, zostanie otwarty przy następnej wymianie.";
    }
    switch (condition.state) {
    case State::Open:
        return port + ": port otwarty.";
    case State::Closed:
        if (portState >= 0) {
            return port + ": port otwarty.";
        }
        break;
    case State::Lost:
        return port + ": utracono połączenie z urządzeniem." + kRetry;
    case State::NoDevice:
        return port + ": brak urządzenia." + kRetry;
    case State::InUse:
        return port + ": port zajęty przez inny program." + kRetry;
    case State::NoPermission:
        return port + ": brak uprawnień do portu" +
               (condition.group.empty()
                    ? std::string(".")
                    : "; dołącz do grupy " + condition.group + " i zaloguj się ponownie.") +
               kRetry;
    case State::Failed:
        break;
    }
    return port + ": błąd portu" +
           (condition.reason.empty() ? std::string() : " (" + condition.reason + ")") + "." + kRetry;
}

} // namespace hz70

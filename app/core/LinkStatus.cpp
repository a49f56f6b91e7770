// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/LinkStatus.h"

#include <string_view>

namespace hz70 {
namespace {

using State = PortCondition::State;

constexpr const char* kRetry = " Zatwierdź „Ustawienia portu”, aby otworzyć port ponownie.";
constexpr const char* kRetryingItself = " Port zostanie otwarty, gdy to będzie możliwe.";

std::string PortName(int portIndex, const std::string& device) {
    std::string name = "COM" + std::to_string(portIndex + 1);
    if (!device.empty() && device != name) {
        name += " (" + device + ")";
    }
    return name;
}

// Why a port is not open, as a sentence.
std::string Reason(const PortCondition& condition) {
    switch (condition.state) {
    case State::NoDevice:
        return "brak urządzenia.";
    case State::InUse:
        return "port zajęty przez inny program.";
    case State::NoPermission:
        if (condition.group.empty()) {
            return "brak uprawnień do portu.";
        }
        return "brak uprawnień do portu; dołącz do grupy " + condition.group + " i zaloguj się ponownie.";
    default:
        return "błąd portu" + (condition.reason.empty() ? std::string() : " (" + condition.reason + ")") +
               ".";
    }
}

// The device is gone, or the port is open on another one: the program waits for it by itself. A refusal
// by the awaited device itself is named as it is.
bool AwaitingTheDevice(ReconnectState reconnect, const PortCondition& condition,
                       const std::string& awaitedDevice) {
    if (condition.state == State::Lost) {
        return true;
    }
    const bool refused = condition.state == State::InUse || condition.state == State::NoPermission ||
                         condition.state == State::Failed;
    const bool byTheAwaitedDevice = awaitedDevice.empty() || condition.device == awaitedDevice;
    return reconnect == ReconnectState::Waiting && !(refused && byTheAwaitedDevice);
}

} // namespace

std::string LinkStatusText(int portIndex, PortState portState, const PortCondition& condition,
                           ReconnectState reconnect, const std::string& awaitedDevice) {
    if (portState.isClosed()) {
        return "COM" + std::to_string(portIndex + 1) +
               ": port zamknięty, zostanie otwarty przy następnej wymianie.";
    }
    if (AwaitingTheDevice(reconnect, condition, awaitedDevice)) {
        return PortName(portIndex, awaitedDevice.empty() ? condition.device : awaitedDevice) +
               ": czekam na urządzenie — port zostanie otwarty, gdy wróci.";
    }
    const std::string port = PortName(portIndex, condition.device);
    if (condition.state == State::Open || (condition.state == State::Closed && portState.isOpen())) {
        return port +
               (reconnect == ReconnectState::Reopened ? ": port otwarty ponownie." : ": port otwarty.");
    }
    return port + ": " + Reason(condition) +
           (reconnect == ReconnectState::Waiting ? kRetryingItself : kRetry);
}

std::string CappedTimeoutText(const TTransSettings& settings) {
    if (!SettingsInTables(settings)) {
        return {};
    }
    const ReplyTimeoutChoice timeout = ChooseReplyTimeout(settings);
    if (timeout.source != ReplyTimeoutChoice::Source::Capped) {
        return {};
    }
    return "Czas oczekiwania na odpowiedź " + std::to_string(settings.Timeout) + " ms jest za długi; użyto " +
           std::to_string(timeout.ms) + " ms.";
}

std::string BrokerStatusText(const publish::BrokerStatus& status) {
    using publish::BrokerState;
    constexpr std::string_view kPrefix = "MQTT: ";
    std::string text(kPrefix);
    switch (status.state) {
    case BrokerState::Unavailable:
        return text + "program zbudowano bez klienta MQTT";
    case BrokerState::Connecting:
        text += "łączenie z " + status.broker + "...";
        break;
    case BrokerState::Connected:
        text += "połączono z " + status.broker;
        break;
    case BrokerState::Retrying:
        text += "brak połączenia z " + status.broker + " — ponawiam";
        break;
    }
    // While connected the queue holds only what is on its way: counting it would redraw the line at
    // every message.
    if (status.queued > 0 && status.state != BrokerState::Connected) {
        text += "; w kolejce: " + std::to_string(status.queued);
    }
    if (status.dropped > 0) {
        text += "; utracone: " + std::to_string(status.dropped);
    }
    // Last, where a narrow window cuts the line; the line already says it is about MQTT.
    if (status.state == BrokerState::Retrying && !status.reason.empty()) {
        const std::string_view reason = status.reason;
        text +=
            " (" + std::string(reason.starts_with(kPrefix) ? reason.substr(kPrefix.size()) : reason) + ")";
    }
    return text;
}

} // namespace hz70

// SPDX-License-Identifier: GPL-3.0-or-later
#include "hz70cli/GatewayCommand.h"

#include "app/core/RemoteCommands.h"
#include "hz70cli/LinkCommands.h"
#include "hz70cli/ZoneCommands.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <sstream>
#include <utility>
#include <vector>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace hz70::cli {
namespace {

namespace fs = std::filesystem;

struct Password {
    std::string text;
};

bool OthersMayRead(const fs::file_status& status) {
#ifdef _WIN32
    // Windows reports every readable file as readable by all; there the folder's access list decides.
    (void)status;
    return false;
#else
    return (status.permissions() & fs::perms::others_read) != fs::perms::none;
#endif
}

// The first line of `file`, or why it is no password to use.
std::variant<Password, std::string> ReadPasswordFile(const std::string& file) {
    const std::string what = "--mqtt-password-file " + file + ": ";
    std::error_code error;
    const fs::file_status status = fs::status(file, error);
    if (error) {
        return what + error.message();
    }
    if (OthersMayRead(status)) {
        return what + "other users can read it; make it private (chmod o-r " + file + ")";
    }
    std::ifstream in(file, std::ios::binary);
    Password password;
    if (!in || !std::getline(in, password.text)) {
        return what + "cannot be read";
    }
    if (!password.text.empty() && password.text.back() == '\r') {
        password.text.pop_back();
    }
    if (password.text.empty()) {
        return what + "its first line is empty";
    }
    return password;
}

// Why a TLS file given cannot be read, or nothing. Said at start: the broker would only ever be retried.
std::optional<std::string> UnreadableFile(std::string_view option, const std::string& file) {
    if (file.empty()) {
        return std::nullopt;
    }
    std::FILE* opened = std::fopen(file.c_str(), "rb");
    if (opened == nullptr) {
        return std::string(option) + " " + file + ": " + std::strerror(errno);
    }
    std::fclose(opened);
    return std::nullopt;
}

std::string HostName() {
#ifdef _WIN32
    const char* name = std::getenv("COMPUTERNAME");
    return name != nullptr ? name : "hz70";
#else
    char name[256] = {};
    return gethostname(name, sizeof name - 1) == 0 ? name : "hz70";
#endif
}

// The audit log's place when --audit names none: the folder systemd keeps for the service (the first
// of $STATE_DIRECTORY's), else the working folder.
fs::path DefaultAuditFile() {
    const char* state = std::getenv("STATE_DIRECTORY");
    if (state == nullptr || *state == '\0') {
        return kAuditFileName;
    }
    const std::string_view folders(state);
    return fs::path(folders.substr(0, folders.find(':'))) / kAuditFileName;
}

// A payload as one line of standard error can show it: printable ASCII as it is, other bytes as \xNN, and
// no more than a number or a mode needs.
std::string ShownPayload(std::string_view payload) {
    constexpr std::size_t kShown = 24;
    std::string shown;
    for (const char c : payload.substr(0, kShown)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7f && byte != '\\') {
            shown += c;
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            shown += escaped;
        }
    }
    return payload.size() > kShown ? shown + "... (" + std::to_string(payload.size()) + " bytes)" : shown;
}

std::string ShownValue(const publish::CommandResult& result, double value) {
    if (result.setting == "mode") {
        return value == 0 ? "stop" : "auto";
    }
    std::ostringstream text;
    text << value;
    if (!result.unit.empty()) {
        text << " " << result.unit;
    }
    return text.str();
}

// "hz70cli: MQTT: zone 2 SP 180 from alice: written, read back 180 °C", or the reason it was refused.
std::string CommandLine(const CommandReport& report) {
    const publish::IncomingCommand& request = report.request;
    const publish::CommandResult& result = report.result;
    std::string line = "hz70cli: MQTT: ";
    line += result.zone != 0 && !result.setting.empty()
                ? "zone " + std::to_string(result.zone) + " " + result.setting
                : request.topic;
    line += " \"" + ShownPayload(request.payload) + "\"";
    if (!request.origin.empty() && request.origin != request.topic) {
        line += " from " + request.origin;
    }
    if (!result.ok) {
        return line + ": refused: " + result.reason;
    }
    return line + ": written" +
           (result.readBack ? ", read back " + ShownValue(result, *result.readBack) : std::string());
}

// The gateway's work on each tick: publishing, the broker's state, the commands when taken, and the
// CSV when asked for.
class GatewayPublishing final : public PollConsumer {
public:
    GatewayPublishing(publish::Publisher& publisher, BrokerReport& report, PollConsumer* csv,
                      RemoteCommands* commands, const DeviceList& devices, std::ostream& err)
        : publisher_(publisher), report_(report), csv_(csv), commands_(commands), devices_(devices),
          err_(err) {}

    void Started() override {
        if (csv_ != nullptr) {
            csv_->Started();
        }
    }

    void Consume(const PollTickResult& tick) override {
        PublishSettingsOnce(tick);
        publisher_.PublishTick(tick);
        if (commands_ != nullptr) {
            RunCommands(tick);
        }
        report_.Update(publisher_.status());
        if (csv_ != nullptr) {
            csv_->Consume(tick);
        }
    }

private:
    // A few of the commands that came are checked each tick, the refused ones answered at once; one
    // accepted command runs once the tick left the line free.
    void RunCommands(const PollTickResult& tick) {
        for (const CommandReport& report :
             commands_->Submit(publisher_.TakeCommands(RemoteCommands::kCheckedPerTick))) {
            Answer(report);
        }
        if (const auto report = commands_->RunNext(tick)) {
            Answer(*report);
        }
    }

    // The result on the broker and standard error; a written zone's settings go out again as read back.
    void Answer(const CommandReport& report) {
        publisher_.PublishResult(report.request, report.result);
        err_ << CommandLine(report) + "\n" << std::flush; // one write: a flood may bring hundreds
        if (!report.result.ok) {
            return;
        }
        for (const auto& entry : devices_) {
            if (entry->record.zoneNumber == report.result.zone) {
                publisher_.PublishSettings(entry->record);
            }
        }
    }

    // Each HZ70's settings, as attaching read them, at its first update: only then does the status word
    // tell the unit of its temperature settings.
    void PublishSettingsOnce(const PollTickResult& tick) {
        const auto slot = static_cast<std::size_t>(tick.slot);
        if (tick.outcome != PollOutcome::kUpdated || !tick.record || tick.record->identified != 1 ||
            slot >= settingsSent_.size() || settingsSent_[slot]) {
            return;
        }
        settingsSent_[slot] = true;
        publisher_.PublishSettings(*tick.record);
    }

    publish::Publisher& publisher_;
    BrokerReport& report_;
    PollConsumer* csv_;
    RemoteCommands* commands_;
    const DeviceList& devices_;
    std::ostream& err_;
    std::array<bool, kZoneSlots> settingsSent_{};
};

} // namespace

std::variant<publish::BrokerSettings, std::string> GatewayBroker(const CliOptions& options) {
    const auto url = publish::ParseBrokerUrl(options.mqttUrl);
    if (const auto* error = std::get_if<std::string>(&url)) {
        return "bad value for --mqtt: " + *error;
    }
    const auto& parsed = std::get<publish::BrokerUrl>(url);
    publish::BrokerSettings broker;
    publish::SetBrokerAddress(broker, parsed);
    broker.user = parsed.user;
    broker.caFile = options.caFile;
    broker.certFile = options.certFile;
    broker.keyFile = options.keyFile;
    broker.haDiscovery = options.haDiscovery;
    broker.system = options.systemName.value_or(
        publish::DefaultSystemName(HostName(), fs::path(options.port).filename().string()));
    for (const auto& [option, file] :
         {std::pair{"--mqtt-ca", &options.caFile}, std::pair{"--mqtt-cert", &options.certFile},
          std::pair{"--mqtt-key", &options.keyFile}}) {
        if (auto error = UnreadableFile(option, *file)) {
            return *std::move(error);
        }
    }
    if (options.passwordFile) {
        auto password = ReadPasswordFile(*options.passwordFile);
        if (auto* error = std::get_if<std::string>(&password)) {
            return std::move(*error);
        }
        broker.password = std::move(std::get<Password>(password).text);
    }
    return broker;
}

void BrokerReport::Update(const publish::BrokerStatus& status) {
    if (state_ == status.state && reason_ == status.reason) {
        return;
    }
    state_ = status.state;
    reason_ = status.reason;
    switch (status.state) {
    case publish::BrokerState::Unavailable:
        err_ << "hz70cli: " << status.reason << "\n";
        return;
    case publish::BrokerState::Connecting:
        err_ << "hz70cli: MQTT: connecting to " << status.broker << "\n";
        return;
    case publish::BrokerState::Connected:
        err_ << "hz70cli: MQTT: connected to " << status.broker;
        if (status.dropped > dropped_) {
            err_ << "; the queue was full (" << publish::Publisher::kQueueLimit << " zone states), "
                 << status.dropped - dropped_ << " older ones were dropped";
        }
        err_ << "\n";
        dropped_ = status.dropped;
        return;
    case publish::BrokerState::Retrying:
        // The reason names MQTT and the broker itself.
        err_ << "hz70cli: "
             << (status.reason.empty() ? "MQTT: no connection to " + status.broker : status.reason)
             << "; retrying\n";
        return;
    }
}

int RunGateway(TTrans& trans, SerialPort& port, Clock& clock, const CliOptions& options,
               publish::BrokerSettings broker, const ZoneList& listedZones, StopCondition& stop,
               std::ostream& out, std::ostream& err) {
    PollLine line;
    std::optional<RemoteCommands> commands;
    if (options.commands) {
        const fs::path audit = options.auditFile ? fs::path(*options.auditFile) : DefaultAuditFile();
        commands.emplace(line.devices, trans, line.polling, clock);
        if (const std::string error = commands->StartAudit(audit); !error.empty()) {
            err << "hz70cli: cannot write the command log " << audit.string() << ": " << error << "\n";
            return kExitUsage;
        }
        broker.commands = true;
        err << "hz70cli: MQTT: taking commands on " << publish::TopicPrefix(broker)
            << "/zone/N/set/NAME; logging them to " << audit.string() << "\n";
    }
    err << "hz70cli: MQTT: publishing under " << publish::TopicPrefix(broker) << "/\n";
    publish::Publisher publisher(std::move(broker));
    BrokerReport report(err);
    report.Update(publisher.status());
    if (publisher.status().state == publish::BrokerState::Unavailable) {
        return kExitFailed;
    }
    PollCsvWriter csv(out);
    GatewayPublishing publishing(publisher, report, options.csv ? &csv : nullptr,
                                 commands ? &*commands : nullptr, line.devices, err);
    return RunPolling(trans, port, clock, options, listedZones, stop, line, publishing, err);
}

} // namespace hz70::cli

// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/PublishingSettings.h"

#include "app/core/FileAccess.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <variant>

namespace hz70 {
namespace {

namespace fs = std::filesystem;

enum class Key { Enabled, Broker, User, Password, CaFile, CertFile, KeyFile, System, Discovery, Commands };

struct KeyName {
    Key key;
    std::string_view name;
};

// In the order they are written.
constexpr std::array<KeyName, 10> kKeys{{
    {Key::Enabled, "Enabled"},
    {Key::Broker, "Broker"},
    {Key::User, "User"},
    {Key::Password, "Password"},
    {Key::CaFile, "CaFile"},
    {Key::CertFile, "CertFile"},
    {Key::KeyFile, "KeyFile"},
    {Key::System, "System"},
    {Key::Discovery, "Discovery"},
    {Key::Commands, "Commands"},
}};

bool SameKey(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

const KeyName* FindKey(std::string_view name) {
    const auto* found =
        std::ranges::find_if(kKeys, [name](const KeyName& k) { return SameKey(k.name, name); });
    return found != kKeys.end() ? found : nullptr;
}

std::string Quoted(std::string_view text) {
    return "„" + std::string(text) + "”";
}

std::string BrokerAddress(publish::BrokerSettings broker) {
    broker.user.clear(); // a line of its own
    return publish::BrokerUrlText(broker);
}

std::string Value(const PublishingSettings& settings, Key key) {
    const publish::BrokerSettings& broker = settings.broker;
    switch (key) {
    case Key::Enabled:
        return settings.enabled ? "1" : "0";
    case Key::Broker:
        return BrokerAddress(broker);
    case Key::User:
        return broker.user;
    case Key::Password:
        return broker.password;
    case Key::CaFile:
        return broker.caFile;
    case Key::CertFile:
        return broker.certFile;
    case Key::KeyFile:
        return broker.keyFile;
    case Key::System:
        return broker.system;
    case Key::Discovery:
        return broker.haDiscovery ? "1" : "0";
    case Key::Commands:
        return broker.commands ? "1" : "0";
    }
    return {};
}

// Takes one line's value; what is wrong with it, or empty.
class LineReader {
public:
    explicit LineReader(PublishingSettings& settings) : settings_(settings) {}

    std::string Take(const KeyName& key, std::string_view value) {
        publish::BrokerSettings& broker = settings_.broker;
        switch (key.key) {
        case Key::Enabled:
            return Flag(key.name, value, settings_.enabled);
        case Key::Broker:
            return Broker(value);
        case Key::User:
            broker.user = value;
            userGiven_ = true;
            return {};
        case Key::Password:
            broker.password = value;
            return {};
        case Key::CaFile:
            broker.caFile = value;
            return {};
        case Key::CertFile:
            broker.certFile = value;
            return {};
        case Key::KeyFile:
            broker.keyFile = value;
            return {};
        case Key::System:
            if (std::string fault = SystemNameFault(value); !fault.empty()) {
                return "nazwa systemu " + Quoted(value) + " " + fault;
            }
            broker.system = value;
            return {};
        case Key::Discovery:
            return Flag(key.name, value, broker.haDiscovery);
        case Key::Commands:
            return Flag(key.name, value, broker.commands);
        }
        return {};
    }

    // A broker that could not be read is no place to publish to.
    void Finish() {
        if (brokerFailed_) {
            settings_.enabled = false;
        }
        if (!userGiven_) {
            settings_.broker.user = urlUser_;
        }
    }

private:
    static std::string Flag(std::string_view name, std::string_view value, bool& flag) {
        if (value != "0" && value != "1") {
            return "wartość " + Quoted(name) + " musi być 0 albo 1, a jest " + Quoted(value);
        }
        flag = value == "1";
        return {};
    }

    std::string Broker(std::string_view value) {
        auto url = publish::ParseBrokerUrl(value);
        if (const auto* reason = std::get_if<std::string>(&url)) {
            brokerFailed_ = true;
            // Not the address itself: it may hold a password.
            return "błędny adres brokera (" + *reason + "); publikacja wyłączona";
        }
        auto& parsed = std::get<publish::BrokerUrl>(url);
        publish::SetBrokerAddress(settings_.broker, parsed);
        urlUser_ = parsed.user;
        return {};
    }

    PublishingSettings& settings_;
    bool brokerFailed_ = false;
    bool userGiven_ = false;
    std::string urlUser_;
};

} // namespace

std::string SystemNameFault(std::string_view system) {
    if (system.find_first_of("/+# \t") != std::string_view::npos) {
        return "zawiera znak /, +, # lub odstęp, których nie może być w tematach MQTT";
    }
    return {};
}

std::string FormatPublishingFile(const PublishingSettings& settings) {
    std::string text;
    for (const KeyName& key : kKeys) {
        text.append(key.name).append("=").append(Value(settings, key.key)).append("\n");
    }
    return text;
}

PublishingSettings ParsePublishingFile(std::string_view text, std::vector<std::string>* remarks) {
    PublishingSettings settings;
    LineReader reader(settings);
    std::vector<Key> seen;
    int number = 0;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        ++number;
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        if (line.empty() || line.starts_with('#')) {
            continue;
        }
        std::string remark;
        const std::size_t equals = line.find('=');
        const KeyName* key = equals != std::string_view::npos ? FindKey(line.substr(0, equals)) : nullptr;
        if (equals == std::string_view::npos) {
            remark = "brak znaku „=” w wierszu";
        } else if (key == nullptr) {
            remark = "nieznany klucz " + Quoted(line.substr(0, equals));
        } else if (std::ranges::find(seen, key->key) != seen.end()) {
            remark = "klucz " + Quoted(key->name) + " powtórzony; obowiązuje pierwszy";
        } else {
            seen.push_back(key->key);
            remark = reader.Take(*key, line.substr(equals + 1));
        }
        if (!remark.empty() && remarks != nullptr) {
            remarks->push_back("wiersz " + std::to_string(number) + ": " + remark);
        }
    }
    reader.Finish();
    return settings;
}

PublishingLoad LoadPublishingFile(const fs::path& directory) {
    PublishingLoad load;
    const fs::path file = directory / kPublishingFileName;
    std::error_code missing;
    if (!fs::exists(file, missing)) {
        return load;
    }
    const std::string text = ReadSmallFile(file, kMaxPublishingFileSize, load.error);
    if (!load.error) {
        load.settings = ParsePublishingFile(text, &load.remarks);
    }
    return load;
}

std::error_code SavePublishingFile(const fs::path& directory, const PublishingSettings& settings) {
    return ReplacePrivateFile(directory / kPublishingFileName, FormatPublishingFile(settings));
}

} // namespace hz70

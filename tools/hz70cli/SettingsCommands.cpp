// SPDX-License-Identifier: GPL-3.0-or-later
#include "hz70cli/SettingsCommands.h"

#include "app/core/DeviceList.h"
#include "app/core/PollCsv.h"
#include "comm/ModbusFraming.h"
#include "hz70cli/CliLink.h"
#include "hz70cli/LinkCommands.h"
#include "model/SettingsSet.h"

#include <algorithm>
#include <fstream>
#include <ostream>
#include <sstream>
#include <vector>

namespace hz70::cli {
namespace {

// The arguments after "settings VERB FILE" (or "settings copy FROM"): addresses, checked when parsed.
std::vector<int> NamedAddresses(const CliOptions& options) {
    std::vector<int> addresses;
    for (std::size_t i = 2; i < options.arguments.size(); ++i) {
        addresses.push_back(static_cast<int>(*ParseBoundedNumber(options.arguments[i], 1, 247)));
    }
    return addresses;
}

ZoneList ZonesAt(const std::vector<int>& addresses) {
    ZoneList zones;
    zones.DevAddr.fill(0);
    zones.DevCount = static_cast<int>(addresses.size());
    std::copy(addresses.begin(), addresses.end(), zones.DevAddr.begin());
    return zones;
}

std::string ZoneTitle(const TRegulator& zone) {
    return "zone " + std::to_string(zone.zoneNumber) + " (address " + std::to_string(zone.address) + ", " +
           zone.name + ")";
}

bool Answered(const TRegulator& zone) {
    return HasValues(ZoneSettingsOf(zone));
}

std::string RefusalText(const SetRefusal& refusal) {
    const std::string range =
        " is out of range " + std::to_string(refusal.min) + ".." + std::to_string(refusal.max);
    switch (refusal.fault) {
    case SetFault::kNotUnderstood:
        return "not understood before the first zone: " + refusal.text;
    case SetFault::kNotAZone:
        return "not a zone (1.." + std::to_string(kZoneSlots) + "): " + refusal.text;
    case SetFault::kZoneGivenTwice:
        return "zone " + std::to_string(refusal.number) + " is given twice";
    case SetFault::kNotAnAddress:
        return "not an address (1..247): " + refusal.text;
    case SetFault::kAddressShared:
        return "address " + std::to_string(refusal.number) + " is zone " + std::to_string(refusal.otherZone) +
               "'s too";
    case SetFault::kUnknownSetting:
        return "unknown setting " + refusal.setting;
    case SetFault::kSettingGivenTwice:
        return refusal.setting + " is given twice";
    case SetFault::kNotAWholeNumber:
        return refusal.setting + ": not a whole number: " + refusal.text;
    case SetFault::kOutOfRange:
        return refusal.setting + ": " + refusal.text + range;
    }
    return "";
}

// Why the file's entry does not fit the zone; empty when it does.
std::string PairingText(const TRegulator& zone, const ZonePairing& pairing) {
    switch (pairing.fault) {
    case PairingFault::kNone:
        return "";
    case PairingFault::kNoSuchZone:
        return "the file has no zone " + std::to_string(zone.zoneNumber);
    case PairingFault::kNoZoneAtAddress:
        return "the file has no zone at address " + std::to_string(zone.address);
    case PairingFault::kOtherAddress:
        return "zone " + std::to_string(zone.zoneNumber) + " is at address " + std::to_string(zone.address) +
               ", the file's at " + std::to_string(pairing.fileAddress);
    }
    return "";
}

// What one zone is to become: the saved values, or why it is left alone.
struct ZoneTarget {
    TRegulator* zone = nullptr;
    const ZoneSettings* wanted = nullptr;
    std::string refusal;
};

// Lists the differences of every target; the number of zones that differ, cannot be compared or were
// refused.
int ShowDifferences(const std::vector<ZoneTarget>& targets, std::ostream& out) {
    int unlike = 0;
    for (const ZoneTarget& target : targets) {
        const TRegulator& zone = *target.zone;
        if (!target.refusal.empty()) {
            out << ZoneTitle(zone) << ": " << target.refusal << "\n";
            ++unlike;
            continue;
        }
        if (!Answered(zone)) {
            out << ZoneTitle(zone) << ": no answer\n";
            ++unlike;
            continue;
        }
        const auto differences = Differences(*target.wanted, zone);
        const bool fahrenheit = SettingsInFahrenheit(zone);
        for (const SettingDifference& difference : differences) {
            out << ZoneTitle(zone) << ": "
                << (difference.now ? SettingText(difference.line, *difference.now, fahrenheit)
                                   : std::string(RegisterMap[kMeasuredRows + difference.line].mnemonic) +
                                         " without a value")
                << ", wanted " << difference.wanted << "\n";
        }
        unlike += differences.empty() ? 0 : 1;
    }
    return unlike;
}

const char* VerdictText(WriteVerdict verdict) {
    switch (verdict) {
    case WriteVerdict::kWritten:
        return "written";
    case WriteVerdict::kRefused:
        return "refused";
    case WriteVerdict::kNoAnswer:
        return "no answer";
    case WriteVerdict::kLeftOut:
        return "left out";
    }
    return "";
}

std::string ReasonText(const SettingWriteResult& result) {
    switch (result.reason) {
    case WriteReason::kNone:
    case WriteReason::kNoAnswer: // the verdict says it
        return "";
    case WriteReason::kSecurityCode:
        return "the security code is left to the parameters dialog";
    case WriteReason::kOutOfRange:
        return "out of range " + std::to_string(result.min) + ".." + std::to_string(result.max);
    case WriteReason::kException:
        return "Modbus exception " + ModbusExceptionText(result.exception);
    case WriteReason::kHeldOther:
        return "the controller holds " + std::to_string(result.held);
    case WriteReason::kNotReadBack:
        return "written, but not read back";
    }
    return "";
}

std::string WriteResultText(const SettingWriteResult& result) {
    const std::string reason = ReasonText(result);
    const std::string skipped =
        result.skipped == 0 ? "" : "; " + std::to_string(result.skipped) + " more not tried";
    return std::string(RegisterMap[kMeasuredRows + result.line].mnemonic) + " " +
           std::to_string(result.value) + ": " + VerdictText(result.verdict) +
           (reason.empty() ? "" : " (" + reason + ")") + skipped;
}

// Writes every target's differences and says how each went; kExitOk when all were written.
int WriteTargets(const std::vector<ZoneTarget>& targets, TTrans& trans, PollingState& polling,
                 StopCondition& stop, std::ostream& out) {
    bool allWritten = true;
    LineAccess access(trans, polling);
    for (const ZoneTarget& target : targets) {
        if (!target.refusal.empty() || !Answered(*target.zone) || stop.Reached()) {
            allWritten = false;
            continue;
        }
        for (const SettingWriteResult& result : WriteDifferences(*target.zone, access, *target.wanted)) {
            out << ZoneTitle(*target.zone) << ": " << WriteResultText(result) << "\n";
            allWritten = allWritten && result.verdict == WriteVerdict::kWritten;
        }
    }
    return allWritten ? kExitOk : kExitFailed;
}

// Shows the differences and, with --yes, writes them.
int Apply(const std::vector<ZoneTarget>& targets, bool blocked, const CliOptions& options, TTrans& trans,
          PollingState& polling, StopCondition& stop, std::ostream& out, std::ostream& err) {
    const int unlike = ShowDifferences(targets, out);
    if (blocked) {
        err << "hz70cli: nothing written: the file has refused lines or zones that do not fit; name the "
               "zones to write by their addresses\n";
        return kExitFailed;
    }
    if (unlike == 0) {
        out << "nothing to write\n";
        return kExitOk;
    }
    if (!options.yes) {
        err << "hz70cli: nothing written; give --yes to write the differences above\n";
        return kExitFailed;
    }
    return WriteTargets(targets, trans, polling, stop, out);
}

int Save(TTrans& trans, const CliOptions& options, const ZoneList& zones, std::ostream& err) {
    DeviceList devices;
    PollingState polling;
    RebuildDeviceList(devices, zones, trans, polling);
    SettingsSet set{LocalTimestamp(), DescribeLink(options), {}};
    int status = kExitOk;
    for (const auto& device : devices) {
        set.zones.push_back(ZoneSettingsOf(device->record));
        if (!Answered(device->record)) {
            err << "hz70cli: " << ZoneTitle(device->record) << " does not answer; saved without settings\n";
            status = kExitFailed;
        }
    }
    std::ofstream file(options.arguments[1], std::ios::binary | std::ios::trunc);
    file << FormatSettingsSet(set);
    file.close();
    if (!file) {
        err << "hz70cli: cannot write " << options.arguments[1] << "\n";
        return kExitFailed;
    }
    return devices.empty() ? kExitUsage : status;
}

std::optional<ParsedSettingsSet> ReadSetFile(const std::string& path, std::ostream& err) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    if (!file) {
        err << "hz70cli: cannot read " << path << "\n";
        return std::nullopt;
    }
    ParsedSettingsSet parsed = ParseSettingsSet(text.str());
    for (const SetRefusal& refusal : parsed.refusals) {
        err << "hz70cli: " << path << ":" << refusal.lineNumber << ": " << RefusalText(refusal) << "\n";
    }
    return parsed;
}

// diff and load: the named addresses, else the settings file's zones, else the file's own.
int CompareOrLoad(TTrans& trans, const CliOptions& options, const ZoneList& listedZones, StopCondition& stop,
                  std::ostream& out, std::ostream& err) {
    const auto parsed = ReadSetFile(options.arguments[1], err);
    if (!parsed) {
        return kExitUsage;
    }
    std::vector<int> addresses = NamedAddresses(options);
    const bool named = !addresses.empty();
    const bool byAddress = named || !options.settingsDirectory;
    if (!named && !options.settingsDirectory) {
        for (const ZoneSettings& saved : parsed->set.zones) {
            addresses.push_back(saved.address);
        }
    }
    DeviceList devices;
    PollingState polling;
    RebuildDeviceList(devices, byAddress ? ZonesAt(addresses) : listedZones, trans, polling);
    std::vector<ZoneTarget> targets;
    bool blocked = !parsed->refusals.empty() && !named;
    for (const auto& device : devices) {
        const ZonePairing pairing = PairZone(parsed->set, device->record, byAddress);
        targets.push_back({&device->record, pairing.saved, PairingText(device->record, pairing)});
        blocked = blocked || (pairing.saved == nullptr && !named);
    }
    if (options.arguments[0] == "load") {
        return Apply(targets, blocked, options, trans, polling, stop, out, err);
    }
    const int unlike = ShowDifferences(targets, out);
    return unlike == 0 && parsed->refusals.empty() ? kExitOk : kExitFailed;
}

int Copy(TTrans& trans, const CliOptions& options, StopCondition& stop, std::ostream& out,
         std::ostream& err) {
    std::vector<int> addresses{static_cast<int>(*ParseBoundedNumber(options.arguments[1], 1, 247))};
    const std::vector<int> to = NamedAddresses(options);
    addresses.insert(addresses.end(), to.begin(), to.end());
    DeviceList devices;
    PollingState polling;
    RebuildDeviceList(devices, ZonesAt(addresses), trans, polling);
    const TRegulator& from = devices.front()->record;
    if (!Answered(from)) {
        err << "hz70cli: the zone at address " << from.address << " does not answer; nothing to copy\n";
        return kExitFailed;
    }
    const ZoneSettings wanted = ZoneSettingsOf(from);
    std::vector<ZoneTarget> targets;
    for (std::size_t i = 1; i < devices.size(); ++i) {
        targets.push_back({&devices[i]->record, &wanted, {}});
    }
    return Apply(targets, false, options, trans, polling, stop, out, err);
}

} // namespace

std::optional<std::string> SettingsUsageError(const CliOptions& options) {
    const auto& a = options.arguments;
    const std::string verb = a.empty() ? "" : a[0];
    if (verb != "save" && verb != "diff" && verb != "load" && verb != "copy") {
        return std::string("settings needs save, diff, load or copy");
    }
    if (verb == "copy" && (a.size() < 3 || !ParseBoundedNumber(a[1], 1, 247))) {
        return std::string("settings copy needs FROM and at least one TO address (1..247)");
    }
    if (a.size() < 2 || a[1].empty() || a[1].starts_with("-")) {
        return "settings " + verb + " needs a FILE";
    }
    const std::size_t zones = a.size() - (verb == "copy" ? 1 : 2); // copy's FROM is a zone too
    if (zones > static_cast<std::size_t>(kZoneSlots)) {
        return "settings " + verb + " takes at most " + std::to_string(kZoneSlots) + " zones";
    }
    for (std::size_t i = 2; i < a.size(); ++i) {
        if (!ParseBoundedNumber(a[i], 1, 247)) {
            return "not an address (1..247): " + a[i];
        }
    }
    if (options.yes && verb != "load" && verb != "copy") {
        return "--yes is for settings load and copy";
    }
    return std::nullopt;
}

int RunSettings(TTrans& trans, const CliOptions& options, const ZoneList& listedZones, StopCondition& stop,
                std::ostream& out, std::ostream& err) {
    const std::string& verb = options.arguments[0];
    int status = kExitOk;
    if (verb == "save") {
        const std::vector<int> named = NamedAddresses(options);
        status = Save(trans, options, named.empty() ? listedZones : ZonesAt(named), err);
    } else if (verb == "copy") {
        status = Copy(trans, options, stop, out, err);
    } else {
        status = CompareOrLoad(trans, options, listedZones, stop, out, err);
    }
    trans.Close();
    return status;
}

} // namespace hz70::cli

// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/SettingsFile.h"

#include "app/core/Cp1250.h"
#include "app/core/FileAccess.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace hz70 {
namespace {

using Lines = std::vector<std::string_view>;
using Remarks = std::vector<SettingsRemark>;

// Every key the file holds, in the order they are written.
constexpr std::array<std::string_view, 17> kKeys{
    "COM",    "Baud",  "Mode", "Type", "Timeout", "DevCount", "DevAddr", "DevName", "CheckL",
    "CheckR", "Okres", "MaxL", "MinL", "MaxR",    "MinR",     "FormatL", "FormatR",
};

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

int DigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    const char lower = LowerAscii(c);
    return lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : 99;
}

// Lines end at CR LF, at a lone LF or at a lone CR.
Lines SplitLines(std::string_view text) {
    Lines lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') {
            continue;
        }
        lines.push_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            ++i;
        }
        start = i + 1;
    }
    if (start < text.size()) {
        lines.push_back(text.substr(start));
    }
    return lines;
}

// The text after the first "=" of the first line whose key matches.
std::optional<std::string_view> Find(const Lines& lines, std::string_view key) {
    for (const std::string_view line : lines) {
        const std::size_t equals = line.find('=');
        if (equals != std::string_view::npos && EqualsIgnoringCase(line.substr(0, equals), key)) {
            return line.substr(equals + 1);
        }
    }
    return std::nullopt;
}

// A missing key gives the empty value.
std::string_view LookUp(const Lines& lines, std::string_view key) {
    return Find(lines, key).value_or(std::string_view{});
}

void ReadInteger(const Lines& lines, std::string_view key, int& holder, Remarks* remarks) {
    const auto text = Find(lines, key);
    if (!text) {
        return;
    }
    if (const auto value = ParseInteger(*text)) {
        holder = *value;
    } else if (remarks != nullptr) {
        remarks->push_back({SettingsRemark::Kind::NotANumber, std::string(key), Cp1250ToUtf8(*text), holder});
    }
}

// Takes the text before the next ";" off `rest`; nothing when no ";" is left.
std::optional<std::string_view> NextToken(std::string_view& rest) {
    const std::size_t semicolon = rest.find(';');
    if (semicolon == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view token = rest.substr(0, semicolon);
    rest.remove_prefix(semicolon + 1);
    return token;
}

// A slot whose ";" is missing takes the previous slot's token again.
void ReadAddresses(std::string_view rest, ZoneAddresses& addresses) {
    std::string_view token;
    for (int& address : addresses) {
        token = NextToken(rest).value_or(token);
        if (const auto value = ParseInteger(token)) {
            address = *value;
        }
    }
}

// A slot whose ";" is missing keeps its name. A name ends at a NUL byte as in a fixed C buffer. Each
// byte is one character, so the cut counts characters.
void ReadNames(std::string_view rest, ZoneNames& names) {
    if (rest.empty()) {
        return;
    }
    for (std::string& name : names) {
        if (const auto token = NextToken(rest)) {
            name = Cp1250ToUtf8(token->substr(0, token->find('\0')).substr(0, kZoneNameLength));
        }
    }
}

void Mend(std::string_view key, int& value, bool usable, int replacement, Remarks* remarks) {
    if (usable) {
        return;
    }
    if (remarks != nullptr) {
        remarks->push_back(
            {SettingsRemark::Kind::Mended, std::string(key), std::to_string(value), replacement});
    }
    value = replacement;
}

// Values outside what the link and the zone arrays can hold fall back to something they can.
void MendRanges(ProgramSettings& settings, Remarks* remarks) {
    const TTransSettings defaults = ProgramSettings{}.link;
    TTransSettings& link = settings.link;
    Mend("COM", link.COM, link.COM >= 0 && link.COM < kPortCount, defaults.COM, remarks);
    Mend("Baud", link.Baud, link.Baud >= 0 && link.Baud < static_cast<int>(kBaudTable.size()), defaults.Baud,
         remarks);
    Mend("Mode", link.Mode, link.Mode >= 0 && link.Mode < static_cast<int>(kModeTable.size()), defaults.Mode,
         remarks);
    ZoneList& zones = settings.zones;
    Mend("DevCount", zones.DevCount, zones.DevCount == zones.slotsInUse(), zones.slotsInUse(), remarks);
}

// A line of a key the file does not have is passed by; a typing slip in a key should not be.
void NoteUnknownKeys(const Lines& lines, Remarks& remarks) {
    for (const std::string_view line : lines) {
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            continue;
        }
        const std::string_view key = line.substr(0, equals);
        if (std::none_of(kKeys.begin(), kKeys.end(),
                         [key](std::string_view known) { return EqualsIgnoringCase(key, known); })) {
            remarks.push_back({SettingsRemark::Kind::UnknownKey, Cp1250ToUtf8(key),
                               Cp1250ToUtf8(line.substr(equals + 1)), std::nullopt});
        }
    }
}

// The text up to the last line end: a line cut off by a read that stopped part way is left out, so that
// a cut address or name list does not pass for a whole one.
std::string_view CompleteLines(std::string_view text) {
    const std::size_t lastEnd = text.find_last_of("\r\n");
    return lastEnd == std::string_view::npos ? std::string_view{} : text.substr(0, lastEnd + 1);
}

// A key missing from a file read whole empties the format; one that may lie beyond the point where
// a read stopped is not known to be missing, and the format keeps its default.
void ReadFormat(const Lines& lines, std::string_view key, bool fileReadWhole, std::string& holder) {
    const auto value = Find(lines, key);
    if (value || fileReadWhole) {
        holder = Cp1250ToUtf8(value.value_or(std::string_view{}));
    }
}

ProgramSettings ParseLines(const Lines& lines, bool fileReadWhole, Remarks* remarks) {
    ProgramSettings s;
    for (const auto& [key, holder] : {
             std::pair<std::string_view, int*>{"COM", &s.link.COM},
             {"Baud", &s.link.Baud},
             {"Mode", &s.link.Mode},
             {"Type", &s.link.Type},
             {"Timeout", &s.link.Timeout},
             {"DevCount", &s.zones.DevCount},
             {"CheckL", &s.chart.CheckL},
             {"CheckR", &s.chart.CheckR},
             {"Okres", &s.chart.Okres},
             {"MaxL", &s.chart.MaxL},
             {"MinL", &s.chart.MinL},
             {"MaxR", &s.chart.MaxR},
             {"MinR", &s.chart.MinR},
         }) {
        ReadInteger(lines, key, *holder, remarks);
    }
    ReadAddresses(LookUp(lines, "DevAddr"), s.zones.DevAddr);
    ReadNames(LookUp(lines, "DevName"), s.zones.DevName);
    ReadFormat(lines, "FormatL", fileReadWhole, s.chart.FormatL);
    ReadFormat(lines, "FormatR", fileReadWhole, s.chart.FormatR);
    MendRanges(s, remarks);
    if (remarks != nullptr) {
        NoteUnknownKeys(lines, *remarks);
    }
    return s;
}

void AppendLine(std::string& out, std::string_view key, std::string_view value) {
    out.append(key).append("=").append(value).append("\r\n");
}

std::string Decimal(int value) {
    return std::to_string(value);
}

} // namespace

std::optional<int> ParseInteger(std::string_view text) {
    std::size_t i = text.find_first_not_of(' ');
    if (i == std::string_view::npos) {
        return std::nullopt;
    }
    const bool negative = text[i] == '-';
    if (text[i] == '-' || text[i] == '+') {
        ++i;
    }
    int base = 10;
    if (text.substr(i, 1) == "$") {
        base = 16;
        i += 1;
    } else if (text.substr(i, 2) == "0x" || text.substr(i, 2) == "0X") {
        base = 16;
        i += 2;
    }
    if (i == text.size()) {
        return std::nullopt;
    }
    // Hexadecimal digits may fill all 32 bits; decimal ones only reach the signed range.
    const std::uint64_t limit = base == 16 ? 0xFFFF'FFFFu : 0x8000'0000u;
    std::uint64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const int digit = DigitValue(text[i]);
        if (digit >= base) {
            return std::nullopt;
        }
        magnitude = magnitude * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
        if (magnitude > limit) {
            return std::nullopt;
        }
    }
    if (base == 10 && !negative && magnitude == limit) {
        return std::nullopt;
    }
    // Wraps like a 32-bit integer: $FFFFFFFF is -1, -$FFFFFFFF is 1.
    const auto bits = static_cast<std::uint32_t>(magnitude);
    return static_cast<std::int32_t>(negative ? 0u - bits : bits);
}

ProgramSettings ParseSettingsFile(std::string_view bytes, std::vector<SettingsRemark>* remarks) {
    return ParseLines(SplitLines(bytes), true, remarks);
}

std::string FormatSettingsFile(const ProgramSettings& s) {
    std::string addresses;
    std::string names;
    for (int slot = 0; slot < kZoneSlots; ++slot) {
        addresses +=
            std::to_string(static_cast<unsigned>(s.zones.DevAddr[static_cast<std::size_t>(slot)])) + ";";
        names += s.zones.DevName[static_cast<std::size_t>(slot)] + ";";
    }
    std::string text;
    AppendLine(text, "COM", Decimal(s.link.COM));
    AppendLine(text, "Baud", Decimal(s.link.Baud));
    AppendLine(text, "Mode", Decimal(s.link.Mode));
    AppendLine(text, "Type", Decimal(s.link.Type));
    AppendLine(text, "Timeout", Decimal(s.link.Timeout));
    AppendLine(text, "DevCount", Decimal(s.zones.DevCount));
    AppendLine(text, "DevAddr", addresses);
    AppendLine(text, "DevName", names);
    AppendLine(text, "CheckL", Decimal(s.chart.CheckL));
    AppendLine(text, "CheckR", Decimal(s.chart.CheckR));
    AppendLine(text, "Okres", Decimal(s.chart.Okres));
    AppendLine(text, "MaxL", Decimal(s.chart.MaxL));
    AppendLine(text, "MinL", Decimal(s.chart.MinL));
    AppendLine(text, "MaxR", Decimal(s.chart.MaxR));
    AppendLine(text, "MinR", Decimal(s.chart.MinR));
    AppendLine(text, "FormatL", s.chart.FormatL);
    AppendLine(text, "FormatR", s.chart.FormatR);
    return Utf8ToCp1250(text);
}

std::optional<std::filesystem::path> FindSettingsFile(const std::filesystem::path& directory) {
    std::optional<std::filesystem::path> found;
    std::error_code error;
    for (auto entry = std::filesystem::directory_iterator(directory, error);
         !error && entry != std::filesystem::directory_iterator(); entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        if (name == kSettingsFileName) {
            return entry->path();
        }
        // Of several spellings, the same one is taken every time.
        if (EqualsIgnoringCase(name, kSettingsFileName) && (!found || name < found->filename().string())) {
            found = entry->path();
        }
    }
    if (!found && error) {
        // A directory that cannot be listed may still hold the file under its usual name.
        const std::filesystem::path usual = directory / kSettingsFileName;
        if (std::error_code ignored; std::filesystem::exists(usual, ignored)) {
            return usual;
        }
    }
    return found;
}

SettingsLoad LoadSettingsFile(const std::filesystem::path& directory) {
    SettingsLoad load;
    const auto file = FindSettingsFile(directory);
    if (!file) {
        return load;
    }
    load.file = *file;
    const std::string bytes = ReadSmallFile(*file, kMaxSettingsFileSize, load.error);
    load.settings = load.error ? ParseLines(SplitLines(CompleteLines(bytes)), false, &load.remarks)
                               : ParseSettingsFile(bytes, &load.remarks);
    return load;
}

std::error_code SaveSettingsFile(const std::filesystem::path& directory, const ProgramSettings& settings) {
    const std::filesystem::path file = FindSettingsFile(directory).value_or(directory / kSettingsFileName);
    return ReplaceFileContent(file, FormatSettingsFile(settings));
}

} // namespace hz70

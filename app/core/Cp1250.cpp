// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/Cp1250.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>

namespace hz70 {
namespace {

// Characters of the bytes 0x80..0xFF; below 0x80 the code page is ASCII.
constexpr std::array<char32_t, 128> kUpperHalf{
    0x20AC, 0x0081, 0x201A, 0x0083, 0x201E, 0x2026, 0x2020, 0x2021, 0x0088, 0x2030, 0x0160, 0x2039, 0x015A,
    0x0164, 0x017D, 0x0179, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x0098, 0x2122,
    0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A, 0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6,
    0x00A7, 0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B, 0x00B0, 0x00B1, 0x02DB, 0x0142,
    0x00B4, 0x00B5, 0x00B6, 0x00B7, 0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C, 0x0154,
    0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7, 0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD,
    0x00CE, 0x010E, 0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7, 0x0158, 0x016E, 0x00DA,
    0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF, 0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7,
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F, 0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4,
    0x0151, 0x00F6, 0x00F7, 0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,
};

void AppendUtf8(std::string& out, char32_t c) {
    const auto put = [&out](unsigned value) { out.push_back(static_cast<char>(value)); };
    if (c < 0x80) {
        put(c);
    } else if (c < 0x800) {
        put(0xC0 | (c >> 6));
        put(0x80 | (c & 0x3F));
    } else {
        put(0xE0 | (c >> 12));
        put(0x80 | ((c >> 6) & 0x3F));
        put(0x80 | (c & 0x3F));
    }
}

// The lead bytes of multi-byte UTF-8 sequences: which bits mark them, how many continuation bytes
// follow, and the smallest character the sequence may encode (anything below is an overlong form).
struct LeadForm {
    unsigned mask;
    unsigned marker;
    std::size_t extra;
    char32_t smallest;
};
constexpr std::array<LeadForm, 3> kLeadForms{{
    {0xE0, 0xC0, 1, 0x80},
    {0xF0, 0xE0, 2, 0x800},
    {0xF8, 0xF0, 3, 0x10000},
}};

// Decodes one well-formed UTF-8 character at the front of `text`; `length` receives its byte count.
std::optional<char32_t> DecodeUtf8(std::string_view text, std::size_t& length) {
    const auto lead = static_cast<unsigned char>(text[0]);
    length = 1;
    if (lead < 0x80) {
        return lead;
    }
    const auto form = std::find_if(kLeadForms.begin(), kLeadForms.end(),
                                   [lead](const LeadForm& f) { return (lead & f.mask) == f.marker; });
    if (form == kLeadForms.end() || text.size() <= form->extra) {
        return std::nullopt;
    }
    char32_t c = lead & ~form->mask & 0xFF;
    for (std::size_t i = 1; i <= form->extra; ++i) {
        const auto next = static_cast<unsigned char>(text[i]);
        if ((next & 0xC0) != 0x80) {
            return std::nullopt;
        }
        c = (c << 6) | (next & 0x3F);
    }
    if (c < form->smallest || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        return std::nullopt;
    }
    length = form->extra + 1;
    return c;
}

std::optional<char> EncodeCharacter(char32_t c) {
    if (c < 0x80) {
        return static_cast<char>(c);
    }
    const auto found = std::find(kUpperHalf.begin(), kUpperHalf.end(), c);
    if (found == kUpperHalf.end()) {
        return std::nullopt;
    }
    return static_cast<char>(0x80 + (found - kUpperHalf.begin()));
}

} // namespace

std::string Cp1250ToUtf8(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (const char byte : bytes) {
        const auto b = static_cast<unsigned char>(byte);
        AppendUtf8(text, b < 0x80 ? char32_t{b} : kUpperHalf[b - 0x80u]);
    }
    return text;
}

std::string Utf8ToCp1250(std::string_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    while (!text.empty()) {
        std::size_t length = 1;
        const auto c = DecodeUtf8(text, length);
        bytes.push_back(c ? EncodeCharacter(*c).value_or('?') : '?');
        text.remove_prefix(length);
    }
    return bytes;
}

std::string KeepCp1250Characters(std::string_view text) {
    std::string kept;
    kept.reserve(text.size());
    while (!text.empty()) {
        std::size_t length = 1;
        const auto c = DecodeUtf8(text, length);
        if (c && EncodeCharacter(*c)) {
            kept.append(text.substr(0, length));
        }
        text.remove_prefix(length);
    }
    return kept;
}

} // namespace hz70

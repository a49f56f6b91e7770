// SPDX-License-Identifier: GPL-3.0-or-later
#include "publish/Json.h"

#include "model/FixedText.h"
#include "model/Slohz70.h"

#include <cmath>
#include <cstdio>

namespace hz70::publish {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD"; // U+FFFD

bool Continuation(std::string_view text, std::size_t at, unsigned char low = 0x80,
                  unsigned char high = 0xBF) {
    if (at >= text.size()) {
        return false;
    }
    const auto byte = static_cast<unsigned char>(text[at]);
    return byte >= low && byte <= high;
}

// The length of the well-formed UTF-8 sequence at `at` (RFC 3629: no overlong forms, no surrogates,
// nothing above U+10FFFF), or 0.
std::size_t Utf8Length(std::string_view text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) {
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        return Continuation(text, at + 1) ? 2 : 0;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        const unsigned char low = lead == 0xE0 ? 0xA0 : 0x80;
        const unsigned char high = lead == 0xED ? 0x9F : 0xBF;
        return Continuation(text, at + 1, low, high) && Continuation(text, at + 2) ? 3 : 0;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        const unsigned char low = lead == 0xF0 ? 0x90 : 0x80;
        const unsigned char high = lead == 0xF4 ? 0x8F : 0xBF;
        return Continuation(text, at + 1, low, high) && Continuation(text, at + 2) &&
                       Continuation(text, at + 3)
                   ? 4
                   : 0;
    }
    return 0;
}

void AppendEscaped(std::string& json, char c) {
    switch (c) {
    case '"':
        json += "\\\"";
        return;
    case '\\':
        json += "\\\\";
        return;
    case '\n':
        json += "\\n";
        return;
    case '\t':
        json += "\\t";
        return;
    default:
        char code[8];
        std::snprintf(code, sizeof code, "\\u%04x", static_cast<unsigned>(static_cast<unsigned char>(c)));
        json += code;
    }
}

} // namespace

std::string JsonString(std::string_view text) {
    std::string json = "\"";
    for (std::size_t at = 0; at < text.size();) {
        const char c = text[at];
        if (c == '"' || c == '\\' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            AppendEscaped(json, c);
            ++at;
        } else if (const std::size_t length = Utf8Length(text, at); length > 0) {
            json += text.substr(at, length);
            at += length;
        } else {
            json += kReplacement;
            ++at;
        }
    }
    return json + '"';
}

std::string JsonNumber(double value, int decimals) {
    if (!std::isfinite(value) || IsNoValue(value)) {
        return "null";
    }
    return FixedText(value, 0, decimals);
}

std::string JsonArray(const std::vector<std::string>& elements) {
    std::string json = "[";
    for (const std::string& element : elements) {
        json += json.size() > 1 ? "," : "";
        json += element;
    }
    return json + ']';
}

JsonObject& JsonObject::member(std::string_view key, std::string_view json) {
    members_ += members_.empty() ? '{' : ',';
    members_ += JsonString(key);
    members_ += ':';
    members_ += json;
    return *this;
}

} // namespace hz70::publish

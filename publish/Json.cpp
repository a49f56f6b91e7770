// SPDX-License-Identifier: GPL-3.0-or-later
#include "publish/Json.h"

#include "model/FixedText.h"
#include "model/Slohz70.h"
#include "model/Utf8.h"

#include <cmath>
#include <cstdio>

namespace hz70::publish {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD"; // U+FFFD

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

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace hz70::publish {

// `text` as a JSON string in quotes: quotes, backslashes and control characters escaped, bytes that are
// no valid UTF-8 replaced by U+FFFD, so the result is valid JSON whatever the controller's name holds.
[[nodiscard]] std::string JsonString(std::string_view text);

// `value` with `decimals` digits after a point (never a comma, whatever the locale), or null when it
// is no number or stands for "no value".
[[nodiscard]] std::string JsonNumber(double value, int decimals);

// "[a,b]" from elements that are JSON already.
[[nodiscard]] std::string JsonArray(const std::vector<std::string>& elements);

// A JSON object written member by member, in the order given.
class JsonObject {
public:
    JsonObject& member(std::string_view key, std::string_view json);
    JsonObject& text(std::string_view key, std::string_view value) { return member(key, JsonString(value)); }
    JsonObject& number(std::string_view key, double value, int decimals) {
        return member(key, JsonNumber(value, decimals));
    }
    JsonObject& integer(std::string_view key, long long value) { return member(key, std::to_string(value)); }
    JsonObject& boolean(std::string_view key, bool value) { return member(key, value ? "true" : "false"); }
    [[nodiscard]] std::string json() const { return members_.empty() ? "{}" : members_ + '}'; }

private:
    std::string members_;
};

} // namespace hz70::publish

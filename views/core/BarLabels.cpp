// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/core/BarLabels.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

namespace hz70 {
namespace {

constexpr std::array<const char*, 8> kDefaultLabels{"STREFA1", "STREFA2", "STREFA3", "STREFA4",
                                                    "STREFA5", "STREFA6", "STREFA7", "STREFA8"};

std::string Grouped(long long whole, std::string_view groupSeparator) {
    std::string digits = std::to_string(whole);
    std::string text;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) {
            text += groupSeparator;
        }
        text += digits[i];
    }
    return text;
}

} // namespace

std::string DefaultBarLabel(int zoneIndex) {
    if (zoneIndex < 0 || zoneIndex >= static_cast<int>(kDefaultLabels.size())) {
        return {};
    }
    return kDefaultLabels[static_cast<std::size_t>(zoneIndex)];
}

std::string TemperatureBarLabel(const TRegulator& record) {
    return record.name + (record.fahrenheit == 0 ? "[°C]" : "[°F]");
}

std::string CurrentBarLabel(const TRegulator& record) {
    return record.name;
}

std::string BarValueText(double value, std::string_view decimalPoint, std::string_view groupSeparator) {
    const long long tenths = std::llround(value * 10.0);
    const long long magnitude = std::llabs(tenths);
    std::string text = tenths < 0 ? "-" : "";
    text += Grouped(magnitude / 10, groupSeparator);
    if (magnitude % 10 != 0) {
        text += decimalPoint;
        text += static_cast<char>('0' + magnitude % 10);
    }
    return text;
}

std::string LabelMarkup(std::string_view label) {
    std::string markup;
    markup.reserve(label.size());
    for (const char c : label) {
        switch (c) {
        case '&':
            markup += "&amp;";
            break;
        case '<':
            markup += "&lt;";
            break;
        case '>':
            markup += "&gt;";
            break;
        case ' ':
            markup += "\u00a0";
            break;
        default:
            markup += c;
        }
    }
    return markup;
}

std::vector<std::string> DistinctLabels(const std::vector<std::string>& labels) {
    std::vector<std::string> distinct;
    distinct.reserve(labels.size());
    for (std::string label : labels) {
        while (std::find(distinct.begin(), distinct.end(), label) != distinct.end()) {
            label += ' ';
        }
        distinct.push_back(std::move(label));
    }
    return distinct;
}

} // namespace hz70

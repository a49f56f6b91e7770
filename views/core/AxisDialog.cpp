// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/core/AxisDialog.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace hz70 {
namespace {

std::string_view Trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// The text with the locale's separator as ".", or nothing when it holds a point that is not one.
std::optional<std::string> WithPoint(std::string_view text, std::string_view decimalSeparator) {
    if (decimalSeparator != "." && text.find('.') != std::string_view::npos) {
        return std::nullopt;
    }
    const std::size_t at = decimalSeparator.empty() ? std::string_view::npos : text.find(decimalSeparator);
    if (at == std::string_view::npos) {
        return std::string(text);
    }
    std::string plain(text.substr(0, at));
    plain += '.';
    plain += text.substr(at + decimalSeparator.size());
    return plain;
}

void ApplyRange(ChartAxis& axis, const AxisSettings& settings, std::vector<std::string>& messages) {
    if (settings.maximum < settings.minimum) {
        messages.emplace_back(kAxisRangeReversed);
        return;
    }
    (void)SetAxisRange(axis, settings.minimum, settings.maximum); // a range in order is always taken
}

} // namespace

AxisSettings ReadAxisSettings(const ChartAxis& axis) {
    AxisSettings settings;
    settings.visible = axis.visible() ? 1 : 0;
    settings.logarithmic = axis.logarithmic() ? 1 : 0;
    settings.automatic = axis.automatic() ? 1 : 0;
    settings.autoMaximum = axis.automaticMaximum() ? 1 : 0;
    settings.autoMinimum = axis.automaticMinimum() ? 1 : 0;
    settings.maximum = TruncateToInt(axis.maximum());
    settings.minimum = TruncateToInt(axis.minimum());
    settings.format = axis.labelFormat();
    return settings;
}

std::optional<int> ParseAxisLimit(std::string_view text, std::string_view decimalSeparator) {
    text = Trimmed(text);
    if (text.starts_with('+') && !text.substr(1).starts_with('-')) {
        text.remove_prefix(1);
    }
    const std::optional<std::string> plain = WithPoint(text, decimalSeparator);
    if (!plain || plain->empty()) {
        return std::nullopt;
    }
    double value = 0.0;
    const char* end = plain->data() + plain->size();
    const auto [stop, error] = std::from_chars(plain->data(), end, value);
    if (error != std::errc() || stop != end || !std::isfinite(value)) {
        return std::nullopt;
    }
    const double truncated = std::trunc(value);
    if (truncated < std::numeric_limits<int>::min() || truncated > std::numeric_limits<int>::max()) {
        return std::nullopt;
    }
    return static_cast<int>(truncated);
}

bool StoreAxisControls(const AxisControls& controls, AxisSettings& settings,
                       std::string_view decimalSeparator) {
    settings.visible = controls.visible ? 1 : 0;
    settings.logarithmic = controls.logarithmic ? 1 : 0;
    settings.automatic = controls.automatic ? 1 : 0;
    settings.autoMaximum = controls.autoMaximum ? 1 : 0;
    settings.autoMinimum = controls.autoMinimum ? 1 : 0;
    bool numbers = true;
    if (!controls.autoMinimum) {
        const std::optional<int> minimum = ParseAxisLimit(controls.minimumText, decimalSeparator);
        numbers = minimum.has_value();
        settings.minimum = minimum.value_or(settings.minimum);
    }
    if (numbers && !controls.autoMaximum) {
        const std::optional<int> maximum = ParseAxisLimit(controls.maximumText, decimalSeparator);
        numbers = maximum.has_value();
        settings.maximum = maximum.value_or(settings.maximum);
    }
    settings.format = controls.format;
    return numbers;
}

AxisControlsEnabled EnabledAxisControls(bool automatic, bool autoMaximum, bool autoMinimum) {
    return {!automatic && !autoMaximum, !automatic && !autoMinimum, !automatic};
}

AxisDialogOutcome ApplyAxisSettings(ChartAxis& left, ChartAxis& right, const AxisSettings& l,
                                    const AxisSettings& r) {
    AxisDialogOutcome outcome;
    left.SetVisible(l.visible != 0);
    right.SetVisible(r.visible != 0);
    for (const auto& [axis, settings] : {std::pair{&left, &l}, std::pair{&right, &r}}) {
        outcome.refusal = axis->SetLogarithmic(settings->logarithmic != 0);
        if (!outcome.complete()) {
            return outcome;
        }
    }
    left.SetAutomatic(l.automatic != 0);
    right.SetAutomatic(r.automatic != 0);
    left.SetAutomaticMaximum(l.autoMaximum != 0);
    right.SetAutomaticMaximum(r.autoMaximum != 0);
    left.SetAutomaticMinimum(l.autoMinimum != 0);
    right.SetAutomaticMinimum(r.autoMinimum != 0);
    ApplyRange(right, r, outcome.messages);
    ApplyRange(left, l, outcome.messages);
    left.SetLabelFormat(l.format);
    right.SetLabelFormat(r.format);
    return outcome;
}

} // namespace hz70

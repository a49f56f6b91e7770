// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/core/FloatMask.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <vector>

namespace hz70 {
namespace {

// Larger numbers have more digits than a mask places sensibly; they fall back to the general form.
constexpr double kLargestFixed = 1e18;

struct MaskToken {
    enum Kind { kLiteral, kIntegerDigit, kFractionDigit, kPoint, kExponent };
    Kind kind = kLiteral;
    std::string text;
};

struct MaskPattern {
    std::vector<MaskToken> tokens;
    int integerPlaces = 0;
    int minimumIntegerDigits = 0;
    int fractionPlaces = 0;
    int minimumFractionDigits = 0;
    bool grouping = false;
    bool scientific = false;
    char exponentLetter = 'E';
    bool exponentAlwaysSigned = false;
    int exponentDigits = 0;
};

// The digits of a number laid out for a mask: integer digits without leading zeros ("" for 0),
// fraction digits to the mask's places, and the power of ten in scientific notation.
struct MaskDigits {
    std::string integer;
    std::string fraction;
    int exponent = 0;
};

void AppendLiteral(MaskPattern& pattern, std::string_view text) {
    if (!pattern.tokens.empty() && pattern.tokens.back().kind == MaskToken::kLiteral) {
        pattern.tokens.back().text += text;
        return;
    }
    pattern.tokens.push_back({MaskToken::kLiteral, std::string(text)});
}

MaskPattern ParseSection(std::string_view section) {
    MaskPattern pattern;
    bool afterPoint = false;
    int firstIntegerZero = -1;
    for (std::size_t i = 0; i < section.size(); ++i) {
        const char c = section[i];
        if (pattern.scientific) {
            AppendLiteral(pattern, section.substr(i, 1));
        } else if (c == '"' || c == '\'') {
            const std::size_t end = std::min(section.find(c, i + 1), section.size());
            AppendLiteral(pattern, section.substr(i + 1, end - i - 1));
            i = end;
        } else if ((c == '0' || c == '#') && !afterPoint) {
            if (c == '0' && firstIntegerZero < 0) {
                firstIntegerZero = pattern.integerPlaces;
            }
            ++pattern.integerPlaces;
            pattern.tokens.push_back({MaskToken::kIntegerDigit, {}});
        } else if (c == '0' || c == '#') {
            ++pattern.fractionPlaces;
            if (c == '0') {
                pattern.minimumFractionDigits = pattern.fractionPlaces;
            }
            pattern.tokens.push_back({MaskToken::kFractionDigit, {}});
        } else if (c == '.') {
            if (!afterPoint) {
                afterPoint = true;
                pattern.tokens.push_back({MaskToken::kPoint, {}});
            }
        } else if (c == ',') {
            pattern.grouping = pattern.grouping || !afterPoint;
        } else if ((c == 'E' || c == 'e') && i + 1 < section.size() &&
                   (section[i + 1] == '+' || section[i + 1] == '-')) {
            pattern.scientific = true;
            pattern.exponentLetter = c;
            pattern.exponentAlwaysSigned = section[i + 1] == '+';
            i += 2;
            while (i < section.size() && section[i] == '0') {
                ++pattern.exponentDigits;
                ++i;
            }
            --i;
            pattern.tokens.push_back({MaskToken::kExponent, {}});
        } else {
            AppendLiteral(pattern, section.substr(i, 1));
        }
    }
    pattern.minimumIntegerDigits = firstIntegerZero < 0 ? 0 : pattern.integerPlaces - firstIntegerZero;
    return pattern;
}

std::vector<std::string_view> SplitSections(std::string_view mask) {
    std::vector<std::string_view> sections;
    std::size_t start = 0;
    char quote = 0;
    for (std::size_t i = 0; i < mask.size(); ++i) {
        if (quote != 0) {
            quote = mask[i] == quote ? 0 : quote;
        } else if (mask[i] == '"' || mask[i] == '\'') {
            quote = mask[i];
        } else if (mask[i] == ';' && sections.size() < 2) {
            sections.push_back(mask.substr(start, i - start));
            start = i + 1;
        }
    }
    sections.push_back(mask.substr(start));
    return sections;
}

// The exponent after the "e" of a number written by ToChars (the text is not NUL-terminated).
int ExponentOf(std::string_view text, std::size_t e) {
    std::string_view digits = text.substr(e + 1);
    if (digits.starts_with('+')) {
        digits.remove_prefix(1);
    }
    int exponent = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), exponent);
    return exponent;
}

// `value` with `precision` places. A double holds about 17 significant digits, so places past a few
// hundred are zeros: they are added after, and no mask, however long, overflows the conversion.
std::string ToChars(double value, std::chars_format format, int precision) {
    constexpr int kMaxPrecision = 400; // with 19 integer digits or an exponent, well inside the buffer
    std::array<char, 512> buffer;
    const int written = std::min(precision, kMaxPrecision);
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, format, written);
    std::string text(buffer.data(), result.ptr);
    if (precision > written) {
        const std::size_t e = text.find('e');
        text.insert(e == std::string::npos ? text.size() : e, static_cast<std::size_t>(precision - written),
                    '0');
    }
    return text;
}

MaskDigits FixedDigits(double magnitude, int fractionPlaces) {
    const std::string text = ToChars(magnitude, std::chars_format::fixed, fractionPlaces);
    const std::size_t point = std::min(text.find('.'), text.size());
    MaskDigits digits;
    digits.integer = std::string(text.substr(0, point));
    if (digits.integer == "0") {
        digits.integer.clear();
    }
    if (point < text.size()) {
        digits.fraction = std::string(text.substr(point + 1));
    }
    return digits;
}

MaskDigits ScientificDigits(double magnitude, int integerPlaces, int fractionPlaces) {
    const int leading = std::max(1, integerPlaces);
    const std::string text = ToChars(magnitude, std::chars_format::scientific, leading - 1 + fractionPlaces);
    const std::size_t e = text.find('e');
    std::string mantissa;
    std::copy_if(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(e), std::back_inserter(mantissa),
                 [](char c) { return c != '.'; });
    // The mask's leading places take as many digits; the exponent shrinks by the extra ones.
    MaskDigits digits;
    digits.integer = mantissa.substr(0, static_cast<std::size_t>(leading));
    digits.fraction = mantissa.substr(static_cast<std::size_t>(leading));
    digits.exponent = magnitude == 0.0 ? 0 : ExponentOf(text, e) - (leading - 1);
    return digits;
}

MaskDigits DigitsFor(const MaskPattern& pattern, double magnitude) {
    return pattern.scientific ? ScientificDigits(magnitude, pattern.integerPlaces, pattern.fractionPlaces)
                              : FixedDigits(magnitude, pattern.fractionPlaces);
}

bool IsZero(const MaskDigits& digits) {
    const auto zero = [](char c) { return c == '0'; };
    return std::all_of(digits.integer.begin(), digits.integer.end(), zero) &&
           std::all_of(digits.fraction.begin(), digits.fraction.end(), zero);
}

class MaskWriter {
public:
    MaskWriter(const MaskPattern& pattern, MaskDigits digits, std::string_view decimalSeparator,
               std::string_view groupSeparator)
        : pattern_(pattern), digits_(std::move(digits)), decimalSeparator_(decimalSeparator),
          groupSeparator_(groupSeparator) {
        while (static_cast<int>(digits_.fraction.size()) > pattern_.minimumFractionDigits &&
               digits_.fraction.back() == '0') {
            digits_.fraction.pop_back();
        }
        if (static_cast<int>(digits_.integer.size()) < pattern_.minimumIntegerDigits) {
            digits_.integer.insert(
                0, static_cast<std::size_t>(pattern_.minimumIntegerDigits) - digits_.integer.size(), '0');
        }
    }

    std::string Write() {
        int integerIndex = 0;
        int fractionIndex = 0;
        bool integerWritten = pattern_.integerPlaces > 0;
        for (const MaskToken& token : pattern_.tokens) {
            switch (token.kind) {
            case MaskToken::kLiteral:
                out_ += token.text;
                break;
            case MaskToken::kIntegerDigit:
                WriteIntegerPlace(integerIndex++);
                break;
            case MaskToken::kPoint:
                if (!integerWritten) {
                    WriteIntegerDigits(0, static_cast<int>(digits_.integer.size()));
                    integerWritten = true;
                }
                if (!digits_.fraction.empty()) {
                    out_ += decimalSeparator_;
                }
                break;
            case MaskToken::kFractionDigit:
                if (fractionIndex < static_cast<int>(digits_.fraction.size())) {
                    out_ += digits_.fraction[static_cast<std::size_t>(fractionIndex)];
                }
                ++fractionIndex;
                break;
            case MaskToken::kExponent:
                WriteExponent();
                break;
            }
        }
        if (!integerWritten) {
            WriteIntegerDigits(0, static_cast<int>(digits_.integer.size()));
        }
        return std::move(out_);
    }

private:
    // Integer digits fill the places from the right; the leftmost place takes any digits left over.
    void WriteIntegerPlace(int place) {
        const int count = static_cast<int>(digits_.integer.size());
        const int last = count - pattern_.integerPlaces + place;
        const int first = place == 0 ? 0 : last;
        WriteIntegerDigits(std::max(first, 0), std::max(last + 1, 0));
    }

    void WriteIntegerDigits(int first, int end) {
        const int count = static_cast<int>(digits_.integer.size());
        for (int k = first; k < end; ++k) {
            out_ += digits_.integer[static_cast<std::size_t>(k)];
            const int toTheRight = count - 1 - k;
            if (pattern_.grouping && toTheRight > 0 && toTheRight % 3 == 0) {
                out_ += groupSeparator_;
            }
        }
    }

    void WriteExponent() {
        out_ += pattern_.exponentLetter;
        if (digits_.exponent < 0) {
            out_ += '-';
        } else if (pattern_.exponentAlwaysSigned) {
            out_ += '+';
        }
        std::string number = std::to_string(std::abs(digits_.exponent));
        if (static_cast<int>(number.size()) < pattern_.exponentDigits) {
            number.insert(0, static_cast<std::size_t>(pattern_.exponentDigits) - number.size(), '0');
        }
        out_ += number;
    }

    const MaskPattern& pattern_;
    MaskDigits digits_;
    std::string_view decimalSeparator_;
    std::string_view groupSeparator_;
    std::string out_;
};

std::string GeneralForm(double value, std::string_view decimalSeparator) {
    if (std::isnan(value)) {
        return "NAN";
    }
    if (std::isinf(value)) {
        return value < 0 ? "-INF" : "INF";
    }
    const std::string text = ToChars(value + 0.0, std::chars_format::general, 15); // no "-0"
    const std::size_t e = std::min(text.find('e'), text.size());
    std::string out;
    for (const char c : text.substr(0, e)) {
        if (c == '.') {
            out += decimalSeparator;
        } else {
            out += c;
        }
    }
    if (e < text.size()) {
        const int exponent = ExponentOf(text, e);
        out += 'E';
        out += std::to_string(exponent);
    }
    return out;
}

} // namespace

std::string FormatFloatMask(std::string_view mask, double value, std::string_view decimalSeparator,
                            std::string_view groupSeparator) {
    const std::vector<std::string_view> sections = SplitSections(mask);
    const MaskPattern positive = ParseSection(sections[0]);
    if (mask.empty() || !std::isfinite(value) ||
        (!positive.scientific && std::fabs(value) >= kLargestFixed)) {
        return GeneralForm(value, decimalSeparator);
    }
    const double magnitude = std::fabs(value);
    MaskDigits digits = DigitsFor(positive, magnitude);
    if (IsZero(digits)) {
        if (sections.size() > 2 && !sections[2].empty()) {
            const MaskPattern zero = ParseSection(sections[2]);
            return MaskWriter(zero, DigitsFor(zero, 0.0), decimalSeparator, groupSeparator).Write();
        }
        return MaskWriter(positive, std::move(digits), decimalSeparator, groupSeparator).Write();
    }
    if (value < 0 && sections.size() > 1 && !sections[1].empty()) {
        const MaskPattern negative = ParseSection(sections[1]);
        // The negative section may be a fixed one beside a scientific positive one.
        if (!negative.scientific && magnitude >= kLargestFixed) {
            return GeneralForm(value, decimalSeparator);
        }
        return MaskWriter(negative, DigitsFor(negative, magnitude), decimalSeparator, groupSeparator).Write();
    }
    const std::string text =
        MaskWriter(positive, std::move(digits), decimalSeparator, groupSeparator).Write();
    return value < 0 ? "-" + text : text;
}

} // namespace hz70

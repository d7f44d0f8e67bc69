#include "tools/report/money.h"

#include <cstdint>
#include <cstdlib>

#include "base/format.h"

namespace tt {

Money Money::FromCents(int64_t cents) {
    int64_t whole = cents / 100;
    int64_t rest = cents % 100;
    if (rest < 0) {
        rest += 100;
        --whole;
    }
    return Money(whole, rest * (kFractionScale / 100));
}

namespace {

bool ParsePlain(std::string_view text, char decimalSeparator, int64_t& whole, int64_t& fraction) {
    size_t i = 0;
    uint64_t w = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i)
        w = w * 10 + static_cast<uint64_t>(text[i] - '0');
    if (i == 0 || i > static_cast<size_t>(Money::kMaxWholeDigits)) return false;
    uint64_t f = 0;
    size_t fractionDigits = 0;
    if (i < text.size()) {
        if (text[i] != decimalSeparator) return false;
        for (++i; i < text.size() && IsDigit(text[i]); ++i) {
            f = f * 10 + static_cast<uint64_t>(text[i] - '0');
            ++fractionDigits;
        }
        if (i != text.size() || fractionDigits > 18) return false;
    }
    whole = static_cast<int64_t>(w);
    fraction = static_cast<int64_t>(f) * Money::PowerOfTen(static_cast<int>(18 - fractionDigits));
    return true;
}

}  // namespace

std::optional<Money> Money::Parse(std::string_view text, char decimalSeparator) {
    int64_t plainWhole = 0;
    int64_t plainFraction = 0;
    if (ParsePlain(text, decimalSeparator, plainWhole, plainFraction))
        return Money(plainWhole, plainFraction);
    text = Trim(text);
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    // The mantissa's digits are the two runs on either side of the separator; the decimal
    // point sits after `point` of them once the exponent has moved it.
    const size_t intStart = i;
    while (i < text.size() && IsDigit(text[i])) ++i;
    const std::string_view intDigits = text.substr(intStart, i - intStart);
    std::string_view fracDigits;
    if (i < text.size() && text[i] == decimalSeparator) {
        const size_t fracStart = ++i;
        while (i < text.size() && IsDigit(text[i])) ++i;
        fracDigits = text.substr(fracStart, i - fracStart);
    }
    if (intDigits.empty() && fracDigits.empty()) return std::nullopt;
    int64_t exponent = 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool expNegative = false;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) expNegative = text[i++] == '-';
        const size_t expStart = i;
        for (; i < text.size() && IsDigit(text[i]); ++i) {
            // Beyond a few hundred the value is out of range or rounds to 0 either way.
            if (exponent < 100000) exponent = exponent * 10 + (text[i] - '0');
        }
        if (i == expStart) return std::nullopt;
        if (expNegative) exponent = -exponent;
    }
    if (i != text.size()) return std::nullopt;

    const int64_t digitCount = static_cast<int64_t>(intDigits.size() + fracDigits.size());
    auto digit = [&](int64_t at) -> int {
        if (at < 0 || at >= digitCount) return 0;
        const size_t k = static_cast<size_t>(at);
        return (k < intDigits.size() ? intDigits[k] : fracDigits[k - intDigits.size()]) - '0';
    };
    const int64_t point = static_cast<int64_t>(intDigits.size()) + exponent;

    uint64_t whole = 0;
    int wholeDigits = 0;
    for (int64_t at = 0; at < point && at < digitCount + 1; ++at) {
        if (at >= digitCount) {
            // Zeros the exponent appends: count them without a loop of its length.
            if (whole != 0 && wholeDigits + (point - at) > kMaxWholeDigits) return std::nullopt;
            for (int64_t k = at; k < point && whole != 0; ++k) {
                whole *= 10;
                ++wholeDigits;
            }
            break;
        }
        whole = whole * 10 + static_cast<uint64_t>(digit(at));
        if (whole != 0 && ++wholeDigits > kMaxWholeDigits) return std::nullopt;
    }
    int64_t fraction = 0;
    for (int64_t k = 0; k < 18; ++k) fraction = fraction * 10 + digit(point + k);
    if (digit(point + 18) >= 5) {
        if (++fraction == kFractionScale) {
            fraction = 0;
            ++whole;
        }
    }
    int64_t signedWhole = static_cast<int64_t>(whole);
    if (negative && (whole != 0 || fraction != 0)) {
        signedWhole = -signedWhole;
        if (fraction != 0) {
            --signedWhole;
            fraction = kFractionScale - fraction;
        }
    }
    return Money(signedWhole, fraction);
}

void Money::Magnitude(uint64_t& whole, int64_t& fraction) const {
    if (whole_ >= 0) {
        whole = static_cast<uint64_t>(whole_);
        fraction = fraction_;
    } else if (fraction_ == 0) {
        whole = 0 - static_cast<uint64_t>(whole_);
        fraction = 0;
    } else {
        whole = 0 - static_cast<uint64_t>(whole_ + 1);
        fraction = kFractionScale - fraction_;
    }
}

namespace {

// The magnitude in whole hundredths, rounded half up; false when it does not fit.
bool MagnitudeCents(uint64_t whole, int64_t fraction, uint64_t& cents) {
    constexpr int64_t kCent = Money::kFractionScale / 100;
    const uint64_t part =
        static_cast<uint64_t>(fraction / kCent + (fraction % kCent >= kCent / 2 ? 1 : 0));
    return !__builtin_mul_overflow(whole, uint64_t{100}, &cents) &&
           !__builtin_add_overflow(cents, part, &cents);
}

}  // namespace

int64_t Money::Cents() const {
    uint64_t whole = 0;
    int64_t fraction = 0;
    Magnitude(whole, fraction);
    uint64_t cents = 0;
    if (!MagnitudeCents(whole, fraction, cents) || cents > uint64_t{INT64_MAX})
        return IsNegative() ? -INT64_MAX : INT64_MAX;
    return IsNegative() ? -static_cast<int64_t>(cents) : static_cast<int64_t>(cents);
}

std::string Money::Fixed2(char separator) const {
    uint64_t whole = 0;
    int64_t fraction = 0;
    Magnitude(whole, fraction);
    // Rounding may carry into the whole units, which hold any value the sums reach.
    constexpr int64_t kCent = kFractionScale / 100;
    uint64_t cents = static_cast<uint64_t>(fraction / kCent + (fraction % kCent >= kCent / 2));
    if (cents == 100) {
        cents = 0;
        ++whole;
    }
    std::string text = IsNegative() && (whole != 0 || cents != 0) ? "-" : "";
    text += std::to_string(whole);
    text += separator;
    text += static_cast<char>('0' + cents / 10);
    text += static_cast<char>('0' + cents % 10);
    return text;
}

std::string Money::Exact(char separator) const {
    uint64_t whole = 0;
    int64_t fraction = 0;
    Magnitude(whole, fraction);
    std::string text = IsNegative() ? "-" : "";
    text += std::to_string(whole);
    if (fraction != 0) {
        std::string digits = std::to_string(fraction);
        digits.insert(0, 18 - digits.size(), '0');
        digits.erase(digits.find_last_not_of('0') + 1);
        text += separator;
        text += digits;
    }
    return text;
}

int64_t DivideRounded(int64_t numerator, int64_t denominator) {
    const int64_t quotient = numerator / denominator;
    const int64_t rest = numerator % denominator;
    if (2 * std::llabs(rest) >= denominator) return quotient + (numerator < 0 ? -1 : 1);
    return quotient;
}

}  // namespace tt

#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tt {

// An amount of money kept as the decimal it is written as: whole units and the fraction in
// units of 10^-18. A thousand costs of 0,29 add up to exactly 290, which binary fractions
// never quite do.
class Money {
  public:
    static constexpr int64_t kFractionScale = 1'000'000'000'000'000'000;
    // The largest whole part a single amount may have: what the log writes in fixed point.
    static constexpr int64_t kMaxWholeDigits = 15;

    Money() = default;
    static Money FromCents(int64_t cents);
    // A non-negative amount from its whole units and its fraction in 10^-18 units
    // (0..kFractionScale-1), for readers that have taken the digits apart themselves.
    static Money FromParts(int64_t whole, int64_t fraction) { return Money(whole, fraction); }
    // 10^n for n of 0..18.
    static int64_t PowerOfTen(int n) { return kPowersOfTen[n]; }

    // The cost field as the log writes it: an optional sign, digits with at most one
    // `decimalSeparator`, an optional exponent (E or e), blanks around ignored. Digits past
    // the 18th decimal are rounded half away from zero. Nothing for anything else, and for
    // amounts of more than 15 whole digits.
    static std::optional<Money> Parse(std::string_view text, char decimalSeparator);

    // Adds `other`; false, leaving this one alone, when the sum would not fit. Inline: a
    // summary adds a million of these.
    bool Add(const Money& other) {
        int64_t fraction = fraction_ + other.fraction_;
        int64_t carry = 0;
        if (fraction >= kFractionScale) {
            fraction -= kFractionScale;
            carry = 1;
        }
        int64_t whole = 0;
        if (__builtin_add_overflow(whole_, other.whole_, &whole) ||
            __builtin_add_overflow(whole, carry, &whole))
            return false;
        whole_ = whole;
        fraction_ = fraction;
        return true;
    }

    bool IsNegative() const { return whole_ < 0; }
    // Rounded half away from zero to hundredths.
    int64_t Cents() const;
    // Two decimals with `separator`: "290,00", "-1,45".
    std::string Fixed2(char separator) const;
    // Every digit there is and no trailing zero, as a JSON or CSV number: "0.295", "12", "-0.5".
    std::string Exact(char separator) const;

    bool operator==(const Money&) const = default;

  private:
    static constexpr int64_t kPowersOfTen[] = {1,
                                               10,
                                               100,
                                               1000,
                                               10000,
                                               100000,
                                               1000000,
                                               10000000,
                                               100000000,
                                               1000000000,
                                               10000000000,
                                               100000000000,
                                               1000000000000,
                                               10000000000000,
                                               100000000000000,
                                               1000000000000000,
                                               10000000000000000,
                                               100000000000000000,
                                               1000000000000000000};

    Money(int64_t whole, int64_t fraction) : whole_(whole), fraction_(fraction) {}
    // The magnitude as whole units and fraction, and the sign apart.
    void Magnitude(uint64_t& whole, int64_t& fraction) const;

    int64_t whole_ = 0;     // the value rounded towards minus infinity
    int64_t fraction_ = 0;  // 0..kFractionScale-1, added to whole_
};

// Rounds numerator / denominator half away from zero; denominator > 0.
int64_t DivideRounded(int64_t numerator, int64_t denominator);

}  // namespace tt

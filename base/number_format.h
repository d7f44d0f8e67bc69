#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "base/locale_formats.h"

namespace tt {

// General format: 15 significant digits, no trailing zeros, the locale's decimal separator,
// fixed-point from 1E-5 up to 15 digits before the separator, scientific outside that range.
std::string FloatToStr(long double value, const FormatSettings& fs);
// The same digits, never in scientific notation, for files whose readers take none: a value
// below 1E-5 is written with at most 18 decimals (what is smaller reads 0), a huge one whole,
// and one that is not finite as 0.
inline constexpr int kMostPlainDecimals = 18;
std::string FloatToPlainStr(long double value, const FormatSettings& fs);
// An amount of money as people read it: rounded to whole hundredths, always two decimals after
// the locale's separator ("1,45", "0,30"); one that is not finite or will not fit as 0,00.
std::string MoneyToStr(long double value, const FormatSettings& fs);
// Optional sign, digits with at most one DecimalSeparator, optional exponent (E or e); the
// whole text (surrounding blanks aside) must be the number.
bool TryStrToFloat(std::string_view text, const FormatSettings& fs, long double& out);

std::string IntToStr(int64_t value);
// A signed decimal 32-bit integer, or "0x"/"0X" followed by up to eight hex digits (taken as
// the 32 bits of the value, so 0xFFFFFFFF is -1).
bool TryStrToInt(std::string_view text, int32_t& out);
// Only a signed decimal 32-bit integer, no blanks.
bool TryDecimalToInt(std::string_view text, int32_t& out);

}  // namespace tt

#include "base/number_format.h"

#include <cerrno>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "base/text.h"

namespace tt {

std::string FloatToStr(long double value, const FormatSettings& fs) {
    // Fifteen significant digits fit a double exactly, and every platform prints doubles the
    // same way, which is not true of long doubles.
    const double d = static_cast<double>(value);
    if (std::isnan(d)) return "NAN";
    if (std::isinf(d)) return d < 0 ? "-INF" : "INF";
    if (d == 0) return "0";
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.14e", d);
    // buf: [-]D.DDDDDDDDDDDDDDe[+-]XX
    const char* q = buf;
    const bool negative = *q == '-';
    if (negative) ++q;
    std::string digits;
    for (; *q != 'e'; ++q) {
        if (IsDigit(*q)) digits += *q;
    }
    const int exponent = std::atoi(q + 1);
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

    std::string out;
    if (negative) out += '-';
    if (exponent >= -5 && exponent < 15) {
        if (exponent >= 0) {
            const size_t intDigits = static_cast<size_t>(exponent) + 1;
            if (digits.size() <= intDigits) {
                out += digits;
                out.append(intDigits - digits.size(), '0');
            } else {
                out.append(digits, 0, intDigits);
                out += fs.DecimalSeparator;
                out.append(digits, intDigits);
            }
        } else {
            out += '0';
            out += fs.DecimalSeparator;
            out.append(static_cast<size_t>(-exponent - 1), '0');
            out += digits;
        }
    } else {
        out += digits[0];
        if (digits.size() > 1) {
            out += fs.DecimalSeparator;
            out.append(digits, 1);
        }
        out += 'E';
        if (exponent < 0) out += '-';
        out += std::to_string(exponent < 0 ? -exponent : exponent);
    }
    return out;
}

std::string MoneyToStr(long double value, const FormatSettings& fs) {
    long double cents = std::round(value * 100);
    // Far beyond any bill, and it keeps the conversion below defined.
    if (!std::isfinite(cents) || std::fabs(cents) > 1e17L) cents = 0;
    const auto whole = static_cast<int64_t>(cents);
    const int64_t hundredths = whole < 0 ? -whole : whole;
    char part[8];
    std::snprintf(part, sizeof part, "%c%02d", fs.DecimalSeparator,
                  static_cast<int>(hundredths % 100));
    return (whole < 0 ? "-" : "") + std::to_string(hundredths / 100) + part;
}

std::string FloatToPlainStr(long double value, const FormatSettings& fs) {
    const double d = static_cast<double>(value);
    if (!std::isfinite(d)) return "0";
    const double magnitude = std::fabs(d);
    // Below 1E14 the general format is fixed-point even after rounding to 15 digits.
    if (magnitude == 0 || (magnitude >= 1e-5 && magnitude < 1e14)) return FloatToStr(value, fs);
    const int exponent = static_cast<int>(std::floor(std::log10(magnitude)));
    const int decimals = std::clamp(14 - exponent, 0, kMostPlainDecimals);
    char buf[400];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, d);
    std::string out = buf;
    if (const size_t point = out.find('.'); point != std::string::npos) {
        while (out.back() == '0') out.pop_back();
        if (out.size() == point + 1) {
            out.pop_back();
        } else {
            out[point] = fs.DecimalSeparator;
        }
    }
    return out == "-0" ? "0" : out;
}

bool TryStrToFloat(std::string_view text, const FormatSettings& fs, long double& out) {
    const std::string_view t = Trim(text);
    std::string norm;
    norm.reserve(t.size());
    size_t i = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
        if (t[i] == '-') norm += '-';
        ++i;
    }
    size_t mantissaDigits = 0;
    while (i < t.size() && IsDigit(t[i])) {
        norm += t[i++];
        ++mantissaDigits;
    }
    if (i < t.size() && t[i] == fs.DecimalSeparator) {
        norm += '.';
        ++i;
        while (i < t.size() && IsDigit(t[i])) {
            norm += t[i++];
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0) return false;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        norm += 'e';
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) norm += t[i++];
        size_t expDigits = 0;
        while (i < t.size() && IsDigit(t[i])) {
            norm += t[i++];
            ++expDigits;
        }
        if (expDigits == 0) return false;
    }
    if (i != t.size()) return false;
#ifdef __MINGW32__
    // MinGW's from_chars reads a long double through a double, losing the extended digits
    // that prices are kept in; its own strtold reads all of them.
    errno = 0;
    char* end = nullptr;
    const long double v = __mingw_strtold(norm.c_str(), &end);
    if (errno == ERANGE || end != norm.c_str() + norm.size()) return false;
#else
    long double v = 0;
    const auto [end, ec] = std::from_chars(norm.data(), norm.data() + norm.size(), v);
    if (ec != std::errc() || end != norm.data() + norm.size()) return false;
#endif
    out = v;
    return true;
}

std::string IntToStr(int64_t value) {
    return std::to_string(value);
}

bool TryDecimalToInt(std::string_view t, int32_t& out) {
    size_t i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
    if (i == t.size()) return false;
    int64_t v = 0;
    for (; i < t.size(); ++i) {
        if (!IsDigit(t[i])) return false;
        v = v * 10 + (t[i] - '0');
        if (v > int64_t{INT32_MAX} + 1) return false;
    }
    if (negative) v = -v;
    if (v > INT32_MAX || v < INT32_MIN) return false;
    out = static_cast<int32_t>(v);
    return true;
}

bool TryStrToInt(std::string_view t, int32_t& out) {
    if (t.size() >= 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
        const std::string_view hex = t.substr(2);
        if (hex.empty() || hex.size() > 8) return false;
        uint32_t v = 0;
        const auto [end, ec] = std::from_chars(hex.data(), hex.data() + hex.size(), v, 16);
        if (ec != std::errc() || end != hex.data() + hex.size()) return false;
        out = static_cast<int32_t>(v);
        return true;
    }
    return TryDecimalToInt(t, out);
}

}  // namespace tt

#include "base/format.h"

#include <cerrno>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <langinfo.h>
#include <locale.h>
#endif

namespace tt {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (prefix.empty() || text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (Lower(text[i]) != Lower(prefix[i])) return false;
    }
    return true;
}

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           StartsWithNoCase(text.substr(text.size() - suffix.size()), suffix);
}

size_t RunLength(std::string_view s, size_t i) {
    const char c = Lower(s[i]);
    size_t n = 1;
    while (i + n < s.size() && Lower(s[i + n]) == c) ++n;
    return n;
}

void AppendNumber(std::string& out, int value, int minDigits) {
    char buf[16];
    const int len = std::snprintf(buf, sizeof buf, "%0*d", minDigits, value);
    out.append(buf, static_cast<size_t>(len));
}

// The AM/PM forms a pattern may hold at `i`: how long the token is and which texts it shows.
size_t AmPmToken(std::string_view p, size_t i, const FormatSettings& fs, std::string_view& am,
                 std::string_view& pm) {
    const std::string_view rest = p.substr(i);
    if (rest.starts_with("AM/PM")) {
        am = "AM";
        pm = "PM";
        return 5;
    }
    if (rest.starts_with("am/pm")) {
        am = "am";
        pm = "pm";
        return 5;
    }
    if (StartsWithNoCase(rest, "ampm")) {
        am = fs.TimeAMString;
        pm = fs.TimePMString;
        return 4;
    }
    if (rest.starts_with("A/P")) {
        am = "A";
        pm = "P";
        return 3;
    }
    if (rest.starts_with("a/p")) {
        am = "a";
        pm = "p";
        return 3;
    }
    return 0;
}

bool HasAmPm(std::string_view p, const FormatSettings& fs) {
    std::string_view am, pm;
    for (size_t i = 0; i < p.size(); ++i) {
        if (p[i] == '"' || p[i] == '\'') {
            const size_t close = p.find(p[i], i + 1);
            if (close == std::string_view::npos) return false;
            i = close;
        } else if (AmPmToken(p, i, fs, am, pm) != 0) {
            return true;
        }
    }
    return false;
}

bool IsFieldLetter(char c) {
    switch (Lower(c)) {
        case 'd':
        case 'm':
        case 'y':
        case 'h':
        case 'n':
        case 's':
            return true;
        default:
            return false;
    }
}

// The first character that separates two fields of a pattern ("dd.mm.yyyy" gives '.').
char FirstSeparator(std::string_view p, char fallback) {
    bool afterField = false;
    for (size_t i = 0; i < p.size(); ++i) {
        const char c = p[i];
        if (c == '"' || c == '\'') {
            const size_t close = p.find(c, i + 1);
            if (close == std::string_view::npos) break;
            i = close;
            continue;
        }
        if (IsFieldLetter(c)) {
            afterField = true;
        } else if (afterField && !IsBlank(c) && !IsAsciiLetter(c)) {
            return c;
        }
    }
    return fallback;
}

// Up to `maxDigits` digits at `pos`, at least one.
bool ReadNumber(std::string_view s, size_t& pos, size_t maxDigits, int& value, size_t& digits) {
    value = 0;
    digits = 0;
    while (pos < s.size() && IsDigit(s[pos])) {
        if (++digits > maxDigits) return false;
        value = value * 10 + (s[pos] - '0');
        ++pos;
    }
    return digits > 0;
}

bool TryTimeBySeparator(std::string_view text, const FormatSettings& fs, TDateTime& out);

}  // namespace

std::string_view Trim(std::string_view text) {
    size_t b = 0;
    size_t e = text.size();
    while (b < e && static_cast<unsigned char>(text[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(text[e - 1]) <= ' ') --e;
    return text.substr(b, e - b);
}

FormatSettings MakeFormatSettings(std::string_view shortDate, std::string_view longTime,
                                  char decimalSeparator) {
    FormatSettings fs;
    fs.ShortDateFormat = std::string(shortDate);
    fs.LongTimeFormat = std::string(longTime);
    fs.DateSeparator = FirstSeparator(shortDate, '/');
    fs.TimeSeparator = FirstSeparator(longTime, ':');
    fs.DecimalSeparator = decimalSeparator;
    return fs;
}

std::string PatternFromStrftime(std::string_view f) {
    std::string out;
    for (size_t i = 0; i < f.size(); ++i) {
        const char c = f[i];
        if (c != '%') {
            if (IsAsciiLetter(c) || c == '"') {
                // Letters would read as fields, so they go in quotes of the other kind.
                const char q = c == '"' ? '\'' : '"';
                out += q;
                out += c;
                out += q;
            } else {
                out += c;
            }
            continue;
        }
        if (++i >= f.size()) break;
        char k = f[i];
        // Flags, widths and the E/O modifiers change nothing we can show.
        while ((k == 'E' || k == 'O' || k == '-' || k == '_' || k == '0' || k == '^' || k == '#' ||
                IsDigit(k)) &&
               i + 1 < f.size()) {
            k = f[++i];
        }
        switch (k) {
            case 'd':
                out += "dd";
                break;
            case 'e':
                out += "d";
                break;
            case 'm':
                out += "mm";
                break;
            case 'y':
                out += "yy";
                break;
            case 'Y':
                out += "yyyy";
                break;
            case 'D':
                out += "mm/dd/yy";
                break;
            case 'F':
                out += "yyyy-mm-dd";
                break;
            case 'H':
            case 'I':
                out += "hh";
                break;
            case 'k':
            case 'l':
                out += "h";
                break;
            case 'M':
                out += "nn";
                break;
            case 'S':
                out += "ss";
                break;
            case 'p':
            case 'P':
                out += "ampm";
                break;
            case 'T':
                out += "hh:nn:ss";
                break;
            case 'R':
                out += "hh:nn";
                break;
            case 'r':
                out += "hh:nn:ss ampm";
                break;
            case '%':
                out += '%';
                break;
            case 'n':
            case 't':
                out += ' ';
                break;
            default:
                break;  // names of days and months and the rest: not shown
        }
    }
    return out;
}

#ifdef _WIN32
namespace {
std::string LocaleText(LCTYPE type, const char* fallback) {
    char buf[128];
    const int n = GetLocaleInfoA(LOCALE_USER_DEFAULT, type, buf, sizeof buf);
    return n > 1 ? std::string(buf, static_cast<size_t>(n - 1)) : std::string(fallback);
}

// The system's pattern letters differ from ours: M is month, m minute, H/h hours, t AM/PM.
std::string PatternFromLocale(std::string_view p) {
    std::string out;
    for (size_t i = 0; i < p.size(); ++i) {
        const char c = p[i];
        if (c == '\'') {
            const size_t close = p.find('\'', i + 1);
            const size_t end = close == std::string_view::npos ? p.size() : close;
            out += '"';
            out.append(p.substr(i + 1, end - i - 1));
            out += '"';
            i = end;
            continue;
        }
        switch (c) {
            case 'M':
                out += 'm';
                break;
            case 'm':
                out += 'n';
                break;
            case 'H':
                out += 'h';
                break;
            case 't':
                while (i + 1 < p.size() && p[i + 1] == 't') ++i;
                out += "ampm";
                break;
            case 'g':
                break;
            default:
                out += c;
                break;
        }
    }
    return out;
}
}  // namespace

FormatSettings UserFormatSettings() {
    FormatSettings fs =
        MakeFormatSettings(PatternFromLocale(LocaleText(LOCALE_SSHORTDATE, "dd.MM.yyyy")),
                           PatternFromLocale(LocaleText(LOCALE_STIMEFORMAT, "HH:mm:ss")),
                           LocaleText(LOCALE_SDECIMAL, ",")[0]);
    fs.DateSeparator = LocaleText(LOCALE_SDATE, ".")[0];
    fs.TimeSeparator = LocaleText(LOCALE_STIME, ":")[0];
    fs.TimeAMString = LocaleText(LOCALE_S1159, "AM");
    fs.TimePMString = LocaleText(LOCALE_S2359, "PM");
    return fs;
}
#else
FormatSettings UserFormatSettings() {
    locale_t loc = newlocale(LC_ALL_MASK, "", locale_t{});
    if (loc == locale_t{}) loc = newlocale(LC_ALL_MASK, "C", locale_t{});
    if (loc == locale_t{}) return MakeFormatSettings("mm/dd/yy", "hh:nn:ss", '.');
    std::string timeFormat = nl_langinfo_l(T_FMT, loc);
    if (timeFormat.empty()) timeFormat = nl_langinfo_l(T_FMT_AMPM, loc);
    const char* radix = nl_langinfo_l(RADIXCHAR, loc);
    // A separator of more than one byte cannot be one char; the point is the safe stand-in.
    const char decimal = (radix[0] != '\0' && radix[1] == '\0') ? radix[0] : '.';
    FormatSettings fs = MakeFormatSettings(PatternFromStrftime(nl_langinfo_l(D_FMT, loc)),
                                           PatternFromStrftime(timeFormat), decimal);
    const std::string am = nl_langinfo_l(AM_STR, loc);
    const std::string pm = nl_langinfo_l(PM_STR, loc);
    if (!am.empty()) fs.TimeAMString = am;
    if (!pm.empty()) fs.TimePMString = pm;
    freelocale(loc);
    return fs;
}
#endif

std::string FormatDateTime(std::string_view p, TDateTime value, const FormatSettings& fs) {
    const DateParts date = DecodeDate(value);
    const TimeParts time = DecodeTime(value);
    const bool twelveHour = HasAmPm(p, fs);
    std::string out;
    out.reserve(p.size() + 8);
    bool afterHour = false;
    for (size_t i = 0; i < p.size();) {
        const char c = p[i];
        const char lc = Lower(c);
        if (c == '"' || c == '\'') {
            size_t close = p.find(c, i + 1);
            if (close == std::string_view::npos) close = p.size();
            out.append(p.substr(i + 1, close - i - 1));
            i = close + 1;
            continue;
        }
        std::string_view am, pm;
        if (const size_t len = AmPmToken(p, i, fs, am, pm); len != 0) {
            out.append(time.Hour < 12 ? am : pm);
            i += len;
            continue;
        }
        if (lc == 'd' || lc == 'm' || lc == 'y' || lc == 'h' || lc == 'n' || lc == 's') {
            const size_t n = RunLength(p, i);
            const int width = n >= 2 ? 2 : 1;
            switch (lc) {
                case 'd':
                    AppendNumber(out, date.Day, width);
                    break;
                case 'm':
                    AppendNumber(out, afterHour ? time.Minute : date.Month, width);
                    break;
                case 'y':
                    if (n <= 2)
                        AppendNumber(out, date.Year % 100, 2);
                    else
                        AppendNumber(out, date.Year, 4);
                    break;
                case 'h': {
                    int h = time.Hour;
                    if (twelveHour) h = h % 12 == 0 ? 12 : h % 12;
                    AppendNumber(out, h, width);
                    break;
                }
                case 'n':
                    AppendNumber(out, time.Minute, width);
                    break;
                case 's':
                    AppendNumber(out, time.Second, width);
                    break;
            }
            afterHour = lc == 'h';
            i += n;
            continue;
        }
        if (c == '/')
            out += fs.DateSeparator;
        else if (c == ':')
            out += fs.TimeSeparator;
        else
            out += c;
        ++i;
    }
    return out;
}

std::string DateToStr(TDateTime value, const FormatSettings& fs) {
    return FormatDateTime(fs.ShortDateFormat, value, fs);
}

std::string TimeToStr(TDateTime value, const FormatSettings& fs) {
    return FormatDateTime(fs.LongTimeFormat, value, fs);
}

bool TryStrToTime(std::string_view text, const FormatSettings& fs, TDateTime& out) {
    if (TryTimeBySeparator(text, fs, out)) return true;
    // Patterns with literal text between the fields only read back by the pattern itself.
    TimeParts t;
    if (!PatternReader(fs.LongTimeFormat, fs).ReadTime(text, t)) return false;
    out = EncodeTime(t.Hour, t.Minute, t.Second);
    return true;
}

namespace {

bool TryTimeBySeparator(std::string_view text, const FormatSettings& fs, TDateTime& out) {
    std::string_view t = Trim(text);
    int ampm = 0;  // 1: before noon, 2: after
    for (int pass = 0; pass < 2 && ampm == 0; ++pass) {
        const std::string_view marker = pass == 0 ? fs.TimeAMString : fs.TimePMString;
        if (marker.empty()) continue;
        if (StartsWithNoCase(t, marker)) {
            t = Trim(t.substr(marker.size()));
            ampm = pass + 1;
        } else if (EndsWithNoCase(t, marker)) {
            t = Trim(t.substr(0, t.size() - marker.size()));
            ampm = pass + 1;
        }
    }
    size_t pos = 0;
    size_t digits = 0;
    int h = 0, m = 0, s = 0;
    if (!ReadNumber(t, pos, 2, h, digits)) return false;
    if (pos >= t.size() || t[pos] != fs.TimeSeparator) return false;
    ++pos;
    if (!ReadNumber(t, pos, 2, m, digits)) return false;
    if (pos < t.size()) {
        if (t[pos] != fs.TimeSeparator) return false;
        ++pos;
        if (!ReadNumber(t, pos, 2, s, digits) || pos != t.size()) return false;
    }
    if (ampm != 0) {
        if (h < 1 || h > 12) return false;
        h %= 12;
        if (ampm == 2) h += 12;
    }
    if (h > 23 || m > 59 || s > 59) return false;
    out = EncodeTime(h, m, s);
    return true;
}

}  // namespace

PatternReader::PatternReader(std::string_view p, const FormatSettings& fs) {
    bool afterHour = false;
    auto literal = [this](std::string_view text) {
        if (elements_.empty() || elements_.back().Field != 0) elements_.push_back(Element{});
        elements_.back().Text.append(text);
    };
    for (size_t i = 0; i < p.size();) {
        const char c = p[i];
        const char lc = Lower(c);
        if (c == '"' || c == '\'') {
            size_t close = p.find(c, i + 1);
            if (close == std::string_view::npos) close = p.size();
            literal(p.substr(i + 1, close - i - 1));
            i = close + 1;
            continue;
        }
        std::string_view am, pm;
        if (const size_t len = AmPmToken(p, i, fs, am, pm); len != 0) {
            elements_.push_back(Element{'a', 0, std::string(am), std::string(pm)});
            i += len;
            continue;
        }
        if (IsFieldLetter(c)) {
            const size_t n = RunLength(p, i);
            const char field = (lc == 'm' && afterHour) ? 'n' : lc;
            elements_.push_back(Element{field, lc == 'y' && n > 2 ? 4 : 2, {}, {}});
            afterHour = lc == 'h';
            i += n;
            continue;
        }
        const char lit = c == '/' ? fs.DateSeparator : c == ':' ? fs.TimeSeparator : c;
        literal(std::string_view(&lit, 1));
        ++i;
    }
}

bool PatternReader::Read(std::string_view text, Fields& f) const {
    const std::string_view t = Trim(text);
    size_t pos = 0;
    for (const Element& e : elements_) {
        if (e.Field == 0) {
            if (t.substr(pos, e.Text.size()) != e.Text) return false;
            pos += e.Text.size();
        } else if (e.Field == 'a') {
            const std::string_view rest = t.substr(pos);
            if (StartsWithNoCase(rest, e.Text)) {
                f.AmPm = 1;
                pos += e.Text.size();
            } else if (StartsWithNoCase(rest, e.Pm)) {
                f.AmPm = 2;
                pos += e.Pm.size();
            } else {
                return false;
            }
        } else {
            int value = 0;
            size_t digits = 0;
            if (!ReadNumber(t, pos, static_cast<size_t>(e.MaxDigits), value, digits)) return false;
            switch (e.Field) {
                case 'd':
                    f.Day = value;
                    break;
                case 'm':
                    f.Month = value;
                    break;
                case 'y':
                    f.Year = value;
                    f.YearDigits = static_cast<int>(digits);
                    break;
                case 'h':
                    f.Hour = value;
                    break;
                case 'n':
                    f.Minute = value;
                    break;
                case 's':
                    f.Second = value;
                    break;
            }
        }
    }
    return pos == t.size();
}

bool PatternReader::ReadDate(std::string_view text, DateParts& out) const {
    Fields f;
    if (!Read(text, f) || f.Day < 0 || f.Month < 0) return false;
    // A pattern without a year still names a day; 2000 lets 29 February through.
    int year = 2000;
    if (f.Year >= 0) {
        year = f.YearDigits <= 2 ? (f.Year < 50 ? 2000 + f.Year : 1900 + f.Year) : f.Year;
    }
    if (!IsValidDate(year, f.Month, f.Day)) return false;
    out = DateParts{year, f.Month, f.Day};
    return true;
}

bool PatternReader::ReadTime(std::string_view text, TimeParts& out) const {
    Fields f;
    if (!Read(text, f) || f.Hour < 0 || f.Minute < 0) return false;
    int h = f.Hour;
    if (f.AmPm != 0) {
        if (h < 1 || h > 12) return false;
        h = h % 12 + (f.AmPm == 2 ? 12 : 0);
    }
    const int sec = f.Second < 0 ? 0 : f.Second;
    if (h > 23 || f.Minute > 59 || sec > 59) return false;
    out = TimeParts{h, f.Minute, sec, 0};
    return true;
}

bool TryParseDate(std::string_view text, const FormatSettings& fs, DateParts& out) {
    return PatternReader(fs.ShortDateFormat, fs).ReadDate(text, out);
}

bool TryStrToDate(std::string_view text, const FormatSettings& fs, TDateTime& out) {
    DateParts parts;
    if (!TryParseDate(text, fs, parts)) return false;
    out = EncodeDate(parts.Year, parts.Month, parts.Day);
    return true;
}

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

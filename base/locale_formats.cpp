#include "base/locale_formats.h"

#include "base/text.h"

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

bool IsPatternFieldLetter(char c) {
    switch (LowerAscii(c)) {
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

namespace {

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
        if (IsPatternFieldLetter(c)) {
            afterField = true;
        } else if (afterField && !IsSpaceOrTab(c) && !IsAsciiLetter(c)) {
            return c;
        }
    }
    return fallback;
}

}  // namespace

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

}  // namespace tt

#include "base/date_format.h"

#include <charconv>
#include <cstdio>

#include "base/text.h"

namespace tt {

namespace {

size_t RunLength(std::string_view s, size_t i) {
    const char c = LowerAscii(s[i]);
    size_t n = 1;
    while (i + n < s.size() && LowerAscii(s[i + n]) == c) ++n;
    return n;
}

void AppendNumber(std::string& out, int value, int minDigits) {
    char buf[16];
    if (value >= 0) {
        // Every field of every clock label comes through here, once a second.
        const char* end = std::to_chars(buf, buf + sizeof buf, value).ptr;
        const auto len = static_cast<int>(end - buf);
        if (len < minDigits) out.append(static_cast<size_t>(minDigits - len), '0');
        out.append(buf, static_cast<size_t>(len));
        return;
    }
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

// A 24-hour pattern that shows hours, minutes and seconds: it can write a duration as well.
bool ShowsDurations(std::string_view p, const FormatSettings& fs) {
    if (HasAmPm(p, fs)) return false;
    bool hour = false, minute = false, second = false, afterHour = false;
    for (size_t i = 0; i < p.size();) {
        const char c = p[i];
        if (c == '"' || c == '\'') {
            const size_t close = p.find(c, i + 1);
            if (close == std::string_view::npos) break;
            i = close + 1;
            continue;
        }
        if (!IsPatternFieldLetter(c)) {
            ++i;
            continue;
        }
        const char lc = LowerAscii(c);
        hour = hour || lc == 'h';
        minute = minute || lc == 'n' || (lc == 'm' && afterHour);
        second = second || lc == 's';
        afterHour = lc == 'h';
        i += RunLength(p, i);
    }
    return hour && minute && second;
}

}  // namespace

std::string FormatDateTime(std::string_view p, TDateTime value, const FormatSettings& fs) {
    const DateParts date = DecodeDate(value);
    const TimeParts time = DecodeTime(value);
    const bool twelveHour = HasAmPm(p, fs);
    std::string out;
    out.reserve(p.size() + 8);
    bool afterHour = false;
    for (size_t i = 0; i < p.size();) {
        const char c = p[i];
        const char lc = LowerAscii(c);
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

std::string DurationToStr(TDateTime duration, const FormatSettings& fs) {
    // Which pattern the user's formats give is worked out once for them, not every second
    // the time label changes.
    struct Choice {
        std::string Pattern, Am, Pm;
        bool Shows = false;
        int HourDigits = 0;  // the plain hour, minutes, seconds: 1 or 2 digits of hour
    };
    thread_local Choice last;
    if (last.Pattern != fs.LongTimeFormat || last.Am != fs.TimeAMString ||
        last.Pm != fs.TimePMString) {
        last = {fs.LongTimeFormat, fs.TimeAMString, fs.TimePMString,
                ShowsDurations(fs.LongTimeFormat, fs), 0};
        std::string used = last.Shows ? fs.LongTimeFormat : "hh:nn:ss";
        for (char& c : used) c = LowerAscii(c);
        if (used == "hh:nn:ss" || used == "hh:mm:ss") last.HourDigits = 2;
        if (used == "h:nn:ss" || used == "h:mm:ss") last.HourDigits = 1;
    }
    if (last.HourDigits != 0) {
        // What FormatDateTime makes of these patterns, without reading them each time: the
        // clock label and the tray tip show one every second.
        const TimeParts t = DecodeTime(duration);
        const auto digit = [](int v) { return static_cast<char>('0' + v); };
        char text[8] = {digit(t.Hour / 10),   digit(t.Hour % 10),   fs.TimeSeparator,
                        digit(t.Minute / 10), digit(t.Minute % 10), fs.TimeSeparator,
                        digit(t.Second / 10), digit(t.Second % 10)};
        const bool oneDigit = last.HourDigits == 1 && t.Hour < 10;
        return std::string(text + (oneDigit ? 1 : 0), text + sizeof text);
    }
    // A 12-hour clock would show ten minutes as "12:10:00 AM".
    return FormatDateTime(last.Shows ? fs.LongTimeFormat : "hh:nn:ss", duration, fs);
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
        const char lc = LowerAscii(c);
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
        if (IsPatternFieldLetter(c)) {
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

}  // namespace tt

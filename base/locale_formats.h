#pragma once
#include <string>
#include <string_view>

namespace tt {

// How the user writes dates, times and money. Pattern tokens: d dd m mm yy yyyy for dates;
// h hh n nn (m mm right after an hour) s ss and AM/PM (or am/pm) for times; "/" and ":" stand
// for DateSeparator and TimeSeparator; text in single or double quotes and every other
// character are literal.
struct FormatSettings {
    std::string ShortDateFormat = "yyyy-mm-dd";
    std::string LongTimeFormat = "hh:nn:ss";
    char DateSeparator = '-';
    char TimeSeparator = ':';
    char DecimalSeparator = ',';
    std::string TimeAMString = "AM";
    std::string TimePMString = "PM";
};

// Settings from explicit patterns (tests, the --locale option). The separators are taken from
// the patterns themselves: the first character between two fields of each.
FormatSettings MakeFormatSettings(std::string_view shortDate, std::string_view longTime,
                                  char decimalSeparator);

// The user's own settings: the C library's locale on Linux, the locale info on Windows.
FormatSettings UserFormatSettings();

// Turns a C library date or time format (%d.%m.%Y) into one of our patterns (dd.mm.yyyy).
std::string PatternFromStrftime(std::string_view format);

// The letters that stand for a field in a pattern (d m y h n s, either case).
bool IsPatternFieldLetter(char c);

}  // namespace tt

#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/datetime.h"

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

std::string FormatDateTime(std::string_view pattern, TDateTime value, const FormatSettings& fs);
std::string DateToStr(TDateTime value, const FormatSettings& fs);
std::string TimeToStr(TDateTime value, const FormatSettings& fs);

// Strict parsers: the whole text (surrounding blanks aside) must be a date, a time or a number,
// else they answer false and leave `out` alone.
//
// A time is hours, minutes and optional seconds joined by TimeSeparator, with TimeAMString or
// TimePMString before or after it; the result is the fraction of a day.
bool TryStrToTime(std::string_view text, const FormatSettings& fs, TDateTime& out);
// A date is day, month and year joined by DateSeparator, in the order of ShortDateFormat. A
// year of one or two digits means 1950..2049.
bool TryStrToDate(std::string_view text, const FormatSettings& fs, TDateTime& out);
// As TryStrToDate but answers the parts without building a value; the log's totals parse a
// million of these.
bool TryParseDate(std::string_view text, const FormatSettings& fs, DateParts& out);

// A pattern prepared once to read many texts, as the log's totals do: numbers of one or two
// digits (up to four for a long year) where the pattern has fields, its literal text exactly.
class PatternReader {
  public:
    struct Fields {
        int Day = -1, Month = -1, Year = -1, Hour = -1, Minute = -1, Second = -1;
        int YearDigits = 0;
        int AmPm = 0;  // 1: before noon, 2: after
    };
    PatternReader(std::string_view pattern, const FormatSettings& fs);
    bool Read(std::string_view text, Fields& out) const;
    // The date a short date pattern reads, checked against the calendar.
    bool ReadDate(std::string_view text, DateParts& out) const;
    // The time of day a long time pattern reads (a missing second is 0), checked against
    // the clock.
    bool ReadTime(std::string_view text, TimeParts& out) const;

  private:
    struct Element {
        char Field = 0;  // d m y h n s, 'a' for AM/PM, 0 for literal text
        int MaxDigits = 2;
        std::string Text;  // the literal, or the AM text of 'a'
        std::string Pm;
    };
    std::vector<Element> elements_;
};

// General format: 15 significant digits, no trailing zeros, the locale's decimal separator,
// fixed-point from 1E-5 up to 15 digits before the separator, scientific outside that range.
std::string FloatToStr(long double value, const FormatSettings& fs);
// Optional sign, digits with at most one DecimalSeparator, optional exponent (E or e).
bool TryStrToFloat(std::string_view text, const FormatSettings& fs, long double& out);

std::string IntToStr(int64_t value);
// A signed decimal 32-bit integer, or "0x"/"0X" followed by up to eight hex digits (taken as
// the 32 bits of the value, so 0xFFFFFFFF is -1).
bool TryStrToInt(std::string_view text, int32_t& out);
// Only a signed decimal 32-bit integer, no blanks.
bool TryDecimalToInt(std::string_view text, int32_t& out);

std::string_view Trim(std::string_view text);

}  // namespace tt

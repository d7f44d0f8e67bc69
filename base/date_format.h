#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "base/datetime.h"
#include "base/locale_formats.h"

namespace tt {

std::string FormatDateTime(std::string_view pattern, TDateTime value, const FormatSettings& fs);
std::string DateToStr(TDateTime value, const FormatSettings& fs);
std::string TimeToStr(TDateTime value, const FormatSettings& fs);
// A duration as hours, minutes and seconds within one day (a longer one wraps, as the log keeps
// it): in the long time pattern when that is a 24-hour one with all three, else as hh:nn:ss
// with the locale's time separator; never with AM/PM. TryStrToTime reads it back.
std::string DurationToStr(TDateTime duration, const FormatSettings& fs);

// Strict parsers: the whole text (surrounding blanks aside) must be a date or a time, else they
// answer false and leave `out` alone.
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
    bool Read(std::string_view text, Fields& f) const;
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

}  // namespace tt

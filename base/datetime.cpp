#include "base/datetime.h"

#include <cmath>

#include "base/error.h"

namespace tt {

namespace {

// Days from 0001-01-01 to 1899-12-30 in the proleptic Gregorian calendar.
constexpr int64_t kEpochOffset = 693593;

int64_t DaysBeforeYear(int64_t year) {
    const int64_t y = year - 1;
    return y * 365 + y / 4 - y / 100 + y / 400;
}

constexpr int kCumulativeDays[2][13] = {
    {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365},
    {0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335, 366}};

// The value's milliseconds since its day's midnight, rounded to the nearest millisecond,
// with the day carried when rounding reaches the next midnight.
void Split(TDateTime value, int64_t& day, int64_t& msOfDay) {
    // Far outside the calendar (or not a number) the conversions below would overflow.
    if (!(value > -1e7 && value < 1e7)) value = 0;
    const double floorDay = std::floor(value);
    day = static_cast<int64_t>(floorDay);
    msOfDay = static_cast<int64_t>(std::llround((value - floorDay) * kSecondsPerDay * 1000.0));
    if (msOfDay >= int64_t{kSecondsPerDay} * 1000) {
        msOfDay -= int64_t{kSecondsPerDay} * 1000;
        ++day;
    }
}

}  // namespace

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    const int leap = IsLeapYear(year) ? 1 : 0;
    return kCumulativeDays[leap][month] - kCumulativeDays[leap][month - 1];
}

bool IsValidDate(int year, int month, int day) {
    return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
           day <= DaysInMonth(year, month);
}

TDateTime EncodeDate(int year, int month, int day) {
    if (!IsValidDate(year, month, day)) throw Error("Invalid argument to date encode");
    const int leap = IsLeapYear(year) ? 1 : 0;
    const int64_t days = DaysBeforeYear(year) + kCumulativeDays[leap][month - 1] + day - 1;
    return static_cast<double>(days - kEpochOffset);
}

TDateTime EncodeTime(int hour, int minute, int second, int millisecond) {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 ||
        millisecond < 0 || millisecond > 999) {
        throw Error("Invalid argument to time encode");
    }
    const int64_t ms = ((int64_t{hour} * 60 + minute) * 60 + second) * 1000 + millisecond;
    return static_cast<double>(ms) / (kSecondsPerDay * 1000.0);
}

DateParts DecodeDate(TDateTime value) {
    int64_t day = 0;
    int64_t ms = 0;
    Split(value, day, ms);
    int64_t n = day + kEpochOffset;  // days since 0001-01-01
    if (n < 0) return DateParts{1, 1, 1};
    // 400-, 100-, 4- and 1-year cycles.
    int64_t year = 1 + (n / 146097) * 400;
    n %= 146097;
    int64_t c = n / 36524;
    if (c == 4) c = 3;
    year += c * 100;
    n -= c * 36524;
    year += (n / 1461) * 4;
    n %= 1461;
    int64_t y = n / 365;
    if (y == 4) y = 3;
    year += y;
    n -= y * 365;
    const int leap = IsLeapYear(static_cast<int>(year)) ? 1 : 0;
    int month = 1;
    while (month < 12 && n >= kCumulativeDays[leap][month]) ++month;
    return DateParts{static_cast<int>(year), month,
                     static_cast<int>(n - kCumulativeDays[leap][month - 1] + 1)};
}

TimeParts DecodeTime(TDateTime value) {
    int64_t day = 0;
    int64_t ms = 0;
    Split(value, day, ms);
    TimeParts t;
    t.Millisecond = static_cast<int>(ms % 1000);
    int64_t s = ms / 1000;
    t.Second = static_cast<int>(s % 60);
    s /= 60;
    t.Minute = static_cast<int>(s % 60);
    t.Hour = static_cast<int>(s / 60);
    return t;
}

int64_t DayOf(TDateTime value) {
    int64_t day = 0;
    int64_t ms = 0;
    Split(value, day, ms);
    return day;
}

int SecondOfDay(TDateTime value) {
    int64_t day = 0;
    int64_t ms = 0;
    Split(value, day, ms);
    return static_cast<int>(ms / 1000);
}

}  // namespace tt

#pragma once
#include <cstdint>

namespace tt {

// A date-time value: whole days since 1899-12-30 plus the fraction of the day. Day 0 is
// 1899-12-30, 0.5 is noon. The values the program stores and compares are whole seconds.
using TDateTime = double;

constexpr int kSecondsPerDay = 86400;

struct DateParts {
    int Year = 1899;
    int Month = 12;
    int Day = 30;
    bool operator==(const DateParts&) const = default;
};

struct TimeParts {
    int Hour = 0;
    int Minute = 0;
    int Second = 0;
    int Millisecond = 0;
    bool operator==(const TimeParts&) const = default;
};

bool IsValidDate(int year, int month, int day);
bool IsLeapYear(int year);
int DaysInMonth(int year, int month);

// Throws tt::Error for a date outside the calendar (years 1..9999) or a time outside the day.
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int millisecond = 0);

DateParts DecodeDate(TDateTime value);
TimeParts DecodeTime(TDateTime value);

// The whole day number (towards minus infinity, so times before 1899-12-30 behave too).
int64_t DayOf(TDateTime value);
// Whole seconds since midnight of the value's day, 0..86399; milliseconds are dropped.
int SecondOfDay(TDateTime value);

}  // namespace tt

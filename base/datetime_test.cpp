#include "base/datetime.h"

#include <gtest/gtest.h>

#include <cmath>

#include "base/error.h"

namespace tt {
namespace {

TEST(DateTime, DayZeroAndKnownDays) {
    EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
    EXPECT_EQ(EncodeDate(1900, 1, 1), 2.0);
    EXPECT_EQ(EncodeDate(2000, 12, 31), 36891.0);
    EXPECT_EQ(EncodeDate(1899, 12, 29), -1.0);
    EXPECT_EQ((DecodeDate(36891.75)), (DateParts{2000, 12, 31}));
    EXPECT_EQ((DecodeDate(-1.0)), (DateParts{1899, 12, 29}));
}

TEST(DateTime, RoundTripsEveryDayAcrossLeapRules) {
    for (int year : {1, 4, 100, 1600, 1899, 1900, 2000, 2024, 2100, 9999}) {
        for (int month = 1; month <= 12; ++month) {
            for (int day = 1; day <= DaysInMonth(year, month); ++day) {
                const DateParts back = DecodeDate(EncodeDate(year, month, day));
                ASSERT_EQ(back, (DateParts{year, month, day}))
                    << year << "-" << month << "-" << day;
            }
        }
    }
    EXPECT_EQ(DaysInMonth(1900, 2), 28);
    EXPECT_EQ(DaysInMonth(2000, 2), 29);
}

TEST(DateTime, RejectsImpossibleValues) {
    EXPECT_THROW(EncodeDate(2001, 2, 29), Error);
    EXPECT_THROW(EncodeDate(2000, 13, 1), Error);
    EXPECT_THROW(EncodeDate(0, 1, 1), Error);
    EXPECT_THROW(EncodeTime(24, 0, 0), Error);
    EXPECT_THROW(EncodeTime(0, 60, 0), Error);
}

TEST(DateTime, TimeOfDayIsWholeSecondsAndCarriesRounding) {
    EXPECT_EQ(EncodeTime(12, 0, 0), 0.5);
    EXPECT_EQ(SecondOfDay(EncodeDate(2000, 1, 1) + EncodeTime(23, 59, 59, 999)), 86399);
    EXPECT_EQ((DecodeTime(EncodeTime(8, 0, 1))), (TimeParts{8, 0, 1, 0}));
    // A value a hair below midnight is midnight of the next day, not 23:59:59.
    const TDateTime almost = EncodeDate(2000, 1, 2) - 1e-12;
    EXPECT_EQ(SecondOfDay(almost), 0);
    EXPECT_EQ((DecodeDate(almost)), (DateParts{2000, 1, 2}));
    // Before day 0 the fraction still counts forward from that day's midnight.
    EXPECT_EQ(SecondOfDay(-0.25), 18 * 3600);
    // Values no clock gives decode as day 0 instead of overflowing.
    EXPECT_EQ((DecodeDate(1e300)), (DateParts{1899, 12, 30}));
    EXPECT_EQ(SecondOfDay(std::nan("")), 0);
}

}  // namespace
}  // namespace tt

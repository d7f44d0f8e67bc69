#include "tools/report/log_report.h"

#include <gtest/gtest.h>

#include <random>

namespace tt {
namespace {

const FormatSettings kPolish = MakeFormatSettings("yyyy-mm-dd", "hh:mm:ss", ',');

DailyTotals Totals(const std::string& text, const FormatSettings& fs = kPolish) {
    DailyTotals totals(fs);
    totals.AddAll(TLogLines::FromText(text));
    return totals;
}

std::vector<PeriodRow> Rows(const DailyTotals& totals, Period by, DayRange range = {}) {
    std::vector<PeriodRow> rows;
    EXPECT_TRUE(Summarize(totals.Days(), by, range, rows));
    return rows;
}

// Around a leap day and a new year, with months of 29, 31 and 30 days.
const std::string kYears =
    "2024-02-28\t00:10:00\t4\t1,16\t\r\n"
    "2024-02-29\t00:20:00\t7\t2,03\t\r\n"
    "2024-02-29\t01:00:05\t20\t5,8\t\r\n"
    "2024-03-01\t00:03:00\t1\t0,29\t\r\n"
    "2024-04-30\t00:06:00\t2\t0,58\t\r\n"
    "2025-12-31\t23:59:59\t480\t139,2\t\r\n"
    "2026-01-01\t00:00:01\t1\t0,29\t\r\n";

TEST(DailyTotals, SumsDaysMonthsAndYearsAcrossALeapDayAndANewYear) {
    const DailyTotals totals = Totals(kYears);
    EXPECT_TRUE(totals.Unread().empty());
    EXPECT_EQ(totals.LineCount(), 7u);

    const std::vector<PeriodRow> days = Rows(totals, Period::Day);
    ASSERT_EQ(days.size(), 6u);
    EXPECT_EQ(days[1].Period, "2024-02-29");
    EXPECT_EQ(days[1].Totals.Connections, 2);
    EXPECT_EQ(days[1].Totals.Seconds, 20 * 60 + 3605);
    EXPECT_EQ(days[1].Totals.Pulses, 27);
    EXPECT_EQ(days[1].Totals.Cost.Fixed2(','), "7,83");

    const std::vector<PeriodRow> months = Rows(totals, Period::Month);
    ASSERT_EQ(months.size(), 5u);
    EXPECT_EQ(months[0].Period, "2024-02");
    EXPECT_EQ(months[0].Totals.Pulses, 31);
    EXPECT_EQ(months[0].Totals.Cost.Fixed2(','), "8,99");
    EXPECT_EQ(months[1].Period, "2024-03");
    EXPECT_EQ(months[2].Period, "2024-04");
    EXPECT_EQ(months[3].Period, "2025-12");
    EXPECT_EQ(months[4].Period, "2026-01");

    const std::vector<PeriodRow> years = Rows(totals, Period::Year);
    ASSERT_EQ(years.size(), 3u);
    EXPECT_EQ(years[0].Period, "2024");
    EXPECT_EQ(years[0].Totals.Connections, 5);
    EXPECT_EQ(years[0].Totals.Pulses, 34);
    EXPECT_EQ(years[0].Totals.Cost.Fixed2(','), "9,86");
    EXPECT_EQ(years[1].Totals.Seconds, 86399);
    EXPECT_EQ(years[2].Totals.Cost.Exact('.'), "0.29");
}

TEST(DailyTotals, RangesIncludeBothEnds) {
    const DailyTotals totals = Totals(kYears);
    const std::vector<PeriodRow> rows = Rows(totals, Period::Month, DayRange{20240229, 20251231});
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].Totals.Pulses, 27);  // 28 February left out
    EXPECT_EQ(rows[3].Period, "2025-12");
    EXPECT_TRUE(Rows(totals, Period::Day, DayRange{20240302, 20240429}).empty());
}

TEST(DailyTotals, ListsEveryUnreadableLineByNumberAndKeepsTheRest) {
    const DailyTotals totals = Totals(
        "2024-02-28\t00:10:00\t4\t1,16\t\r\n"
        "\r\n"
        "2024-02-30\t00:10:00\t4\t1,16\t\r\n"
        "28.02.2024\t00:10:00\t4\t1,16\t\r\n"
        "2024-02-28\t00:10\t4\t1,16\t\r\n"
        "2024-02-28\tlong\t4\t1,16\t\r\n"
        "2024-02-28\t00:10:00\t-4\t1,16\t\r\n"
        "2024-02-28\t00:10:00\t4x\t1,16\t\r\n"
        "2024-02-28\t00:10:00\t4\t1.16\t\r\n"
        "2024-02-28\t00:10:00\t4\t\r\n"
        "2024-02-28\t00:10:00\t4\t1,16\r\n");
    EXPECT_EQ(totals.LineCount(), 11u);
    std::vector<size_t> numbers;
    for (const UnreadLine& u : totals.Unread()) numbers.push_back(u.Number);
    EXPECT_EQ(numbers, (std::vector<size_t>{2, 3, 4, 6, 7, 8, 9, 10}));
    EXPECT_STREQ(totals.Unread()[0].Why, "an empty line");
    EXPECT_STREQ(totals.Unread()[1].Why, "the date is not in the short date format");
    EXPECT_STREQ(totals.Unread()[3].Why, "the duration is not a time");
    EXPECT_STREQ(totals.Unread()[4].Why, "the pulses are not a whole number");
    EXPECT_STREQ(totals.Unread()[6].Why, "the cost is not a number");
    EXPECT_STREQ(totals.Unread()[7].Why, "fewer than four fields");
    EXPECT_EQ(totals.Unread()[2].Text, "28.02.2024\t00:10:00\t4\t1,16\t");
    // Lines 1, 5 (a time without seconds is still a time) and 11 (no final TAB).
    const std::vector<PeriodRow> rows = Rows(totals, Period::Day);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].Totals.Connections, 3);
    EXPECT_EQ(rows[0].Totals.Cost.Fixed2(','), "3,48");
}

// The one-pass reading of the usual line must agree with the field-by-field one on every
// line, the odd ones included: the tails after a known date and time are made up of the
// bytes that matter to either.
TEST(RecordReader, TheShortcutAgreesWithTheFieldByFieldReading) {
    const char alphabet[] = {'0', '1', '5', '9', ',', '.', '\t', '-', 'E', ' ', '\0', 'x'};
    std::mt19937 random(17);
    RecordReader fast(kPolish);
    RecordReader slow(kPolish);
    LogRecord warmUp;
    ASSERT_EQ(fast.Read("2026-12-07\t00:00:01\t1\t0,29\t", warmUp), nullptr);
    int agreedRecords = 0;
    for (int i = 0; i < 200000; ++i) {
        std::string tail;
        const int length = 1 + static_cast<int>(random() % 22);
        for (int k = 0; k < length; ++k) {
            // Mostly digits, so that many tails are records.
            const unsigned pick = random() % 24;
            tail += pick < 12 ? alphabet[pick % 4 == 3 ? 3 : pick % 3] : alphabet[pick - 12];
        }
        const std::string line = "2026-12-07\t01:02:03\t" + tail;
        LogRecord a, b;
        const char* whyA = fast.Read(line, a);
        const char* whyB = slow.ReadFieldByField(line, b);
        ASSERT_EQ(whyA == nullptr, whyB == nullptr) << "tail: " << tail;
        if (whyA != nullptr) continue;
        ++agreedRecords;
        ASSERT_EQ(a.Pulses, b.Pulses) << tail;
        ASSERT_EQ(a.Cost, b.Cost) << tail;
        ASSERT_EQ(a.Seconds, 3723);
        ASSERT_EQ(a.Date, (DateParts{2026, 12, 7}));
    }
    EXPECT_GT(agreedRecords, 1000);
    // And the usual shapes, one by one.
    for (const char* tail :
         {"5\t1,45\t", "12\t3,48", "1234567\t12345678\t", "7\t0\t", "12345678\t1,5\t",
          "3\t123456789,5\t", "3\t1,2345678901\t", "3\t5,\t", "3\t,5\t", "3\t1,5\textra"}) {
        const std::string line = std::string("2026-12-07\t01:02:03\t") + tail;
        LogRecord a, b;
        const char* whyA = fast.Read(line, a);
        const char* whyB = slow.ReadFieldByField(line, b);
        ASSERT_EQ(whyA == nullptr, whyB == nullptr) << tail;
        if (whyA == nullptr) {
            EXPECT_EQ(a.Pulses, b.Pulses) << tail;
            EXPECT_EQ(a.Cost, b.Cost) << tail;
        }
    }
}

TEST(DailyTotals, ReadsALogOfAnotherLocale) {
    const FormatSettings german = MakeFormatSettings("dd.mm.yyyy", "h:nn:ss", ',');
    const std::string log =
        "28.02.2024\t0:10:00\t4\t1,16\t\r\n"
        "29.02.2024\t13:00:00\t10\t2,9\t\r\n";
    const DailyTotals read = Totals(log, german);
    EXPECT_TRUE(read.Unread().empty());
    const std::vector<PeriodRow> rows = Rows(read, Period::Day);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].Period, "2024-02-29");
    EXPECT_EQ(rows[1].Totals.Seconds, 13 * 3600);
    // The same lines in the Polish formats are not dates at all.
    EXPECT_EQ(Totals(log).Unread().size(), 2u);

    const FormatSettings american = MakeFormatSettings("m/d/yyyy", "h:nn:ss AM/PM", '.');
    // Durations as a 12-hour log held them, and as hours, minutes and seconds.
    const DailyTotals us = Totals(
        "2/29/2024\t1:00:00 PM\t10\t2.9\t\r\n2/29/2024\t12:10:00 AM\t0\t0\t\r\n"
        "2/29/2024\t00:10:00\t0\t0\t\r\n",
        american);
    ASSERT_TRUE(us.Unread().empty());
    EXPECT_EQ(us.Days().at(20240229).Seconds, 13 * 3600 + 1200);
    EXPECT_EQ(us.Days().at(20240229).Cost.Exact(','), "2,9");
}

TEST(Forecast, ProjectsALeapFebruaryAtItsPace) {
    // 100 pulses in the first 10 days of a 29-day month: 10 a day.
    const DailyTotals totals = Totals(
        "2024-02-01\t00:30:00\t40\t11,6\t\r\n"
        "2024-02-10\t00:30:00\t60\t17,4\t\r\n"
        "2024-03-01\t00:30:00\t1000\t290\t\r\n");
    const Forecast f = MakeForecast(totals.Days(), 2024, 2, DateParts{2024, 2, 10}, 200);
    EXPECT_EQ(f.DaysInMonth, 29);
    EXPECT_EQ(f.DaysElapsed, 10);
    EXPECT_EQ(f.Pulses, 100);
    EXPECT_EQ(f.Cost.Fixed2(','), "29,00");
    EXPECT_EQ(f.ProjectedPulses, 290);
    EXPECT_EQ(f.ProjectedCents, 8410);
    EXPECT_EQ(f.PulsesLeft, 100);
    EXPECT_EQ(f.LimitDay, 20);
    EXPECT_FALSE(f.LimitAlreadyReached);
    // A limit the pace passes only after the 29th.
    EXPECT_EQ(MakeForecast(totals.Days(), 2024, 2, DateParts{2024, 2, 10}, 291).LimitDay, 0);
}

TEST(Forecast, TheMonthsLengthDecidesWhetherTheLimitIsReached) {
    // 60 pulses in 6 days, a limit of 301: the 31st would get there, April has no 31st.
    const std::string log =
        "2026-04-06\t00:30:00\t60\t17,4\t\r\n2026-05-06\t00:30:00\t60\t17,4\t\r\n";
    const DailyTotals totals = Totals(log);
    const Forecast april = MakeForecast(totals.Days(), 2026, 4, DateParts{2026, 4, 6}, 301);
    EXPECT_EQ(april.ProjectedPulses, 300);
    EXPECT_EQ(april.LimitDay, 0);
    const Forecast may = MakeForecast(totals.Days(), 2026, 5, DateParts{2026, 5, 6}, 301);
    EXPECT_EQ(may.ProjectedPulses, 310);
    EXPECT_EQ(may.LimitDay, 31);
}

TEST(Forecast, PastMonthsFutureMonthsAndALimitAlreadyReached) {
    const DailyTotals totals = Totals(
        "2025-12-03\t00:30:00\t30\t8,7\t\r\n"
        "2025-12-09\t00:30:00\t30\t8,7\t\r\n"
        "2025-12-20\t00:30:00\t30\t8,7\t\r\n");
    // December is over when it is January: the whole month elapsed, the projection is the month.
    const Forecast past = MakeForecast(totals.Days(), 2025, 12, DateParts{2026, 1, 5}, 50);
    EXPECT_EQ(past.DaysElapsed, 31);
    EXPECT_EQ(past.ProjectedPulses, 90);
    EXPECT_EQ(past.ProjectedCents, 2610);
    EXPECT_TRUE(past.LimitAlreadyReached);
    EXPECT_EQ(past.LimitDay, 9);
    EXPECT_EQ(past.PulsesLeft, -40);

    const Forecast future = MakeForecast(totals.Days(), 2026, 2, DateParts{2026, 1, 5}, 50);
    EXPECT_EQ(future.DaysElapsed, 0);
    EXPECT_EQ(future.DaysInMonth, 28);
    EXPECT_EQ(future.ProjectedPulses, 0);
    EXPECT_EQ(future.LimitDay, 0);

    const Forecast none = MakeForecast({}, 2026, 1, DateParts{2026, 1, 5}, 0);
    EXPECT_TRUE(none.LimitAlreadyReached);
    EXPECT_EQ(none.LimitDay, 1);
}

TEST(DailyTotals, PulsesByDayFillsTheWholeMonth) {
    const DailyTotals totals = Totals(kYears);
    const std::vector<int64_t> feb = PulsesByDay(totals.Days(), 2024, 2);
    ASSERT_EQ(feb.size(), 29u);
    EXPECT_EQ(feb[27], 4);
    EXPECT_EQ(feb[28], 27);
    EXPECT_EQ(feb[0], 0);
    EXPECT_EQ(PulsesByDay(totals.Days(), 2024, 3).at(0), 1);
    EXPECT_EQ(HoursMinutesSeconds(100 * 3600 + 61), "100:01:01");
}

}  // namespace
}  // namespace tt

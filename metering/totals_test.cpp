#include "metering/totals.h"

#include <gtest/gtest.h>

namespace tt {
namespace {

using namespace std::string_literals;

const FormatSettings kPolish = MakeFormatSettings("yyyy-mm-dd", "hh:mm:ss", ',');

TEST(ComputeTotals, DayByTextMonthByNumberInAnyYear) {
    const TLogLines lines = TLogLines::FromText(
        "2001-03-15\t00:10:00\t4\t1,16\t\r\n"    // today
        "2001-03-15\t00:10:00\t6\t\r\n"          // today, short line
        "2000-03-20\t00:10:00\t10\t2,9\t\r\n"    // same month a year earlier
        "2001-02-15\t00:10:00\t100\t29\t\r\n"    // another month
        "2001-03-01\t00:10:00\t1000\t290\t\r\n"  // this month
        "2001-3-15\t00:10:00\t20000\t0\t\r\n");  // today too, but not today's exact text
    const TTotals totals = ComputeTotals(lines, EncodeDate(2001, 3, 15) + 0.75, kPolish);
    EXPECT_EQ(totals.DayPulses, 10);
    EXPECT_EQ(totals.MonthPulses, 21020);
}

TEST(ComputeTotals, UnreadableLinesArePassedOverAndKept) {
    const std::string text =
        "\r\n"
        "garbage\r\n"
        "2001-03-15\t00:10:00\tfive\t1\t\r\n"
        "2001-03-15\t00:10:00\t0x10\t1\t\r\n"
        "2001-03-15\t00:10:00\t 5\t1\t\r\n"
        "2001-02-30\t00:10:00\t5\t1\t\r\n"
        "15.03.2001\t00:10:00\t5\t1\t\r\n"
        "\0\xff\t\t7\r\n"
        "2001-03-15\t00:10:00\t3\t\r\n"s + std::string(3 << 20, 'x') + "\r\n";
    const TLogLines lines = TLogLines::FromText(text);
    const TTotals totals = ComputeTotals(lines, EncodeDate(2001, 3, 15), kPolish);
    EXPECT_EQ(totals.DayPulses, 3);
    EXPECT_EQ(totals.MonthPulses, 3);
    EXPECT_EQ(lines.FileImage(), text);
}

TEST(ComputeTotals, SumsStopAtTheLargestCount) {
    const TLogLines lines = TLogLines::FromText(
        "2001-03-15\t\t2147483647\t\r\n2001-03-15\t\t2147483647\t\r\n2001-03-14\t\t-5\t\r\n");
    const TTotals totals = ComputeTotals(lines, EncodeDate(2001, 3, 15), kPolish);
    EXPECT_EQ(totals.DayPulses, INT32_MAX);
    EXPECT_EQ(totals.MonthPulses, INT32_MAX);
}

TEST(ComputeTotals, NoLinesNoPulses) {
    const TTotals totals = ComputeTotals(TLogLines{}, EncodeDate(2001, 3, 15), kPolish);
    EXPECT_EQ(totals.DayPulses, 0);
    EXPECT_EQ(totals.MonthPulses, 0);
}

}  // namespace
}  // namespace tt
